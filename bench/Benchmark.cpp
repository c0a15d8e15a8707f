#include "Benchmark.h"

#include "ComponentClient.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 GiB = 1024 * MiB;
constexpr int FullRounds = 9;
constexpr int SmokeRounds = 1;
constexpr qint64 FillBlockBytes = MiB;
// A client that has not connected by then never will.
constexpr int AcceptTimeoutMs = 30000;
// Longest pause in the middle of a body, and longest wait for a client to exit after it.
constexpr int StallTimeoutMs = 30000;

const char *const ClientNames[] = {"component", "curl", "sendfile"};

QString sizeLabel(qint64 bytes)
{
    return bytes >= GiB ? QStringLiteral("%1 GiB").arg(bytes / GiB) : QStringLiteral("%1 MiB").arg(bytes / MiB);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

// Parses "key=N" out of the component's report line.
qint64 reportedValue(const QByteArray &report, const QByteArray &key)
{
    for (const QByteArray &field : report.simplified().split(' ')) {
        if (field.startsWith(key + '='))
            return field.mid(key.size() + 1).toLongLong();
    }
    return -1;
}

} // namespace

Benchmark::Benchmark(Mode mode)
    : m_sizes(mode == Mode::Smoke ? QList<qint64>{MiB, 64 * MiB} : QList<qint64>{MiB, 64 * MiB, GiB})
    , m_rounds(mode == Mode::Smoke ? SmokeRounds : FullRounds)
    , m_baseUrl("http://127.0.0.1:" + QByteArray::number(m_server.port()) + "/Group_Item1/")
{
}

int Benchmark::run()
{
    if (!m_folder.isValid() || !m_server.isListening()) {
        std::fprintf(stderr, "bench: no temporary folder or no listening socket on 127.0.0.1\n");
        return 1;
    }
    bool allWhole = true;
    for (const qint64 bytes : m_sizes) {
        const QString path = m_folder.filePath(QStringLiteral("upload-%1.bin").arg(sizeLabel(bytes).remove(' ')));
        if (!makeFile(path, bytes))
            return 1;
        m_componentHead.clear();
        SizeResult result;
        result.bytes = bytes;
        for (int round = 0; round < m_rounds; ++round) {
            for (int client = 0; client < int(Client::Count); ++client) {
                Run run;
                if (runOnce(Client(client), path, &run))
                    result.runs[client].append(run);
                else
                    allWhole = false;
            }
        }
        m_results.append(result);
        QFile::remove(path);
    }
    printTable();
    return allWhole ? 0 : 1;
}

