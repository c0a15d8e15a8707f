// The PUT exchange: the request on the wire, "Head.txt", and the outcome the send
// command reports, against a scripted server that misbehaves on cue.

#include "ScriptedServer.h"
#include "SendCommand.h"
#include "TNMHTTP.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "UploadTarget.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using Failure = TNMHTTP::Failure;
using Point = ScriptedServer::Point;
using Script = std::function<void(ScriptedServer &)>;
Q_DECLARE_METATYPE(Script)

namespace {

// Long enough for every exchange here; each test stays far below it.
constexpr int TransferTimeoutMs = 30000;
// Short inactivity limit, so that silent servers end a test quickly.
constexpr int TestInactivityMs = 400;
constexpr qint64 MiB = 1024 * 1024;

QByteArray requestHead(const QByteArray &target, qint64 size, const QByteArray &host = "127.0.0.1")
{
    return "PUT " + target + " HTTP/1.0\r\n"
           "Host: " + host + "\r\n"
           "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
           "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
           "Content-type: application/x-www-form-urlencoded\r\n"
           "Content-Length: " + QByteArray::number(size) + "\r\n"
           "\r\n";
}

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

// The send command with its component, as the window holds them.
struct Sender
{
    explicit Sender(const QByteArray &baseUrl, int inactivityMs = TestInactivityMs)
        : command(&http, baseUrl)
    {
        http.setHeader(QStringLiteral("Head.txt"));
        http.setTimeOut(inactivityMs);
        QObject::connect(&command, &SendCommand::statusChanged, [this](const QString &text) { status = text; });
    }

    // Runs the send command to its end and returns the status text.
    QString send(const QString &path, const QString &name)
    {
        QSignalSpy finished(&http, &TNMHTTP::finished);
        command.run(path, name);
        if (http.isBusy() && !finished.wait(TransferTimeoutMs))
            qWarning("the transfer did not end");
        return status;
    }

    TNMHTTP http;
    SendCommand command;
    QString status;
};

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void requestAndReplyHeaderAreExact();
    void serverBehaviour_data();
    void serverBehaviour();
    void replyBodyIsBounded_data();
    void replyBodyIsBounded();
    void nameBecomesOnePathElement_data();
    void nameBecomesOnePathElement();
    void unsafeNameIsRefusedBeforeConnecting_data();
    void unsafeNameIsRefusedBeforeConnecting();
    void pathThatCannotBeSentFailsBeforeConnecting_data();
    void pathThatCannotBeSentFailsBeforeConnecting();
    void nothingListeningLeavesHeadFile();
    void connectingGivesUp();
    void secondTransferReplacesHeadFile();
    void headFileThatCannotBeCreatedIsAFailure();
    void fileThatShrinksIsNeverSentShort();
    void fileThatGrowsSendsTheSizeTaken();
    void fileAboveFourGiB();
    void proxyGetsTheAbsoluteUrl();
    void progressIsShownAtMostTenTimesASecond();
};

void TestExchange::requestAndReplyHeaderAreExact()
{
    TestFolder folder;
    const QByteArray content("line one\r\nline two\n\0\x01\xff binary", 28);
    const QString path = folder.write(QStringLiteral("report.txt"), content);
    const QByteArray reply = "HTTP/1.1 201 Created\r\nServer: scripted\r\nContent-Length: 7\r\n\r\n";
    ScriptedServer server;
    server.answer(Point::AfterBody, reply + "created");
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("report.txt")), SendCommand::succeededText());
    QCOMPARE(server.received(), requestHead("/Group_Item1/report.txt", content.size()) + content);
    QCOMPARE(TestFolder::read(QStringLiteral("Head.txt")), reply);
    QCOMPARE(sender.http.Body(), QStringLiteral("created"));
    QCOMPARE(sender.http.OutputFileMode(), false);
    QCOMPARE(server.connections(), 1);
}

