#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Plain HTTP GET into memory, one request at a time. A new download replaces the one in progress;
// only the latest request reports finished(). The owner reads data() in its finished() handler.
// A request that has not completed within the time-out is aborted and reports
// QNetworkReply::TimeoutError, so that a server that never answers cannot hold the owner forever.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    explicit FileDownloader(QObject *parent = nullptr);

    void download(const QString &url);

    static constexpr int defaultTimeoutMs = 30000;
    // For the requests started afterwards; 0 or less waits without limit.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }

    QByteArray data() const { return m_data; }
    // The last path component of the requested URL, fully decoded; empty for a URL ending in "/".
    QString fileName() const { return m_fileName; }
    bool isDownloading() const { return m_downloading; }

signals:
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    // 0 on success, otherwise the reply's QNetworkReply::NetworkError value.
    void finished(int errCode);

private slots:
    void slotDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void slotFileDownloaded(QNetworkReply *reply);
    void slotTimedOut();

private:
    QString m_fileName;
    bool m_downloading = false;
    QNetworkAccessManager *m_manager = nullptr;
    // Owned by the manager; not null only while a request is in flight.
    QNetworkReply *m_reply = nullptr;
    QByteArray m_data;
    int m_timeoutMs = defaultTimeoutMs;
    QTimer *m_timer = nullptr;
    bool m_timedOut = false;
};
