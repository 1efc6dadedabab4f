#include "WebEngineView.h"

#include "DeviceInfo.h"
#include "PageParam.h"
#include "PathUtil.h"
#include "WebEnginePage.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <algorithm>

WebEngineView::WebEngineView(QWidget *parent) : QWebEngineView(parent)
{
    configureProfile();
    setContextMenuPolicy(Qt::NoContextMenu);
    ownPage = new WebEnginePage();
    setPage(ownPage);
    applySettings(ownPage->settings());
    connect(ownPage, &QWebEnginePage::loadStarted, this, &WebEngineView::slotLoadStarted);
    connect(ownPage, &QWebEnginePage::loadFinished, this, &WebEngineView::slotLoadFinished);

    static bool downloadsConnected = false;
    if (!downloadsConnected) {
        downloadsConnected = true;
        connect(QWebEngineProfile::defaultProfile(), &QWebEngineProfile::downloadRequested,
                QWebEngineProfile::defaultProfile(), &WebEngineView::handleDownload);
    }
}

WebEngineView::~WebEngineView()
{
    // The view does not own a page given to setPage; take it down before the view goes.
    setPage(nullptr);
    delete ownPage;
}

void WebEngineView::configureProfile()
{
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    const QString storage = PathUtil::appDataDir() + QStringLiteral("webengine");
    if (profile->persistentStoragePath() != storage) {
        profile->setPersistentStoragePath(storage);
    }
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
}

void WebEngineView::applySettings(QWebEngineSettings *settings)
{
    // Applied to the page in use: the service's pages rely on storage, the clipboard and
    // screen capture.
    const QWebEngineSettings::WebAttribute enabled[] = {
        QWebEngineSettings::JavascriptEnabled,
        QWebEngineSettings::LocalStorageEnabled,
        QWebEngineSettings::JavascriptCanAccessClipboard,
        QWebEngineSettings::LocalContentCanAccessRemoteUrls,
        QWebEngineSettings::LocalContentCanAccessFileUrls,
        QWebEngineSettings::ScreenCaptureEnabled,
        QWebEngineSettings::AllowWindowActivationFromJavaScript,
    };
    for (const auto attribute : enabled) {
        settings->setAttribute(attribute, true);
    }
    const bool rich = !DeviceInfo::isOldWindows();
    settings->setAttribute(QWebEngineSettings::WebGLEnabled, rich);
    settings->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, rich);
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, rich);
    // Links of schemes the engine does not know would go to the desktop's handlers; pages reach
    // the desktop only through the browser rule of the bridge and of new windows.
    settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

void WebEngineView::openUrl(const QString &url, const QJsonObject &param)
{
    const QUrl target = PageParam::withParam(url, PageParam::encode(param));
    qDebug() << "openUrl" << target.toString(QUrl::FullyEncoded);
    load(target);
}

void WebEngineView::slotLoadStarted()
{
    qDebug() << "slotLoadStarted";
}

void WebEngineView::slotLoadFinished(bool success)
{
    qDebug() << "slotLoadFinished" << success << url().toString();
    if (!success) {
        emit signalLoadFailed(url());
    }
}

namespace {
// The last part of a name that may carry folders of either kind; "." and ".." are no names.
QString bareFileName(const QString &name)
{
    const int slash =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const QString bare = name.mid(slash + 1);
    return bare == QLatin1String(".") || bare == QLatin1String("..") ? QString() : bare;
}
} // namespace

QString WebEngineView::downloadName(const QString &suggested, const QUrl &url)
{
    // Names come from the page: they may only name a file inside the download folder.
    QString name = bareFileName(suggested);
    if (name.isEmpty()) {
        name = bareFileName(url.fileName());
    }
    if (name.isEmpty()) {
        name = QStringLiteral("video.mp4");
    }
    return name;
}

void WebEngineView::handleDownload(QWebEngineDownloadItem *item)
{
    const QString proposed =
        PathUtil::downloadDir() + downloadName(item->downloadFileName(), item->url());
    const QString path =
        QFileDialog::getSaveFileName(nullptr, QStringLiteral("保存"), proposed, QString());
    if (path.isEmpty()) {
        item->cancel();
        return;
    }
    const QFileInfo info(path);
    item->setDownloadDirectory(info.absolutePath());
    item->setDownloadFileName(info.fileName());
    item->accept();
}

QString chromiumVersionOf(const QString &userAgent)
{
    static const QRegularExpression pattern(QStringLiteral("Chrome/([\\d.]+)"));
    const QRegularExpressionMatch match = pattern.match(userAgent);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString chromiumVersion()
{
    return chromiumVersionOf(QWebEngineProfile::defaultProfile()->httpUserAgent());
}
