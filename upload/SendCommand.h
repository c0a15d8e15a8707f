#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "TNMHTTP.h"

// The send command: checks the path, sends the file under the name with the HTTP
// component, and tells the outcome as the status text.
class SendCommand : public QObject
{
    Q_OBJECT

public:
    // The status line is refreshed at most this often while a file goes out.
    static constexpr int ProgressIntervalMs = 100;

    static QString chooseFileText() { return QStringLiteral("전송할 파일을 선택해 주세요"); }
    static QString failedText() { return QStringLiteral("전송중 에러 발생"); }
    static QString succeededText() { return QStringLiteral("전송성공!"); }
    static QString progressText(int percent) { return QStringLiteral("전송중... %1%").arg(percent); }

    explicit SendCommand(TNMHTTP *http, const QByteArray &baseUrl, QObject *parent = nullptr);

    // Starts sending path under name; ignored while a transfer is under way.
    void run(const QString &path, const QString &name);
    bool isRunning() const { return m_http->isBusy(); }

signals:
    void statusChanged(const QString &text);

private slots:
    void onProgressed(qint64 sent, qint64 total);
    void onFinished(TNMHTTP::Failure failure);

private:
    void showProgress(qint64 sent, qint64 total);

    TNMHTTP *m_http = nullptr;
    QByteArray m_baseUrl;
    QElapsedTimer m_sinceProgressShown;
};
