#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QThread>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

// A loopback HTTP server for tests, told what to do and when: answer given bytes,
// trickle them, close (ending its side and reading on), reset, stop reading or call back, each at a given point of the
// request. It runs in a thread of its own, so the client under test sees a real peer,
// and records every byte it receives.
class ScriptedServer : public QObject
{
    Q_OBJECT

public:
    enum class Point { Connected, AfterHead, AfterBodyBytes, AfterBody };

    // What a storing server answers to a PUT it took whole.
    inline static const QByteArray Created = "HTTP/1.0 201 Created\r\nContent-Length: 0\r\n\r\n";

    // Bytes beyond this are counted, not kept.
    static constexpr qint64 DefaultRecordLimit = 16 * 1024 * 1024;

    explicit ScriptedServer(QObject *parent = nullptr);
    ~ScriptedServer() override;

    // Script steps run one after another, each once its point is reached.
    ScriptedServer &answer(Point point, const QByteArray &bytes, qint64 bodyBytes = 0);
    // Answers Created once the whole body is in.
    ScriptedServer &acceptAfterBody() { return answer(Point::AfterBody, Created); }
    ScriptedServer &trickle(Point point, const QByteArray &bytes, int msPerByte, qint64 bodyBytes = 0);
    ScriptedServer &close(Point point, qint64 bodyBytes = 0);
    ScriptedServer &reset(Point point, qint64 bodyBytes = 0);
    ScriptedServer &stopReading(Point point, qint64 bodyBytes = 0);
    ScriptedServer &call(Point point, std::function<void()> callback, qint64 bodyBytes = 0);
    void setRecordLimit(qint64 bytes) { m_recordLimit = bytes; }

    // Starts listening on 127.0.0.1 on a free port.
    void start();
    quint16 port() const { return m_port; }
    QByteArray baseUrl() const;

    QByteArray received() const;
    qint64 receivedCount() const;
    qint64 bodyCount() const;
    int connections() const;

private:
    enum class Action { Answer, Trickle, Close, Reset, StopReading, Call };
    struct Step {
        Point point;
        qint64 bodyBytes;
        Action action;
        QByteArray bytes;
        int msPerByte = 0;
        std::function<void()> callback;
    };

    ScriptedServer &add(Step step);
    void listenInThread();
    void onNewConnection();
    void onReadyRead();
    void runSteps();
    bool reached(const Step &step) const;
    void trickleNextByte();

    QList<Step> m_steps;
    qint64 m_recordLimit = DefaultRecordLimit;
    QThread m_thread;
    quint16 m_port = 0;

    // Owned by and used in the server's thread.
    QTcpServer *m_server = nullptr;
    QTcpSocket *m_client = nullptr;
    QTimer *m_trickleTimer = nullptr;
    int m_nextStep = 0;
    qsizetype m_trickled = 0;
    bool m_reading = true;
    qint64 m_headSize = -1;
    qint64 m_contentLength = -1;

    // Read from the test's thread.
    mutable QMutex m_mutex;
    QByteArray m_received;
    qint64 m_receivedCount = 0;
    int m_connections = 0;
};
