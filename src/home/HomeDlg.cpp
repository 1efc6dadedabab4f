#include "HomeDlg.h"

#include "AppSettings.h"
#include "DeviceInfo.h"
#include "DeviceTestDlg.h"
#include "GlobalSignal.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "LiveDlg.h"
#include "LogUtil.h"
#include "ThemeStyle.h"
#include "UiResources.h"
#include "WebEnginePage.h"
#include "WebEngineView.h"
#include "XMessageBox.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFutureWatcher>
#include <QIcon>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent>

HomeDlg::HomeDlg(QWidget *parent) : HomeUpgradeDlg(parent)
{
    setObjectName(QStringLiteral("HomeDlg"));
    resize(1116, 768);
    bgColor = ThemeStyle::instance()->bgColor;

    setTitle(windowTitleFor(LangUtil::currentLang()));
    applyLang();
    setTitleBarVisible(false);
    minButtonWanted = true;
    maxButtonWanted = true;

    loadPage(QStringLiteral("/qt/start/index"), QJsonObject());
    UiResources::ensureLoaded();
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/icon.png")));

    GlobalSignal::Instance()->add(QStringLiteral("Signal_OpenLive"), this,
                                  SLOT(slotOpenLive(QString)));
    GlobalSignal::Instance()->add(QStringLiteral("Signal_CloseLive"), this,
                                  SLOT(slotCloseLive(QString)));

    exitTimer = new QTimer(this);
    exitTimer->setSingleShot(true);
    connect(exitTimer, &QTimer::timeout, this, &HomeDlg::slotUploadExitTimeout);
}

HomeDlg::~HomeDlg()
{
    qDebug() << "HomeDlg::~HomeDlg";
    GlobalSignal::Instance()->remove(QStringLiteral("Signal_OpenLive"), this);
    GlobalSignal::Instance()->remove(QStringLiteral("Signal_CloseLive"), this);
    delete liveDlg;
    liveDlg = nullptr;
    // An open device test would keep this window as its anchor and mask owner.
    delete deviceTestDlg;
}

QString HomeDlg::windowTitleFor(const QString &lang)
{
    const bool chinese = lang == QLatin1String("zh-CN") || lang == QLatin1String("zh-TW");
    return QStringLiteral("%1 v%2").arg(chinese ? QStringLiteral("Brimvale")
                                                : QString::fromLatin1(BuildInfo::appName),
                                        QString::fromLatin1(BuildInfo::versionText));
}

QJsonObject HomeDlg::qtEnv()
{
    return QJsonObject{
        {QStringLiteral("appCode"), QString::fromLatin1(BuildInfo::appName)},
        {QStringLiteral("appVersion"), QString::fromLatin1(BuildInfo::versionText)},
        {QStringLiteral("appVersionNo"), BuildInfo::versionNumber},
        {QStringLiteral("deviceInfo"), DeviceInfo::toJson()},
        {QStringLiteral("theme"), ThemeStyle::instance()->currentTheme},
        {QStringLiteral("lang"), LangUtil::currentLang()},
    };
}

void HomeDlg::resizeEvent(QResizeEvent *event)
{
    HomeUpgradeDlg::resizeEvent(event);
    placeWebView(webView());
}

void HomeDlg::maximizeWindow()
{
    HomeUpgradeDlg::maximizeWindow();
    AppSettings::setValue(AppSettingsKey::homeMaxWindow, 1);
}

void HomeDlg::restoreWindow()
{
    HomeUpgradeDlg::restoreWindow();
    AppSettings::setValue(AppSettingsKey::homeMaxWindow, 0);
}

void HomeDlg::slotWebMsg(const QString &funcName, const QString &param)
{
    HomeUpgradeDlg::slotWebMsg(funcName, param);
    qDebug() << "HomeDlg::slotWebMsg" << funcName << "paramLength=" << param.length();

    if (funcName == QLatin1String("ImReady")) {
        onImReady();
    } else if (funcName == QLatin1String("SetUserData")) {
        const bool autoReport =
            AppSettings::storeUserData(JsonUtil::str2Json(param), DeviceInfo::computerName());
        if (autoReport) {
            startLogPackaging(false);
        }
    } else if (funcName == QLatin1String("GetClientLogPath")) {
        startLogPackaging(true);
    } else if (funcName == QLatin1String("ClientLogUploadFinished")) {
        onUploadFinished(param);
    } else if (funcName == QLatin1String("ChangeLang")) {
        // An unknown code is refused (and logged) there; the texts then stay as they are.
        if (LangUtil::setCurrentLang(
                JsonUtil::getString(JsonUtil::str2Json(param), QStringLiteral("lang")))) {
            applyLang();
        }
    } else if (funcName == QLatin1String("ChangeTheme")) {
        onChangeTheme(JsonUtil::getString(JsonUtil::str2Json(param), QStringLiteral("theme")));
    } else if (funcName == QLatin1String("DeviceTest")) {
        openDeviceTest(QString());
    } else if (funcName == QLatin1String("OpenLive")) {
        const QJsonObject obj = JsonUtil::str2Json(param);
        const QString liveId = JsonUtil::getString(obj, QStringLiteral("liveId"));
        if (JsonUtil::getString(obj, QStringLiteral("userType"))
                .compare(QLatin1String("Student"), Qt::CaseInsensitive) == 0) {
            slotOpenLive(liveId);
        } else {
            openDeviceTest(liveId);
        }
    } else if (funcName == QLatin1String("OpenBrowserUrl")) {
        openBrowserUrl(JsonUtil::getString(JsonUtil::str2Json(param), QStringLiteral("url")));
    } else if (funcName == QLatin1String("ExitApp")) {
        close();
    }
}

