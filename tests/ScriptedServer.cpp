#include "ScriptedServer.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

ScriptedServer::ScriptedServer(QObject *parent)
    : QObject(parent)
{
}

ScriptedServer::~ScriptedServer()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(this, [this] {
            delete m_client;
            delete m_server;
            delete m_trickleTimer;
            moveToThread(m_thread.thread());
        }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
}

ScriptedServer &ScriptedServer::add(Step step)
{
    m_steps.append(std::move(step));
    return *this;
}

ScriptedServer &ScriptedServer::answer(Point point, const QByteArray &bytes, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::Answer, bytes});
}

ScriptedServer &ScriptedServer::trickle(Point point, const QByteArray &bytes, int msPerByte, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::Trickle, bytes, msPerByte});
}

ScriptedServer &ScriptedServer::close(Point point, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::Close, {}});
}

ScriptedServer &ScriptedServer::reset(Point point, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::Reset, {}});
}

ScriptedServer &ScriptedServer::stopReading(Point point, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::StopReading, {}});
}

ScriptedServer &ScriptedServer::call(Point point, std::function<void()> callback, qint64 bodyBytes)
{
    return add({point, bodyBytes, Action::Call, {}, 0, std::move(callback)});
}

void ScriptedServer::start()
{
    m_thread.start();
    moveToThread(&m_thread);
    QMetaObject::invokeMethod(this, &ScriptedServer::listenInThread, Qt::BlockingQueuedConnection);
}

void ScriptedServer::listenInThread()
{
    m_server = new QTcpServer;
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedServer::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
    m_port = m_server->serverPort();
    m_trickleTimer = new QTimer;
    connect(m_trickleTimer, &QTimer::timeout, this, &ScriptedServer::trickleNextByte);
}

QByteArray ScriptedServer::baseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port) + "/Group_Item1/";
}

void ScriptedServer::onNewConnection()
{
    QTcpSocket *socket = m_server->nextPendingConnection();
    {
        QMutexLocker lock(&m_mutex);
        ++m_connections;
    }
    if (m_client) {
        // One exchange per test: a second connection is counted and refused.
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_client = socket;
    connect(m_client, &QTcpSocket::readyRead, this, &ScriptedServer::onReadyRead);
    runSteps();
}

void ScriptedServer::onReadyRead()
{
    if (!m_reading || !m_client)
        return;
    const QByteArray data = m_client->readAll();
    {
        QMutexLocker lock(&m_mutex);
        // The request head is always kept: the script's points are measured from its end.
        const qint64 room = m_headSize < 0 ? data.size() : qMax<qint64>(0, m_recordLimit - m_received.size());
        m_received += data.left(room);
        m_receivedCount += data.size();
        if (m_headSize < 0) {
            const qsizetype end = m_received.indexOf("\r\n\r\n");
            if (end >= 0) {
                m_headSize = end + 4;
                for (const QByteArray &line : m_received.left(end).split('\n')) {
                    if (line.toLower().startsWith("content-length:"))
                        m_contentLength = line.mid(15).trimmed().toLongLong();
                }
            }
        }
    }
    runSteps();
}

bool ScriptedServer::reached(const Step &step) const
{
    QMutexLocker lock(&m_mutex);
    const qint64 body = m_headSize < 0 ? -1 : m_receivedCount - m_headSize;
    switch (step.point) {
    case Point::Connected:
        return true;
    case Point::AfterHead:
        return body >= 0;
    case Point::AfterBodyBytes:
        return body >= step.bodyBytes;
    case Point::AfterBody:
        return body >= 0 && body >= m_contentLength;
    }
    return false;
}

void ScriptedServer::runSteps()
{
    while (m_client && m_nextStep < m_steps.size() && !m_trickleTimer->isActive()
           && reached(m_steps.at(m_nextStep))) {
        const Step &step = m_steps.at(m_nextStep++);
        switch (step.action) {
        case Action::Answer:
            m_client->write(step.bytes);
            m_client->flush();
            break;
        case Action::Trickle:
            m_trickled = 0;
            m_trickleTimer->start(step.msPerByte);
            break;
        case Action::Close:
            // As real servers do: end the reply, then read on until the client closes,
            // so that a reset never destroys the answer before the client read it.
            m_client->flush();
            ::shutdown(int(m_client->socketDescriptor()), SHUT_WR);
            return;
        case Action::Reset: {
            const linger hardClose{1, 0};
            ::setsockopt(int(m_client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hardClose, sizeof hardClose);
            m_client->abort();
            return;
        }
        case Action::StopReading:
            m_reading = false;
            m_client->setReadBufferSize(1);
            break;
        case Action::Call:
            step.callback();
            break;
        }
    }
}

void ScriptedServer::trickleNextByte()
{
    const Step &step = m_steps.at(m_nextStep - 1);
    if (!m_client || m_trickled >= step.bytes.size()) {
        m_trickleTimer->stop();
        runSteps();
        return;
    }
    m_client->write(step.bytes.mid(m_trickled++, 1));
    m_client->flush();
}

QByteArray ScriptedServer::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

qint64 ScriptedServer::receivedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_receivedCount;
}

qint64 ScriptedServer::bodyCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_headSize < 0 ? 0 : m_receivedCount - m_headSize;
}

int ScriptedServer::connections() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}