// Non-zero bytes, flushed to disk so that write-back does not run during the uploads.
bool Benchmark::makeFile(const QString &path, qint64 bytes)
{
    QByteArray block(FillBlockBytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char(1 + i % 251);
    QFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (qint64 left = bytes; written && left > 0; left -= block.size())
        written = file.write(block.constData(), qMin<qint64>(left, block.size())) > 0;
    written = written && file.flush() && ::fsync(file.handle()) == 0;
    if (!written)
        std::fprintf(stderr, "bench: cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return written;
}

// One upload by one client in a process of its own; false, with the reason on stderr, unless
// the server counted exactly the file's bytes and the client reported success.
bool Benchmark::runOnce(Client client, const QString &path, Run *run)
{
    const qint64 fileBytes = QFileInfo(path).size();
    const QString what = QStringLiteral("%1 %2").arg(sizeLabel(fileBytes), QLatin1String(ClientNames[int(client)]));
    const auto failed = [&what](const QString &reason) {
        std::fprintf(stderr, "bench: %s: %s\n", qPrintable(what), qPrintable(reason));
        return false;
    };
    if (client == Client::Sendfile && m_componentHead.isEmpty())
        return failed(QStringLiteral("no request head of the component to repeat"));

    QProcess process;
    process.setWorkingDirectory(m_folder.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString program = client == Client::Curl ? QStringLiteral("curl") : QCoreApplication::applicationFilePath();
    if (client == Client::Component)
        process.setProcessEnvironment(componentEnvironment());
    process.start(program, arguments(client, path));
    if (!process.waitForStarted())
        return failed(process.errorString());

    const UploadServer::Upload upload = m_server.receiveOne(AcceptTimeoutMs, StallTimeoutMs);
    if (!process.waitForFinished(StallTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return failed(QStringLiteral("the client did not exit"));
    }
    if (!upload.error.isEmpty())
        return failed(upload.error);
    if (upload.bodyBytes != fileBytes)
        return failed(QStringLiteral("the server received %1 of %2 bytes").arg(upload.bodyBytes).arg(fileBytes));
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return failed(QStringLiteral("the client failed (exit code %1)").arg(process.exitCode()));

    run->megabytesPerSecond = double(upload.bodyBytes) * 1000 / double(upload.nanoseconds);
    if (client == Client::Component) {
        const QByteArray report = process.readAllStandardOutput();
        run->peakRssKiB = reportedValue(report, "peak_rss_kib");
        run->loopGapUs = reportedValue(report, "loop_gap_us");
        m_componentHead = upload.head;
    }
    return true;
}

// Nothing is shown, so the upload must not need a display, nor warn about a missing runtime folder.
QProcessEnvironment Benchmark::componentEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder.path());
    return environment;
}

QStringList Benchmark::arguments(Client client, const QString &path) const
{
    const QString baseUrl = QString::fromLatin1(m_baseUrl);
    const QString name = QFileInfo(path).fileName();
    if (client == Client::Component)
        return {QStringLiteral("component"), baseUrl, path, name};
    if (client == Client::Curl)
        return {QStringLiteral("-sSf"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-T"), path, baseUrl + name};
    return {QStringLiteral("sendfile"), QString::number(m_server.port()), path, QString::fromLatin1(m_componentHead)};
}

void Benchmark::printTable() const
{
    std::printf("Median of %d run(s) per client and size; MB/s = 10^6 body bytes per second, timed by the\n"
                "server from accept() to the last body byte. Peak RSS (VmHWM) and the largest gap between\n"
                "%d ms timer ticks are the worst of the component's runs.\n\n",
                m_rounds, ComponentClient::TickIntervalMs);
    std::printf("| size   | component MB/s | curl MB/s | sendfile MB/s | component/curl | component/sendfile "
                "| component peak RSS | largest event-loop gap |\n");
    std::printf("|--------|---------------:|----------:|--------------:|---------------:|-------------------:"
                "|-------------------:|-----------------------:|\n");
    for (const SizeResult &result : m_results) {
        double medians[int(Client::Count)];
        for (int client = 0; client < int(Client::Count); ++client) {
            QList<double> speeds;
            for (const Run &run : result.runs[client])
                speeds.append(run.megabytesPerSecond);
            medians[client] = median(speeds);
        }
        qint64 peakRssKiB = -1;
        qint64 loopGapUs = -1;
        for (const Run &run : result.runs[int(Client::Component)]) {
            peakRssKiB = qMax(peakRssKiB, run.peakRssKiB);
            loopGapUs = qMax(loopGapUs, run.loopGapUs);
        }
        const auto ratio = [&medians](Client other) {
            return medians[int(other)] > 0 ? medians[int(Client::Component)] / medians[int(other)] : 0.0;
        };
        std::printf("| %-6s | %14.0f | %9.0f | %13.0f | %14.2f | %18.2f | %14.1f MiB | %19.1f ms |\n",
                    qPrintable(sizeLabel(result.bytes)), medians[int(Client::Component)],
                    medians[int(Client::Curl)], medians[int(Client::Sendfile)], ratio(Client::Curl),
                    ratio(Client::Sendfile), double(peakRssKiB) / 1024, double(loopGapUs) / 1000);
    }
}
