#include "FileDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

FileDownloader::FileDownloader(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &FileDownloader::slotTimedOut);
    connect(m_manager, &QNetworkAccessManager::finished, this, &FileDownloader::slotFileDownloaded);
}

void FileDownloader::download(const QString &url)
{
    if (m_reply) {
        // Forget the old reply before aborting it: abort() emits finished right away, and that
        // completion must be discarded, not reported as the owner's result.
        QNetworkReply *old = m_reply;
        m_reply = nullptr;
        disconnect(old, &QNetworkReply::downloadProgress, this,
                   &FileDownloader::slotDownloadProgress);
        old->abort();
        old->deleteLater();
    }
    m_data.clear();
    m_timer->stop();
    m_timedOut = false;

    const QUrl requestUrl(url);
    const QNetworkRequest request(requestUrl);
    m_fileName = requestUrl.fileName(QUrl::FullyDecoded);

    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &FileDownloader::slotDownloadProgress);
    m_downloading = true;
    if (m_timeoutMs > 0) {
        m_timer->start(m_timeoutMs);
    }
}

void FileDownloader::slotTimedOut()
{
    if (!m_reply) {
        return;
    }
    // The abort completes the request through slotFileDownloaded, which reports the time-out.
    m_timedOut = true;
    m_reply->abort();
}

void FileDownloader::slotDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    emit downloadProgress(bytesReceived, bytesTotal);
}

void FileDownloader::slotFileDownloaded(QNetworkReply *reply)
{
    if (reply != m_reply) {
        reply->deleteLater();
        return;
    }

    m_timer->stop();
    int code = 0;
    if (m_timedOut) {
        m_data.clear();
        code = QNetworkReply::TimeoutError;
    } else if (reply->error() != QNetworkReply::NoError) {
        m_data.clear();
        code = reply->error();
    } else {
        m_data = reply->readAll();
    }

    // State first: a finished() handler may start the next download straight away.
    m_reply = nullptr;
    m_downloading = false;
    m_timedOut = false;
    reply->deleteLater();
    emit finished(code);
}
