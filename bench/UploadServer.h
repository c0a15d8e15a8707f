#pragma once

#include <QByteArray>
#include <QString>

// The benchmark's receiving end: takes one PUT at a time on 127.0.0.1, counts and drops
// the body, checks the count against Content-Length and answers 201.
class UploadServer
{
public:
    struct Upload {
        QString error;              // empty when the body arrived whole and was answered
        QByteArray head;            // the request head as sent, blank line included
        qint64 contentLength = -1;
        qint64 bodyBytes = 0;
        qint64 nanoseconds = 0;     // from accept() to the last body byte
    };

    explicit UploadServer();
    ~UploadServer();
    UploadServer(const UploadServer &) = delete;
    UploadServer &operator=(const UploadServer &) = delete;

    bool isListening() const { return m_listener >= 0; }
    quint16 port() const { return m_port; }

    // Waits up to acceptTimeoutMs for a client, then reads its request through; any
    // single read waiting longer than readTimeoutMs ends it with an error.
    Upload receiveOne(int acceptTimeoutMs, int readTimeoutMs);

private:
    bool readHead(int connection, Upload *upload);
    void readBody(int connection, Upload *upload);

    int m_listener = -1;
    quint16 m_port = 0;
    QByteArray m_buffer;
};
