#include "NginxServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int StartAttempts = 3;
constexpr int ProbeIntervalMs = 20;

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(ProbeIntervalMs);
}

} // namespace

NginxServer::NginxServer() = default;

NginxServer::~NginxServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(StartTimeoutMs))
            m_process.kill();
        m_process.waitForFinished();
    }
}

bool NginxServer::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    QDir(m_dir.path()).mkpath(QStringLiteral("www/Group_Item1"));
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        if (tryStart(freeLoopbackPort()))
            return true;
    }
    return false;
}

bool NginxServer::tryStart(quint16 port)
{
    QFile templateFile(QStringLiteral(FILESEND_NGINX_TEMPLATE));
    if (!templateFile.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1").arg(templateFile.fileName());
        return false;
    }
    const QByteArray prefix = QFile::encodeName(m_dir.path());
    QByteArray config = templateFile.readAll();
    config.replace("@PREFIX@", prefix)
        .replace("@ROOT@", prefix + "/www")
        .replace("@LISTEN@", "127.0.0.1:" + QByteArray::number(port));
    const QString configPath = m_dir.filePath(QStringLiteral("nginx.conf"));
    QFile configFile(configPath);
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write(config) != config.size()) {
        m_error = QStringLiteral("cannot write %1").arg(configPath);
        return false;
    }
    configFile.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("nginx"), {QStringLiteral("-p"), m_dir.path(), QStringLiteral("-c"), configPath,
                                              QStringLiteral("-e"), m_dir.filePath(QStringLiteral("error.log"))});
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("cannot run nginx: %1").arg(m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (accepts(port)) {
            m_port = port;
            return true;
        }
        QThread::msleep(ProbeIntervalMs);
    }
    m_process.kill();
    m_process.waitForFinished();
    m_error = QStringLiteral("nginx did not come up: %1").arg(QString::fromLocal8Bit(m_process.readAll()));
    return false;
}

QByteArray NginxServer::baseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port) + "/Group_Item1/";
}

QString NginxServer::storedPath(const QString &name) const
{
    return m_dir.filePath(QStringLiteral("www/Group_Item1/") + name);
}
