#include "TNMHTTP.h"

#include <QTcpSocket>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint16 DefaultHttpPort = 80;
constexpr int MaxPortDigits = 5;
constexpr int MaxContentLengthDigits = 18; // stays inside qint64

bool isBlankLine(const QByteArray &line)
{
    return line == "\r\n" || line == "\n";
}

QByteArray withoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool isDigits(const QByteArray &text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "HTTP/1.x NNN" followed by nothing or a blank and the reason phrase.
int statusCodeOf(const QByteArray &statusLine)
{
    const QByteArray line = withoutLineEnd(statusLine);
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !isDigits(line.mid(7, 1), 1)
        || line.at(8) != ' ' || !isDigits(line.mid(9, 3), 3))
        return 0;
    if (line.size() > 12 && line.at(12) != ' ' && line.at(12) != '\t')
        return 0;
    return line.mid(9, 3).toInt();
}

// Replies that end with their header, whatever they announce.
bool hasNoBody(int statusCode)
{
    return statusCode == 204 || statusCode == 304;
}

bool holdsControlOrBlank(const QByteArray &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return uchar(c) <= ' ' || uchar(c) == 0x7f; });
}

// Makes close() send a reset, so a peer never takes a cut-off body for a whole one.
void resetOnClose(QTcpSocket *socket)
{
    const linger hardClose{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hardClose,
                 sizeof hardClose);
}

} // namespace

TNMHTTP::TNMHTTP(QObject *parent)
    : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &TNMHTTP::onConnectTimeout);
    m_inactivityTimer.setSingleShot(true);
    connect(&m_inactivityTimer, &QTimer::timeout, this, &TNMHTTP::onInactivity);
}

TNMHTTP::~TNMHTTP()
{
    // Going away mid-transfer: drop the connection without telling anyone.
    release(true);
}

bool TNMHTTP::Put(const QByteArray &url, const QString &filePath)
{
    if (isBusy())
        return false;

    m_phase = Phase::Connecting;
    ++m_transfer;
    m_failure = Failure::None;
    m_errorString.clear();
    m_request = Request{};
    m_reply = Reply{};

    Target target;
    if (!m_outputFileMode) {
        failSoon(Failure::NotFileMode, QStringLiteral("OutputFileMode is off"));
        return true;
    }
    if (!parseUrl(url, &target)) {
        failSoon(Failure::BadUrl, QStringLiteral("not an http URL: %1").arg(QString::fromLatin1(url)));
        return true;
    }
    QString fileError;
    if (const Failure failure = openSourceFile(filePath, &fileError); failure != Failure::None) {
        failSoon(failure, fileError);
        return true;
    }

    const bool viaProxy = !m_proxy.isEmpty();
    const QString host = viaProxy ? m_proxy : QString::fromLatin1(target.host);
    quint16 port = target.port;
    if (viaProxy)
        port = m_proxyPort > 0 ? quint16(m_proxyPort) : DefaultHttpPort;
    else if (m_port > 0)
        port = quint16(m_port);
    m_request.head = requestHead(viaProxy ? url : target.requestTarget, target.host);

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &TNMHTTP::onConnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &TNMHTTP::onBytesWritten);
    connect(m_socket, &QTcpSocket::readyRead, this, &TNMHTTP::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &TNMHTTP::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TNMHTTP::onSocketError);
    m_connectTimer.start();
    m_socket->connectToHost(host, port);
    return true;
}

void TNMHTTP::Abort()
{
    if (isBusy())
        end(Failure::Aborted, QStringLiteral("aborted"));
}

bool TNMHTTP::parseUrl(const QByteArray &url, Target *target)
{
    static const QByteArray scheme = "http://";
    if (!url.left(scheme.size()).toLower().startsWith(scheme))
        return false;
    const qsizetype authorityEnd = url.indexOf('/', scheme.size());
    const QByteArray authority = url.mid(scheme.size(), authorityEnd < 0 ? -1 : authorityEnd - scheme.size());
    const qsizetype colon = authority.lastIndexOf(':');
    target->host = colon < 0 ? authority : authority.left(colon);
    target->port = DefaultHttpPort;
    if (colon >= 0) {
        const QByteArray port = authority.mid(colon + 1);
        if (!isDigits(port, MaxPortDigits) || port.toInt() < 1 || port.toInt() > 65535)
            return false;
        target->port = quint16(port.toInt());
    }
    target->requestTarget = authorityEnd < 0 ? QByteArray("/") : url.mid(authorityEnd);
    // Anything that could end the request line early would let the URL write header lines.
    return !target->host.isEmpty() && !holdsControlOrBlank(authority)
           && !holdsControlOrBlank(target->requestTarget);
}

// Opens the file without blocking (a FIFO would wait for a writer) and takes its size now.
TNMHTTP::Failure TNMHTTP::openSourceFile(const QString &filePath, QString *errorText)
{
    const int fd = filePath.isEmpty()
                       ? -1
                       : ::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *errorText = QStringLiteral("cannot open '%1': %2").arg(filePath, qt_error_string(errno));
        return Failure::FileUnreadable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *errorText = QStringLiteral("'%1' is not a regular file").arg(filePath);
        return Failure::NotRegularFile;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!m_source.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *errorText = m_source.errorString();
        return Failure::FileUnreadable;
    }
    m_request.bodyTotal = info.st_size;
    return Failure::None;
}