void TestExchange::serverBehaviour_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<bool>("headFileMade");
    QTest::addColumn<QByteArray>("headFile");
    QTest::addColumn<bool>("wholeRequestArrives");

    const qint64 small = 100;
    const qint64 large = 8 * MiB;
    const QByteArray notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n";
    const QByteArray tooLarge = "HTTP/1.1 413 Request Entity Too Large\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    const QByteArray interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const QByteArray hugeHeader = "HTTP/1.0 201 Created\r\nX-Filler: " + QByteArray(70000, 'a') + "\r\n\r\n";
    const QByteArray plain = "HTTP/1.0 200 OK\r\nServer: old\r\n\r\n";

    QTest::newRow("201, body until close")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterBody, plain + "<html>ok</html>").close(Point::AfterBody); })
        << small << true << Failure::None << true << plain << true;
    QTest::newRow("Content-Length reached, server keeps the connection")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.1 201 Created\r\nContent-Length: 5\r\n\r\nhello"); })
        << small << true << Failure::None << true << QByteArray("HTTP/1.1 201 Created\r\nContent-Length: 5\r\n\r\n") << true;
    QTest::newRow("header lines ending in LF alone")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.0 204 No Content\nServer: lf\n\n"); })
        << small << true << Failure::None << true << QByteArray("HTTP/1.0 204 No Content\nServer: lf\n\n") << true;
    QTest::newRow("interim 100 is skipped")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterHead, interim).acceptAfterBody(); })
        << large << true << Failure::None << true << ScriptedServer::Created << true;
    QTest::newRow("reply trickles slower than the inactivity limit in all")
        << Script([](ScriptedServer &s) { s.trickle(Point::AfterBody, "HTTP/1.0 201 Created\r\nServer: slow\r\n\r\n", 20).close(Point::AfterBody); })
        << small << true << Failure::None << true << QByteArray("HTTP/1.0 201 Created\r\nServer: slow\r\n\r\n") << true;

    QTest::newRow("404")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterBody, notFound + "not found"); })
        << small << false << Failure::HttpStatus << true << notFound << true;
    QTest::newRow("redirect is not followed")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:1/\r\n\r\n").close(Point::AfterBody); })
        << small << false << Failure::HttpStatus << true << QByteArray("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:1/\r\n\r\n") << true;
    QTest::newRow("close without answer")
        << Script([](ScriptedServer &s) { s.close(Point::AfterBody); })
        << small << false << Failure::ConnectionLost << true << QByteArray() << true;
    QTest::newRow("reply that is not HTTP")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "SSH-2.0-OpenSSH_9.2\r\n").close(Point::AfterBody); })
        << small << false << Failure::ReplyNotHttp << true << QByteArray("SSH-2.0-OpenSSH_9.2\r\n") << true;
    QTest::newRow("close inside the header")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.0 201 Created\r\nContent-Le").close(Point::AfterBody); })
        << small << false << Failure::ConnectionLost << true << QByteArray("HTTP/1.0 201 Created\r\nContent-Le") << true;
    QTest::newRow("close inside a body of known length")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.0 201 Created\r\nContent-Length: 10\r\n\r\nabc").close(Point::AfterBody); })
        << small << false << Failure::ConnectionLost << true << QByteArray("HTTP/1.0 201 Created\r\nContent-Length: 10\r\n\r\n") << true;
    QTest::newRow("header beyond its limit")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterBody, hugeHeader).close(Point::AfterBody); })
        << small << false << Failure::HeaderTooLarge << true << hugeHeader.left(TNMHTTP::MaxHeaderBytes) << true;
    QTest::newRow("silent server")
        << Script([](ScriptedServer &) {})
        << small << false << Failure::Inactivity << true << QByteArray() << true;
    QTest::newRow("server stops in the middle of the header")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBody, "HTTP/1.0 201 Created\r\n"); })
        << small << false << Failure::Inactivity << true << QByteArray("HTTP/1.0 201 Created\r\n") << true;

    QTest::newRow("early 413, server closes")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterHead, tooLarge).close(Point::AfterHead); })
        << large << false << Failure::HttpStatus << true << tooLarge << false;
    QTest::newRow("early 401, server keeps reading")
        << Script([](ScriptedServer &s) { s.answer(Point::AfterBodyBytes, "HTTP/1.0 401 Unauthorized\r\nContent-Length: 0\r\n\r\n", MiB); })
        << large << false << Failure::HttpStatus << true << QByteArray("HTTP/1.0 401 Unauthorized\r\nContent-Length: 0\r\n\r\n") << false;
    QTest::newRow("early 201 before the whole file")
        << Script([=](ScriptedServer &s) { s.answer(Point::AfterHead, ScriptedServer::Created); })
        << large << false << Failure::IncompleteUpload << true << ScriptedServer::Created << false;
    QTest::newRow("reset while sending")
        << Script([](ScriptedServer &s) { s.reset(Point::AfterBodyBytes, MiB); })
        << large << false << Failure::ConnectionLost << false << QByteArray() << false;
    QTest::newRow("server stops reading while sending")
        << Script([](ScriptedServer &s) { s.stopReading(Point::AfterBodyBytes, MiB); })
        << 64 * MiB << false << Failure::Inactivity << false << QByteArray() << false;
}

