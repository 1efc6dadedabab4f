#pragma once

#include <QJsonObject>
#include <QString>
#include <QWebEngineView>

class QWebEngineDownloadItem;
class QWebEngineSettings;
class WebEnginePage;

// The Chromium host of every window's page, on the shared default profile.
class WebEngineView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit WebEngineView(QWidget *parent = nullptr);
    ~WebEngineView() override;

    // Loads the URL with the encrypted page parameter added.
    void openUrl(const QString &url, const QJsonObject &param);

    WebEnginePage *webPage() const { return ownPage; }

    // The name a download is proposed under: its own name, the URL's file name, or "video.mp4".
    static QString downloadName(const QString &suggested, const QUrl &url);

signals:
    // A load ended without success; the window tells the user.
    void signalLoadFailed(const QUrl &url);

private slots:
    void slotLoadStarted();
    void slotLoadFinished(bool success);

private:
    static void configureProfile();
    static void applySettings(QWebEngineSettings *settings);
    static void handleDownload(QWebEngineDownloadItem *item);

    WebEnginePage *ownPage = nullptr;
};

// The Chromium version of the web engine, from the default profile's user agent.
QString chromiumVersion();
// The "Chrome/<digits and dots>" part of a user agent, or an empty string.
QString chromiumVersionOf(const QString &userAgent);