QByteArray TNMHTTP::requestHead(const QByteArray &requestTarget, const QByteArray &host) const
{
    QByteArray head;
    head += "PUT " + requestTarget + " HTTP/1.0\r\n";
    head += "Host: " + host + "\r\n";
    head += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    head += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    head += "Content-type: application/x-www-form-urlencoded\r\n";
    head += "Content-Length: " + QByteArray::number(m_request.bodyTotal) + "\r\n";
    head += "\r\n";
    return head;
}

void TNMHTTP::onConnected()
{
    m_connectTimer.stop();
    m_phase = Phase::Exchanging;
    m_socket->write(m_request.head);
    noteActivity();
    pumpBody();
}

// Hands the socket the next chunk of the file once it has passed everything before it to
// the kernel, so one chunk at most is in memory; called again from bytesWritten.
void TNMHTTP::pumpBody()
{
    if (m_request.stopSending || m_request.bodyQueued == m_request.bodyTotal || m_socket->bytesToWrite() > 0)
        return;
    const qint64 wanted = qMin(ChunkBytes, m_request.bodyTotal - m_request.bodyQueued);
    // A new array each time: the socket keeps it by reference instead of copying it.
    QByteArray chunk(wanted, Qt::Uninitialized);
    const qint64 got = m_source.read(chunk.data(), wanted);
    if (got < 0) {
        end(Failure::FileUnreadable, m_source.errorString());
        return;
    }
    if (got == 0) {
        end(Failure::FileChanged, QStringLiteral("the file shrank while it was being sent"));
        return;
    }
    chunk.truncate(got);
    m_socket->write(chunk);
    m_request.bodyQueued += got;
}

qint64 TNMHTTP::bodyBytesOnWire() const
{
    // While the head still waits in the socket, no body byte has gone out.
    return qMax<qint64>(0, m_request.bodyQueued - m_socket->bytesToWrite());
}

bool TNMHTTP::requestSent() const
{
    return m_request.bodyQueued == m_request.bodyTotal && m_socket->bytesToWrite() == 0;
}

void TNMHTTP::onBytesWritten()
{
    noteActivity();
    emit progressed(bodyBytesOnWire(), m_request.bodyTotal);
    pumpBody();
}

void TNMHTTP::onReadyRead()
{
    noteActivity();
    consumeReply();
}

void TNMHTTP::consumeReply()
{
    if (m_phase != Phase::Exchanging)
        return;
    const QByteArray data = m_socket->readAll();
    qsizetype pos = 0;
    const quint64 transfer = m_transfer;
    while (pos < data.size() && m_transfer == transfer && m_phase == Phase::Exchanging) {
        if (m_reply.state == ReplyState::Body) {
            consumeBody(data.mid(pos));
            return;
        }
        if (m_reply.state == ReplyState::Done)
            return;
        const qsizetype lineEnd = data.indexOf('\n', pos);
        qsizetype take = (lineEnd < 0 ? data.size() : lineEnd + 1) - pos;
        const bool overLimit = m_reply.headerBytes + take > MaxHeaderBytes;
        if (overLimit)
            take = MaxHeaderBytes - m_reply.headerBytes;
        const QByteArray piece = data.mid(pos, take);
        pos += take;
        m_reply.started = true;
        if (!appendToHeaderFile(piece))
            return;
        if (overLimit) {
            end(Failure::HeaderTooLarge, QStringLiteral("the reply header exceeds %1 bytes").arg(MaxHeaderBytes));
            return;
        }
        m_reply.lineBuffer += piece;
        if (m_reply.lineBuffer.endsWith('\n')) {
            const QByteArray line = m_reply.lineBuffer;
            m_reply.lineBuffer.clear();
            consumeHeaderLine(line);
        }
    }
}

void TNMHTTP::consumeHeaderLine(const QByteArray &line)
{
    if (m_reply.state == ReplyState::StatusLine) {
        m_reply.statusCode = statusCodeOf(line);
        if (m_reply.statusCode == 0) {
            end(Failure::ReplyNotHttp, QStringLiteral("not an HTTP status line"));
            return;
        }
        // A final answer ends the upload: the server will not take more.
        if (m_reply.statusCode >= 200)
            m_request.stopSending = true;
        m_reply.state = ReplyState::HeaderLines;
        return;
    }
    if (!isBlankLine(line)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length") {
            const QByteArray value = withoutLineEnd(line.mid(colon + 1)).trimmed();
            if (!isDigits(value, MaxContentLengthDigits)) {
                end(Failure::ReplyNotHttp, QStringLiteral("bad Content-Length"));
                return;
            }
            m_reply.contentLength = value.toLongLong();
        }
        return;
    }
    if (m_reply.statusCode < 200) {
        // An interim reply: the header file keeps only the final reply's header.
        m_reply.state = ReplyState::StatusLine;
        m_reply.headerBytes = 0;
        m_reply.contentLength = -1;
        if (m_headerFileOpen && !(m_headerFile.resize(0) && m_headerFile.seek(0)))
            end(Failure::HeaderFileFailed, m_headerFile.errorString());
        return;
    }
    m_reply.state = ReplyState::Body;
    if (m_reply.contentLength == 0 || hasNoBody(m_reply.statusCode))
        finishReply();
}

