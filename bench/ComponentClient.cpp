#include "ComponentClient.h"

#include "SendCommand.h"
#include "TNMHTTP.h"

#include <QApplication>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMetaEnum>
#include <QTimer>

#include <cstdio>

namespace {

// What the window's stored layout gives its HTTP component.
constexpr int StoredTimeOutMs = 60000;

// VmHWM belongs to this program image alone; getrusage() would also count the forked parent.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int ComponentClient::main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s component BASE_URL PATH NAME\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    const QByteArray baseUrl = argv[2];
    const QString path = QString::fromLocal8Bit(argv[3]);
    const QString name = QString::fromLocal8Bit(argv[4]);

    TNMHTTP http;
    http.setHeader(QStringLiteral("Head.txt"));
    http.setBody(QStringLiteral("Default.htm"));
    http.setTimeOut(StoredTimeOutMs);
    SendCommand send(&http, baseUrl);
    QLabel status;
    QObject::connect(&send, &SendCommand::statusChanged, &status, &QLabel::setText);

    QElapsedTimer clock;
    qint64 lastTickNs = 0;
    qint64 largestGapNs = 0;
    const auto noteTick = [&] {
        const qint64 now = clock.nsecsElapsed();
        largestGapNs = qMax(largestGapNs, now - lastTickNs);
        lastTickNs = now;
    };
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(TickIntervalMs);
    QObject::connect(&ticker, &QTimer::timeout, noteTick);

    TNMHTTP::Failure failure = TNMHTTP::Failure::None;
    QObject::connect(&http, &TNMHTTP::finished, &application, [&](TNMHTTP::Failure outcome) {
        noteTick();
        failure = outcome;
        application.quit();
    });

    clock.start();
    ticker.start();
    send.run(path, name);
    // A refused start (an unusable name) never reaches the component, so nothing would end the loop.
    if (send.isRunning())
        application.exec();
    else
        failure = TNMHTTP::Failure::BadUrl;

    std::printf("peak_rss_kib=%lld loop_gap_us=%lld\n", peakResidentKiB(), largestGapNs / 1000);
    if (failure != TNMHTTP::Failure::None || status.text() != SendCommand::succeededText()) {
        std::fprintf(stderr, "component: %s (%s), status '%s'\n",
                     QMetaEnum::fromType<TNMHTTP::Failure>().valueToKey(int(failure)),
                     qPrintable(http.errorString()), qPrintable(status.text()));
        return 1;
    }
    return 0;
}
