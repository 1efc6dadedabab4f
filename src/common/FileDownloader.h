#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Plain HTTP GET into memory, one request at a time. A new download replaces the one in progress;
// only the latest request reports finished(). The owner reads data() in its finished() handler.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    explicit FileDownloader(QObject *parent = nullptr);

    void download(const QString &url);

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

private:
    QString m_fileName;
    bool m_downloading = false;
    QNetworkAccessManager *m_manager = nullptr;
    // Owned by the manager; not null only while a request is in flight.
    QNetworkReply *m_reply = nullptr;
    QByteArray m_data;
};