void TNMHTTP::consumeBody(const QByteArray &bytes)
{
    qint64 usable = bytes.size();
    if (m_reply.contentLength >= 0)
        usable = qMin(usable, m_reply.contentLength - m_reply.bodyBytes);
    const qint64 kept = qMin(usable, MaxBodyBytes - m_reply.body.size());
    if (kept > 0)
        m_reply.body += bytes.left(kept);
    m_reply.bodyBytes += usable;
    const bool allAnnounced = m_reply.contentLength >= 0 && m_reply.bodyBytes >= m_reply.contentLength;
    if (allAnnounced || m_reply.bodyBytes >= MaxBodyReadBytes)
        finishReply();
}

bool TNMHTTP::createHeaderFile()
{
    if (m_headerFileOpen || m_header.isEmpty())
        return true;
    m_headerFile.setFileName(m_header);
    m_headerFileOpen = m_headerFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
    return m_headerFileOpen;
}

bool TNMHTTP::appendToHeaderFile(const QByteArray &bytes)
{
    m_reply.headerBytes += bytes.size();
    if (!createHeaderFile() || (m_headerFileOpen && m_headerFile.write(bytes) != bytes.size())) {
        end(Failure::HeaderFileFailed, m_headerFile.errorString());
        return false;
    }
    return true;
}

void TNMHTTP::onDisconnected()
{
    consumeReply();
    if (m_phase != Phase::Exchanging)
        return;
    if (m_reply.state == ReplyState::Body && m_reply.contentLength < 0) {
        finishReply();
        return;
    }
    end(Failure::ConnectionLost, m_reply.started ? QStringLiteral("the connection closed inside the reply")
                                                : QStringLiteral("the server closed without answering"));
}

void TNMHTTP::onSocketError()
{
    if (m_phase == Phase::Connecting) {
        const bool unknownHost = m_socket->error() == QAbstractSocket::HostNotFoundError;
        end(unknownHost ? Failure::HostNotFound : Failure::ConnectFailed, m_socket->errorString());
        return;
    }
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    consumeReply();
    if (m_phase == Phase::Exchanging)
        end(Failure::ConnectionLost, m_socket->errorString());
}

void TNMHTTP::onConnectTimeout()
{
    end(Failure::ConnectTimeout, QStringLiteral("no connection after %1 ms").arg(ConnectTimeoutMs));
}

void TNMHTTP::onInactivity()
{
    end(Failure::Inactivity, QStringLiteral("nothing moved for %1 ms").arg(m_timeOutMs));
}

void TNMHTTP::noteActivity()
{
    if (m_timeOutMs > 0)
        m_inactivityTimer.start(m_timeOutMs);
}

void TNMHTTP::finishReply()
{
    m_reply.state = ReplyState::Done;
    if (m_reply.statusCode < 200 || m_reply.statusCode > 299)
        end(Failure::HttpStatus, QStringLiteral("the server answered %1").arg(m_reply.statusCode));
    else if (!requestSent())
        end(Failure::IncompleteUpload, QStringLiteral("the server answered before it had the whole file"));
    else
        end(Failure::None, QString());
}

// Reports a failure found before any connection from the event loop, as every other outcome.
void TNMHTTP::failSoon(Failure failure, const QString &text)
{
    const quint64 transfer = m_transfer;
    QMetaObject::invokeMethod(this, [this, transfer, failure, text] {
        if (m_transfer == transfer && isBusy())
            end(failure, text);
    }, Qt::QueuedConnection);
}

void TNMHTTP::end(Failure failure, QString text)
{
    if (!isBusy())
        return;
    // A request that went out unanswered still leaves an empty header file behind.
    if (m_phase == Phase::Exchanging && !m_reply.started && requestSent() && !createHeaderFile()) {
        failure = Failure::HeaderFileFailed;
        text = m_headerFile.errorString();
    }
    if (m_reply.started)
        m_body = QString::fromLocal8Bit(m_reply.body);
    release(failure != Failure::None);
    m_failure = failure;
    m_errorString = text;
    m_phase = Phase::Idle;
    emit finished(failure);
}

void TNMHTTP::release(bool resetConnection)
{
    m_connectTimer.stop();
    m_inactivityTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        if (resetConnection && m_socket->state() == QAbstractSocket::ConnectedState)
            resetOnClose(m_socket);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_source.close();
    if (m_headerFileOpen)
        m_headerFile.close();
    m_headerFileOpen = false;
    m_reply.body = QByteArray();
}
