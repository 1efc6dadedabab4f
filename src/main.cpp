#include "DemoService.h"
#include "DeviceInfo.h"
#include "HomeDlg.h"
#include "ImUtil.h"
#include "LogUtil.h"
#include "QtSingleApplication.h"
#include "RenderPath.h"
#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "WebEngineView.h"

#include "BuildInfo.h"

#include <QNetworkProxy>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTextCodec>
#include <QtWebEngine>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    if (DeviceInfo::isOldWindows()) {
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        qputenv("QT_WEBENGINE_DISABLE_ANGLE", "1");
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    } else {
        QCoreApplication::setAttribute(Qt::AA_UseOpenGLES, true);
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--enable-gpu-rasterization --ignore-gpu-blacklist "
                                              "--enable-webgl --enable-accelerated-video-decode");
    }

#if defined(Q_OS_UNIX)
    // Chromium refuses to start its sandbox for root; the client never needs root here.
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif

    const bool demoService = DemoService::isActive(QString::fromUtf8(BuildInfo::baseUrl));
    if (demoService) {
        DemoService::registerScheme();
    }
    QtWebEngine::initialize();

    // All traffic of the process, the web views' included, goes direct.
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::NoProxy, QString(), 0, QString(), QString()));

    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    auto *app = new QtSingleApplication(argc, argv, true);
    if (app->isRunning()) {
        app->sendMessage(QStringLiteral("raiseWindow"), 5000);
        delete app;
        return 0;
    }

    QCoreApplication::setApplicationName(QString::fromLatin1(BuildInfo::appName));
    LogUtil::init(5);
    // Before the demo scheme's profile and the first web view bring up the web engine.
    RenderPath::choose();
    ThemeStyle::instance()->generateSkinImages();
    app->setStyleSheet(ThemeStyle::instance()->appStyleSheet());
    if (demoService) {
        DemoService::install();
    }
    qDebug() << "Chrome version:" << chromiumVersion();
    qDebug() << "im version:" << ImUtil::instance()->getSDKVersion();
    qDebug() << "trtc version:" << TrtcUtil::instance()->getSDKVersion();

    int exitCode = 0;
    {
        // Hidden until its page says it is ready.
        HomeDlg home(nullptr);
        QObject::connect(app, &QtSingleApplication::messageReceived, &home,
                         &HomeDlg::slotSingleApplicationMessage);
        exitCode = QApplication::exec();
    }

    delete app;
    // Whatever is still queued reaches the file before the process ends.
    LogUtil::release();
    return exitCode;
}