void TestExchange::serverBehaviour()
{
    QFETCH(Script, script);
    QFETCH(qint64, fileSize);
    QFETCH(bool, succeeds);
    QFETCH(Failure, failure);
    QFETCH(bool, headFileMade);
    QFETCH(QByteArray, headFile);
    QFETCH(bool, wholeRequestArrives);

    TestFolder folder;
    const QByteArray content = pattern(fileSize);
    const QString path = folder.write(QStringLiteral("data.bin"), content);
    ScriptedServer server;
    script(server);
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("data.bin")),
             succeeds ? SendCommand::succeededText() : SendCommand::failedText());
    QCOMPARE(sender.http.failure(), failure);
    QCOMPARE(TestFolder::exists(QStringLiteral("Head.txt")), headFileMade);
    QCOMPARE(TestFolder::read(QStringLiteral("Head.txt")), headFile);

    const QByteArray head = requestHead("/Group_Item1/data.bin", fileSize);
    const QByteArray received = server.received();
    if (wholeRequestArrives) {
        QTRY_COMPARE(server.receivedCount(), head.size() + fileSize);
        QCOMPARE(server.received(), head + content);
    } else {
        QVERIFY(received.startsWith(head));
        QVERIFY(server.receivedCount() < head.size() + fileSize);
    }
    QCOMPARE(server.connections(), 1);
}

void TestExchange::replyBodyIsBounded_data()
{
    QTest::addColumn<QByteArray>("reply");

    const QByteArray large(3 * MiB, 'b');
    QTest::newRow("long body of announced length")
        << "HTTP/1.0 201 Created\r\nContent-Length: " + QByteArray::number(large.size()) + "\r\n\r\n" + large;
    // The server never closes: reading stops at the limit, and the reply counts by its status.
    QTest::newRow("endless body")
        << "HTTP/1.0 201 Created\r\n\r\n" + QByteArray(TNMHTTP::MaxBodyReadBytes + MiB, 'e');
}

void TestExchange::replyBodyIsBounded()
{
    QFETCH(QByteArray, reply);

    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    ScriptedServer server;
    server.answer(Point::AfterBody, reply);
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("f")), SendCommand::succeededText());
    QCOMPARE(sender.http.Body().size(), TNMHTTP::MaxBodyBytes);
}

void TestExchange::nameBecomesOnePathElement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("unreserved characters stay") << QStringLiteral("Az09-._~") << QByteArray("/Group_Item1/Az09-._~");
    QTest::newRow("blank") << QStringLiteral("report 2.txt") << QByteArray("/Group_Item1/report%202.txt");
    QTest::newRow("Hangul, as UTF-8 bytes") << QStringLiteral("보고서.txt") << QByteArray("/Group_Item1/%EB%B3%B4%EA%B3%A0%EC%84%9C.txt");
    QTest::newRow("query and fragment characters") << QStringLiteral("a?b#c&d=e+f") << QByteArray("/Group_Item1/a%3Fb%23c%26d%3De%2Bf");
    QTest::newRow("percent sign is not taken as an escape") << QStringLiteral("%2E%2E") << QByteArray("/Group_Item1/%252E%252E");
    QTest::newRow("dots within a name") << QStringLiteral("...x..") << QByteArray("/Group_Item1/...x..");
    QTest::newRow("empty name means the folder") << QString() << QByteArray("/Group_Item1/");
    QTest::newRow("long name is not cut") << QString(300, QLatin1Char('n')) << "/Group_Item1/" + QByteArray(300, 'n');
}

void TestExchange::nameBecomesOnePathElement()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, target);

    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, name), SendCommand::succeededText());
    QCOMPARE(server.received(), requestHead(target, 1) + "x");
}

void TestExchange::unsafeNameIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("slash") << QStringLiteral("../etc/passwd");
    QTest::newRow("backslash") << QStringLiteral("..\\x.txt");
    QTest::newRow("CR LF") << QStringLiteral("a.txt\r\nX-Injected: 1");
    QTest::newRow("tab") << QStringLiteral("a\tb");
    QTest::newRow("DEL") << QStringLiteral("a\x7f");
}

