#include "UploadServer.h"

#include <QByteArrayList>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Large enough that the kernel never has to wait for us between two reads.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
constexpr qsizetype ReadBytes = 1024 * 1024;
constexpr qsizetype MaxHeadBytes = 64 * 1024;
constexpr int ListenBacklog = 4;

const QByteArray HeadEnd = QByteArrayLiteral("\r\n\r\n");
const QByteArray Created = QByteArrayLiteral("HTTP/1.0 201 Created\r\nContent-Length: 0\r\n\r\n");
const QByteArray Continue = QByteArrayLiteral("HTTP/1.1 100 Continue\r\n\r\n");

QString systemError(const char *call)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(call), qt_error_string(errno));
}

bool sendAll(int connection, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(connection, bytes.constData() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The value of the header field name (lower case), or a null array.
QByteArray fieldValue(const QByteArray &head, const QByteArray &name)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace

UploadServer::UploadServer()
    : m_buffer(ReadBytes, Qt::Uninitialized)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return;
    // Set before listen() so that accepted sockets inherit it and the window scale fits it.
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &ReceiveBufferBytes, sizeof ReceiveBufferBytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, ListenBacklog) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(listener);
        return;
    }
    m_listener = listener;
    m_port = ntohs(address.sin_port);
}

UploadServer::~UploadServer()
{
    if (m_listener >= 0)
        ::close(m_listener);
}

UploadServer::Upload UploadServer::receiveOne(int acceptTimeoutMs, int readTimeoutMs)
{
    Upload upload;
    pollfd waiting{m_listener, POLLIN, 0};
    if (::poll(&waiting, 1, acceptTimeoutMs) != 1) {
        upload.error = QStringLiteral("no client connected within %1 ms").arg(acceptTimeoutMs);
        return upload;
    }
    const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
        upload.error = systemError("accept");
        return upload;
    }
    QElapsedTimer clock;
    clock.start();
    const timeval readTimeout{readTimeoutMs / 1000, (readTimeoutMs % 1000) * 1000};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &readTimeout, sizeof readTimeout);

    if (readHead(connection, &upload))
        readBody(connection, &upload);
    upload.nanoseconds = clock.nsecsElapsed();
    if (upload.error.isEmpty() && !sendAll(connection, Created))
        upload.error = systemError("send");
    if (upload.error.isEmpty()) {
        // Whatever still comes after the answer is more body than was announced.
        ::shutdown(connection, SHUT_WR);
        ssize_t n;
        while ((n = ::recv(connection, m_buffer.data(), m_buffer.size(), 0)) > 0)
            upload.bodyBytes += n;
        if (n < 0)
            upload.error = systemError("recv after the answer");
        else if (upload.bodyBytes != upload.contentLength)
            upload.error = QStringLiteral("the body held %1 bytes, Content-Length said %2")
                               .arg(upload.bodyBytes).arg(upload.contentLength);
    }
    ::close(connection);
    return upload;
}

bool UploadServer::readHead(int connection, Upload *upload)
{
    QByteArray received;
    qsizetype headEnd = -1;
    while (headEnd < 0) {
        if (received.size() > MaxHeadBytes) {
            upload->error = QStringLiteral("the request head exceeds %1 bytes").arg(MaxHeadBytes);
            return false;
        }
        const ssize_t n = ::recv(connection, m_buffer.data(), m_buffer.size(), 0);
        if (n <= 0) {
            upload->error = n == 0 ? QStringLiteral("the client closed inside the request head")
                                   : systemError("recv");
            return false;
        }
        received.append(m_buffer.constData(), n);
        headEnd = received.indexOf(HeadEnd);
    }
    upload->head = received.left(headEnd + HeadEnd.size());
    upload->bodyBytes = received.size() - upload->head.size();

    bool isNumber = false;
    upload->contentLength = fieldValue(upload->head, "content-length").toLongLong(&isNumber);
    if (!isNumber || upload->contentLength < 0) {
        upload->error = QStringLiteral("the request has no Content-Length");
        return false;
    }
    // curl asks before sending a large body; a real server would agree.
    if (fieldValue(upload->head, "expect").toLower() == "100-continue" && !sendAll(connection, Continue)) {
        upload->error = systemError("send");
        return false;
    }
    return true;
}

void UploadServer::readBody(int connection, Upload *upload)
{
    while (upload->bodyBytes < upload->contentLength) {
        const ssize_t n = ::recv(connection, m_buffer.data(), m_buffer.size(), 0);
        if (n <= 0) {
            upload->error = n == 0 ? QStringLiteral("the client closed after %1 of %2 body bytes")
                                         .arg(upload->bodyBytes).arg(upload->contentLength)
                                   : systemError("recv");
            return;
        }
        upload->bodyBytes += n;
    }
    if (upload->bodyBytes > upload->contentLength)
        upload->error = QStringLiteral("the body held more than the %1 bytes of Content-Length")
                            .arg(upload->contentLength);
}
