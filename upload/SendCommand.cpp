#include "SendCommand.h"

#include "UploadTarget.h"

SendCommand::SendCommand(TNMHTTP *http, const QByteArray &baseUrl, QObject *parent)
    : QObject(parent)
    , m_http(http)
    , m_baseUrl(baseUrl)
{
    connect(m_http, &TNMHTTP::progressed, this, &SendCommand::onProgressed);
    connect(m_http, &TNMHTTP::finished, this, &SendCommand::onFinished);
}

void SendCommand::run(const QString &path, const QString &name)
{
    if (isRunning())
        return;
    if (path.isEmpty()) {
        emit statusChanged(chooseFileText());
        return;
    }
    m_http->setOutputFileMode(true);
    const std::optional<QByteArray> url = UploadTarget::targetUrl(m_baseUrl, name);
    if (!url) {
        onFinished(TNMHTTP::Failure::BadUrl);
        return;
    }
    showProgress(0, 0);
    m_http->Put(*url, path);
}

void SendCommand::onProgressed(qint64 sent, qint64 total)
{
    if (m_sinceProgressShown.elapsed() >= ProgressIntervalMs)
        showProgress(sent, total);
}

void SendCommand::showProgress(qint64 sent, qint64 total)
{
    const int percent = total > 0 ? int(sent * 100 / total) : 0;
    m_sinceProgressShown.start();
    emit statusChanged(progressText(percent));
}

void SendCommand::onFinished(TNMHTTP::Failure failure)
{
    m_http->setOutputFileMode(false);
    emit statusChanged(failure == TNMHTTP::Failure::None ? succeededText() : failedText());
}
