#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The bundled nginx upload receiver, run for a test on a free loopback port with its
// own folder; stopped when the object goes away.
class NginxServer
{
public:
    // How long nginx may take to accept connections.
    static constexpr int StartTimeoutMs = 10000;

    NginxServer();
    ~NginxServer();

    // Starts nginx; false (with the reason in errorString()) if it does not come up.
    bool start();
    QString errorString() const { return m_error; }
    QByteArray baseUrl() const;
    // The path where a file uploaded under name is stored.
    QString storedPath(const QString &name) const;

private:
    bool tryStart(quint16 port);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