void TestExchange::unsafeNameIsRefusedBeforeConnecting()
{
    QFETCH(QString, name);

    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, name), SendCommand::failedText());
    QCOMPARE(sender.http.OutputFileMode(), false);
    QTest::qWait(50);
    QCOMPARE(server.connections(), 0);
    QVERIFY(!TestFolder::exists(QStringLiteral("Head.txt")));
}

void TestExchange::pathThatCannotBeSentFailsBeforeConnecting_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<Failure>("failure");

    QTest::newRow("empty path") << "empty" << SendCommand::chooseFileText() << Failure::None;
    QTest::newRow("missing file") << "missing" << SendCommand::failedText() << Failure::FileUnreadable;
    QTest::newRow("folder") << "folder" << SendCommand::failedText() << Failure::NotRegularFile;
    QTest::newRow("FIFO with no writer") << "fifo" << SendCommand::failedText() << Failure::NotRegularFile;
    QTest::newRow("device") << "device" << SendCommand::failedText() << Failure::NotRegularFile;
}

void TestExchange::pathThatCannotBeSentFailsBeforeConnecting()
{
    QFETCH(QString, kind);
    QFETCH(QString, status);
    QFETCH(Failure, failure);

    TestFolder folder;
    QString path;
    if (kind == QLatin1String("missing"))
        path = folder.path(QStringLiteral("no such file.txt"));
    else if (kind == QLatin1String("folder"))
        path = folder.path(QString());
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path = folder.path(QStringLiteral("pipe"))).constData(), 0600), 0);
    else if (kind == QLatin1String("device"))
        path = QStringLiteral("/dev/zero");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("x")), status);
    QCOMPARE(sender.http.failure(), failure);
    QTest::qWait(50);
    QCOMPARE(server.connections(), 0);
    QVERIFY(!TestFolder::exists(QStringLiteral("Head.txt")));
}

void TestExchange::nothingListeningLeavesHeadFile()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    folder.write(QStringLiteral("Head.txt"), "earlier reply");
    quint16 closedPort = 0;
    {
        ScriptedServer server;
        server.start();
        closedPort = server.port();
    }
    Sender sender("http://127.0.0.1:" + QByteArray::number(closedPort) + "/Group_Item1/");
    QCOMPARE(sender.send(path, QStringLiteral("f")), SendCommand::failedText());
    QCOMPARE(sender.http.failure(), Failure::ConnectFailed);
    QCOMPARE(TestFolder::read(QStringLiteral("Head.txt")), QByteArray("earlier reply"));
}

void TestExchange::connectingGivesUp()
{
    // A listener whose accept queue is full drops further connection requests unanswered.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), length), 0);
    QCOMPARE(::listen(listener, 0), 0);
    QCOMPARE(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(ntohs(address.sin_port)) + "/Group_Item1/";
    QTcpSocket queueFillers[2];
    for (QTcpSocket &filler : queueFillers) {
        filler.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        filler.waitForConnected(1000);
    }

    TestFolder folder;
    Sender sender(base);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(sender.send(folder.write(QStringLiteral("f"), "x"), QStringLiteral("f")), SendCommand::failedText());
    QCOMPARE(sender.http.failure(), Failure::ConnectTimeout);
    QVERIFY(clock.elapsed() >= TNMHTTP::ConnectTimeoutMs * 9 / 10); // coarse timers may fire 5% early
    QVERIFY(!TestFolder::exists(QStringLiteral("Head.txt")));
    ::close(listener);
}

void TestExchange::secondTransferReplacesHeadFile()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    const QByteArray first = "HTTP/1.0 201 Created\r\nX-First: a much longer header line than the second\r\n\r\n";
    const QByteArray second = "HTTP/1.0 204 No Content\r\n\r\n";
    for (const QByteArray &reply : {first, second}) {
        ScriptedServer server;
        server.answer(Point::AfterBody, reply).close(Point::AfterBody);
        server.start();
        Sender sender(server.baseUrl());
        QCOMPARE(sender.send(path, QStringLiteral("f")), SendCommand::succeededText());
    }
    QCOMPARE(TestFolder::read(QStringLiteral("Head.txt")), second);
}

