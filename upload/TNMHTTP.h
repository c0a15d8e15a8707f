#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

// The window's HTTP client component: one PUT of a local file per call, asynchronous
// on the caller's thread. Put() returns at once; finished() is emitted exactly once.
class TNMHTTP : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Port READ Port WRITE setPort)
    Q_PROPERTY(QString Proxy READ Proxy WRITE setProxy)
    Q_PROPERTY(int ProxyPort READ ProxyPort WRITE setProxyPort)
    // Stored for the layout; the reply body is always kept in memory (Body).
    Q_PROPERTY(bool InputFileMode READ InputFileMode WRITE setInputFileMode)
    Q_PROPERTY(bool OutputFileMode READ OutputFileMode WRITE setOutputFileMode)
    Q_PROPERTY(QString Header READ Header WRITE setHeader)
    Q_PROPERTY(QString Body READ Body WRITE setBody)
    Q_PROPERTY(int TimeOut READ TimeOut WRITE setTimeOut)

public:
    enum class Failure {
        None,
        Busy,               // a transfer is already running
        NotFileMode,        // OutputFileMode is off: there is no file to send
        BadUrl,             // not an http:// URL with a host
        FileUnreadable,     // the path names no file that can be opened for reading
        NotRegularFile,     // a folder, FIFO or device
        FileChanged,        // the file shrank while it was being sent
        HostNotFound,
        ConnectFailed,      // refused or unreachable
        ConnectTimeout,
        Inactivity,         // nothing moved in either direction for TimeOut ms
        ConnectionLost,     // reset or closed before the reply was complete
        HeaderFileFailed,   // "Head.txt" could not be created or written
        ReplyNotHttp,       // the reply does not start with "HTTP/1.x NNN"
        HeaderTooLarge,
        IncompleteUpload,   // the server answered 2xx before it had the whole file
        HttpStatus,         // a final reply whose status is not 2xx
        Aborted,
    };
    Q_ENUM(Failure)

    // Connecting gives up after this long; the platform component had no such limit.
    static constexpr int ConnectTimeoutMs = 15000;
    // A reply header beyond this is not a header we can trust.
    static constexpr qint64 MaxHeaderBytes = 64 * 1024;
    // Body keeps at most this much of the reply body; the rest is read and dropped.
    static constexpr qint64 MaxBodyBytes = 1024 * 1024;
    // A reply body is read no further than this, so an endless one still ends the transfer.
    static constexpr qint64 MaxBodyReadBytes = 64 * MaxBodyBytes;
    // Bytes read from the file at a time. Each chunk goes to the kernel in as few write(2)
    // calls as it will take, and large writes cost the kernel far less per byte than small ones.
    static constexpr qint64 ChunkBytes = 512 * 1024;

    explicit TNMHTTP(QObject *parent = nullptr);
    ~TNMHTTP() override;

    int Port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    QString Proxy() const { return m_proxy; }
    void setProxy(const QString &proxy) { m_proxy = proxy; }
    int ProxyPort() const { return m_proxyPort; }
    void setProxyPort(int port) { m_proxyPort = port; }
    bool InputFileMode() const { return m_inputFileMode; }
    void setInputFileMode(bool on) { m_inputFileMode = on; }
    bool OutputFileMode() const { return m_outputFileMode; }
    void setOutputFileMode(bool on) { m_outputFileMode = on; }
    QString Header() const { return m_header; }
    void setHeader(const QString &fileName) { m_header = fileName; }
    QString Body() const { return m_body; }
    void setBody(const QString &body) { m_body = body; }
    int TimeOut() const { return m_timeOutMs; }
    void setTimeOut(int ms) { m_timeOutMs = ms; }

    // Starts one PUT to url whose body is the file at filePath (OutputFileMode must be on).
    // Returns false, and leaves the running transfer alone, while one is under way.
    bool Put(const QByteArray &url, const QString &filePath);
    // Ends a running transfer at once; finished() reports Aborted.
    void Abort();

    bool isBusy() const { return m_phase != Phase::Idle; }
    Failure failure() const { return m_failure; }
    QString errorString() const { return m_errorString; }
    int statusCode() const { return m_reply.statusCode; }

signals:
    void finished(TNMHTTP::Failure failure);
    void progressed(qint64 bodyBytesSent, qint64 bodyBytesTotal);

private slots:
    void onConnected();
    void onBytesWritten();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void onConnectTimeout();
    void onInactivity();

private:
    enum class Phase { Idle, Connecting, Exchanging };
    enum class ReplyState { StatusLine, HeaderLines, Body, Done };

    struct Target {
        QByteArray host;
        quint16 port = 0;
        QByteArray requestTarget;
    };
    static bool parseUrl(const QByteArray &url, Target *target);

    Failure openSourceFile(const QString &filePath, QString *errorText);
    QByteArray requestHead(const QByteArray &requestTarget, const QByteArray &host) const;
    void pumpBody();
    qint64 bodyBytesOnWire() const;
    bool requestSent() const;
    bool createHeaderFile();
    bool appendToHeaderFile(const QByteArray &bytes);
    void consumeReply();
    void consumeHeaderLine(const QByteArray &line);
    void consumeBody(const QByteArray &bytes);
    void finishReply();
    void noteActivity();
    void failSoon(Failure failure, const QString &text);
    void end(Failure failure, QString text);
    void release(bool resetConnection);

    // settings
    int m_port = 0;
    QString m_proxy;
    int m_proxyPort = 0;
    bool m_inputFileMode = false;
    bool m_outputFileMode = false;
    QString m_header;
    QString m_body;
    int m_timeOutMs = 0;

    // the running transfer
    struct Request {
        QByteArray head;
        qint64 bodyTotal = 0;
        qint64 bodyQueued = 0;  // read from the file and handed to the socket
        bool stopSending = false;
    };
    struct Reply {
        ReplyState state = ReplyState::StatusLine;
        bool started = false;
        QByteArray lineBuffer;
        qint64 headerBytes = 0;
        int statusCode = 0;
        qint64 contentLength = -1;  // -1: the body ends when the server closes
        qint64 bodyBytes = 0;
        QByteArray body;
    };
    Phase m_phase = Phase::Idle;
    quint64 m_transfer = 0;
    QTcpSocket *m_socket = nullptr;
    QFile m_source;
    Request m_request;
    QFile m_headerFile;
    bool m_headerFileOpen = false;
    Reply m_reply;
    QTimer m_connectTimer;
    QTimer m_inactivityTimer;
    Failure m_failure = Failure::None;
    QString m_errorString;
};