void HomeDlg::onImReady()
{
    if (AppSettings::value(AppSettingsKey::homeMaxWindow).toInt() == 1) {
        showMaximized();
        sendWebMsg(QStringLiteral("IsMax"), QStringLiteral("1"));
    } else {
        show();
    }
    sendWebMsg(QStringLiteral("SetQtEnv"), qtEnv());
}

void HomeDlg::onChangeTheme(const QString &name)
{
    ThemeStyle *theme = ThemeStyle::instance();
    if (name == theme->currentTheme) {
        return;
    }
    // The name is stored and becomes the skin folder: only the client's own themes.
    if (!ThemeStyle::themes().contains(name)) {
        qWarning() << "HomeDlg::slotWebMsg: unknown theme, ignored:" << name.left(64) << "length"
                   << name.size();
        return;
    }
    AppSettings::setIniValue(AppSettingsKey::currTheme, name);
    theme->setTheme(name);
    theme->generateSkinImages();
    qApp->setStyleSheet(theme->appStyleSheet());
    bgColor = theme->bgColor;
    update();
}

DeviceTestDlg *HomeDlg::deviceTest() const
{
    return deviceTestDlg;
}

void HomeDlg::openDeviceTest(const QString &liveId)
{
    // One test at a time: two would fight over the same camera and microphone.
    if (deviceTestDlg) {
        if (!liveId.isEmpty()) {
            deviceTestDlg->setLiveId(liveId);
        }
        deviceTestDlg->bringToFront();
        return;
    }
    auto *dlg = new DeviceTestDlg(nullptr);
    dlg->setAnchorWidget(this);
    dlg->setMaskOwner(this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!liveId.isEmpty()) {
        dlg->setLiveId(liveId);
    }
    deviceTestDlg = dlg;
    dlg->show();
}

void HomeDlg::slotOpenLive(const QString &param)
{
    qDebug() << "HomeDlg::slotOpenLive" << param;
    // One class at a time: while a live window is open it is brought forward instead.
    if (liveDlg != nullptr) {
        liveDlg->show();
        liveDlg->raise();
        return;
    }
    auto *live = new LiveDlg();
    live->setLiveId(param);
    liveDlg = live;
    // The live window shows itself once its page is loaded.
    hide();
}

void HomeDlg::slotCloseLive(const QString &param)
{
    qDebug() << "HomeDlg::slotCloseLive" << param;
    const QJsonObject obj = JsonUtil::str2Json(param);
    const QString closeMsg = JsonUtil::getString(obj, QStringLiteral("closeMsg"));
    delete liveDlg;
    liveDlg = nullptr;
    if (!closeMsg.isEmpty()) {
        XMessageBox::info(closeMsg);
    }
    slotSingleApplicationMessage(QString());
}

void HomeDlg::slotSingleApplicationMessage(const QString &message)
{
    if (liveDlg != nullptr) {
        liveDlg->show();
        liveDlg->raise();
        return;
    }
    HomeUpgradeDlg::slotSingleApplicationMessage(message);
}

void HomeDlg::startLogPackaging(bool showTip)
{
    if (logPackaging) {
        qWarning() << "日志压缩进行中，跳过本次上报";
        return;
    }
    logPackaging = true;
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, showTip]() {
        watcher->deleteLater();
        logPackaging = false;
        sendWebMsg(QStringLiteral("UploadClientLog"),
                   QJsonObject{{QStringLiteral("dataUrl"), watcher->result()},
                               {QStringLiteral("showTip"), showTip}});
    });
    watcher->setFuture(QtConcurrent::run(&LogUtil::logZipDataUrl));
}

void HomeDlg::onUploadFinished(const QString &param)
{
    if (!exitUploadInProgress) {
        return;
    }
    const bool success =
        JsonUtil::getBool(JsonUtil::str2Json(param), QStringLiteral("success"), true);
    if (!success) {
        if (exitRetries < exitUploadRetries) {
            ++exitRetries;
            qWarning() << "日志上报失败，开始第" << exitRetries << "次重试";
            startLogPackaging(false);
            return;
        }
        qWarning() << "日志上报重试耗尽，放弃上报并退出";
    }
    exitTimer->stop();
    exitUploadInProgress = false;
    close();
}

void HomeDlg::slotUploadExitTimeout()
{
    if (!exitUploadInProgress) {
        return;
    }
    exitUploadInProgress = false;
    qWarning() << "日志上报等待总期限已到，放弃上报并退出";
    close();
}

void HomeDlg::closeEvent(QCloseEvent *event)
{
    if (exitUploadInProgress) {
        event->ignore();
        return;
    }
    if (AppSettings::isAutoReportLog() && !exitUploadAttempted) {
        exitUploadInProgress = true;
        exitUploadAttempted = true;
        exitRetries = 0;
        startLogPackaging(false);
        exitTimer->start(exitUploadDeadlineMs);
        event->ignore();
        hide();
        return;
    }
    event->accept();
    // The home window is the client: a hidden home window closing is the end as well.
    QCoreApplication::quit();
}