void TestExchange::headFileThatCannotBeCreatedIsAFailure()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "payload");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    // /proc takes no new files, not even from root, so it stands for a read-only folder.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QStringLiteral("/proc")));
    Sender sender(server.baseUrl());
    const QString status = sender.send(path, QStringLiteral("f"));
    QDir::setCurrent(previous);

    QCOMPARE(status, SendCommand::failedText());
    QCOMPARE(sender.http.failure(), Failure::HeaderFileFailed);
    QCOMPARE(server.received(), requestHead("/Group_Item1/f", 7) + "payload");
}

void TestExchange::fileThatShrinksIsNeverSentShort()
{
    TestFolder folder;
    const qint64 size = 64 * MiB;
    const QString path = folder.write(QStringLiteral("shrinks.bin"), pattern(size));
    ScriptedServer server;
    server.setRecordLimit(MiB);
    server.call(Point::AfterBodyBytes, [path] { QFile::resize(path, 2 * MiB); }, MiB)
        .acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("shrinks.bin")), SendCommand::failedText());
    QCOMPARE(sender.http.failure(), Failure::FileChanged);
    QTest::qWait(100);
    QVERIFY(server.bodyCount() < size);
}

void TestExchange::fileThatGrowsSendsTheSizeTaken()
{
    TestFolder folder;
    const qint64 size = 16 * MiB;
    const QByteArray content = pattern(size);
    const QString path = folder.write(QStringLiteral("grows.bin"), content);
    ScriptedServer server;
    server.setRecordLimit(2 * size);
    server.call(Point::AfterBodyBytes, [path] {
        QFile file(path);
        file.open(QIODevice::Append);
        file.write(QByteArray(MiB, 'G'));
    }, MiB).acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl());
    QCOMPARE(sender.send(path, QStringLiteral("grows.bin")), SendCommand::succeededText());
    QCOMPARE(server.received(), requestHead("/Group_Item1/grows.bin", size) + content);
}

void TestExchange::fileAboveFourGiB()
{
    TestFolder folder;
    const qint64 size = 5LL * 1024 * MiB;
    const QString path = folder.sparse(QStringLiteral("huge.bin"), size);
    ScriptedServer server;
    server.setRecordLimit(4096);
    server.acceptAfterBody();
    server.start();

    Sender sender(server.baseUrl(), TransferTimeoutMs);
    QCOMPARE(sender.send(path, QStringLiteral("huge.bin")), SendCommand::succeededText());
    QVERIFY(server.received().contains("\r\nContent-Length: 5368709120\r\n\r\n"));
    QCOMPARE(server.bodyCount(), size);
}

void TestExchange::proxyGetsTheAbsoluteUrl()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    ScriptedServer proxy;
    proxy.acceptAfterBody();
    proxy.start();

    // A loopback address where nothing listens: only the proxy may be contacted.
    Sender sender("http://127.0.0.2:8080/Group_Item1/");
    sender.http.setProxy(QStringLiteral("127.0.0.1"));
    sender.http.setProxyPort(proxy.port());
    QCOMPARE(sender.send(path, QStringLiteral("a b")), SendCommand::succeededText());
    QCOMPARE(proxy.received(), requestHead("http://127.0.0.2:8080/Group_Item1/a%20b", 1, "127.0.0.2") + "x");
}

void TestExchange::progressIsShownAtMostTenTimesASecond()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f"), "x");
    ScriptedServer server;
    server.start(); // accepts and stays silent, so the transfer stays under way

    Sender sender(server.baseUrl(), TransferTimeoutMs);
    QStringList shown;
    connect(&sender.command, &SendCommand::statusChanged, [&](const QString &text) { shown << text; });
    sender.command.run(path, QStringLiteral("f"));
    QCOMPARE(shown, QStringList{SendCommand::progressText(0)});

    for (int sent = 1; sent <= 1000; ++sent)
        emit sender.http.progressed(sent, 1000);
    QCOMPARE(shown.size(), 1);
    QTest::qWait(SendCommand::ProgressIntervalMs + 10);
    emit sender.http.progressed(333, 1000);
    QCOMPARE(shown.last(), SendCommand::progressText(33));
    QCOMPARE(shown.size(), 2);
    sender.http.Abort();
    QCOMPARE(shown.last(), SendCommand::failedText());
}

FILESEND_TEST(TestExchange, "exchange")

#include "tst_exchange.moc"
