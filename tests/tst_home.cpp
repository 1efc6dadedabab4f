// The home window in the real web engine, driven the way the service's home page drives it.
#include "AppSettings.h"
#include "BoxCloser.h"
#include "DemoService.h"
#include "DeviceInfo.h"
#include "DeviceTestDlg.h"
#include "GlobalSignal.h"
#include "HomeDlg.h"
#include "Iconfont.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "LiveDlg.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "LogUtil.h"
#include "PageScript.h"
#include "PathUtil.h"
#include "ThemeStyle.h"
#include "UrlSink.h"
#include "WebEnginePage.h"
#include "WebEngineView.h"
#include "WebTestMain.h"
#include "XMessageBox.h"
#include "XOverlayDlg.h"

#include "BuildInfo.h"

#include "ScratchFolders.h"
#include <QApplication>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <QtTest>

#include <memory>

namespace {

const char *const appDirVariable = "BRV_HOME_APP_DIR";
const QString holdScriptName = QStringLiteral("hold-imready");
const QString dataUrlPrefix = QStringLiteral("data:application/zip;base64,");

QString appFile(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString str(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

// QCoreApplication::quit() outside a running exec() makes every nested event loop return -1 at
// once: that is how a test sees the call. A short exec() clears it again.
bool takeQuitRequest()
{
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe]() { probe.exit(1); });
    if (probe.exec() != -1) {
        return false;
    }
    QTimer::singleShot(0, qApp, []() { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    return true;
}

void removeAppFile(const QString &name)
{
    const QString path = appFile(name);
    if (QFileInfo(path).isDir()) {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

void wipeSettings()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
                    QStringLiteral("settings"));
    store.clear();
    store.sync();
    for (const QString &name :
         {QStringLiteral("brimvale.ini"), HomeUpgradeDlg::upgradeIniName(),
          HomeUpgradeDlg::upgradeToolName(), HomeUpgradeDlg::upgradeToolCopyName()}) {
        removeAppFile(name);
    }
    qApp->setStyleSheet(QString());
}

void storeUser(int autoReportLog)
{
    UserInfo user;
    user.userId = QStringLiteral("u-100");
    user.autoReportLog = autoReportLog;
    AppSettings::setUserInfo(user);
}

// A stand-in for the upgrade tool that notes how it was started.
void writeTool(const QString &path, const QString &marker)
{
    QFile tool(path);
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$(pwd)\" \"$#\" > '" + marker.toUtf8() + "'\n");
    tool.close();
    QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QStringList markerLines(const QString &marker)
{
    QFile file(marker);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The home window with its close decisions on record.
class Home : public HomeDlg
{
public:
    QList<bool> closes;

    void send(const QString &func, const QString &param = QString())
    {
        static_cast<XWebDialog *>(this)->slotWebMsg(func, param);
    }
    QJsonArray pageList(const char *which) const
    {
        const QString script = QStringLiteral("JSON.stringify(window.brvDemo ? brvDemo.%1 : [])");
        return QJsonDocument::fromJson(
                   evalJs(webView()->page(), script.arg(QLatin1String(which))).toString().toUtf8())
            .array();
    }
    QStringList funcs(const char *which = "received") const
    {
        QStringList names;
        for (const QJsonValue &m : pageList(which)) {
            names << m[QLatin1String("func")].toString();
        }
        return names;
    }
    QStringList received(const QString &func) const
    {
        QStringList params;
        for (const QJsonValue &m : pageList("received")) {
            if (m[QLatin1String("func")].toString() == func) {
                params << m[QLatin1String("param")].toString();
            }
        }
        return params;
    }
    QList<QJsonObject> uploads() const
    {
        QList<QJsonObject> list;
        for (const QString &param : received(QStringLiteral("UploadClientLog"))) {
            list << JsonUtil::str2Json(param);
        }
        return list;
    }
    QTimer *deadline() const
    {
        for (QTimer *timer : findChildren<QTimer *>()) {
            if (timer->interval() == exitUploadDeadlineMs) {
                return timer;
            }
        }
        return nullptr;
    }
    // Until the page has said "ImReady" and received the environment.
    bool waitShown() const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            if (isVisible() && isPageReady() && !received(QStringLiteral("SetQtEnv")).isEmpty()) {
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        HomeDlg::closeEvent(event);
        closes << event->isAccepted();
    }
};

} // namespace

class TestHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowTitles();
    void browserUrls();
    void upgradeRecordTyping();

    void hiddenUntilImReady();
    void opensAsLastLeft();
    void userDataIsStored();
    void clientLogPackaging();
    void themeChange();
    void langChange();
    void browserLinksOnlyToTheWeb();
    void foreignPageCannotCommand_data();
    void foreignPageCannotCommand();
    void demoLinksToAnotherSite();
    void themeAndLangNamesAreChecked();
    void deviceTestOpensAndJoinsTheClass();
    void closingLiveBringsHomeBack();
    void secondStartBringsHomeForward();

    void closeWithoutAutoReportQuits();
    void exitUploadRetriesThenGivesUp();
    void exitUploadSuccessCloses_data();
    void exitUploadSuccessCloses();
    void exitUploadDeadline();

    void upgradeRunsCopyOfTool();
    void upgradeWithoutTool();
    void upgradeWithStuckCopyUsesTool();
};

void TestHome::initTestCase()
{
    // Settings, the INI files and the stand-in tool stay in folders of this run alone.
    const QString scratch = qEnvironmentVariable("BRV_TEST_SCRATCH");
    QVERIFY(!scratch.isEmpty());
    QVERIFY(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
                      QStringLiteral("settings"))
                .fileName()
                .startsWith(scratch + QLatin1Char('/')));
    QCOMPARE(canonical(QCoreApplication::applicationDirPath()),
             qEnvironmentVariable(appDirVariable));
    // Something for the log packaging to pack.
    QFile log(PathUtil::makePath(LogUtil::logDir()) + QStringLiteral("20260101.log"));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("2026-01-01 08:00:00.000 [INFO] home suite\r\n");
}

void TestHome::init()
{
    wipeSettings();
    LangUtil::setCurrentLang(QStringLiteral("en"));
    BoxCloser::instance()->texts.clear();
}

void TestHome::cleanup()
{
    QWebEngineScriptCollection *scripts = QWebEngineProfile::defaultProfile()->scripts();
    for (const QWebEngineScript &script : scripts->findScripts(holdScriptName)) {
        scripts->remove(script);
    }
    wipeSettings();
    takeQuitRequest();
}

void TestHome::windowTitles()
{
    const QList<QPair<QString, QString>> titles{{"zh-CN", "Brimvale v4.0.21"},
                                                {"zh-TW", "Brimvale v4.0.21"},
                                                {"zh", "brimvale v4.0.21"},
                                                {"en", "brimvale v4.0.21"},
                                                {"ja", "brimvale v4.0.21"}};
    for (const auto &title : titles) {
        QCOMPARE(HomeDlg::windowTitleFor(title.first), title.second);
    }
}

void TestHome::browserUrls()
{
    const QStringList web{"https://www.debian.org/", "HTTP://Example.COM/a?b=1#c"};
    const QStringList other{"file:///etc/passwd",
                            "javascript:alert(1)",
                            "brimvale-demo://service/index.html",
                            "mailto:someone@example.com",
                            "ftp://example.com/file",
                            "http:example.com",
                            "//example.com/x",
                            ""};
    for (const QString &url : web) {
        QVERIFY2(WebEnginePage::isBrowserUrl(QUrl(url, QUrl::TolerantMode)), qPrintable(url));
    }
    for (const QString &url : other) {
        QVERIFY2(!WebEnginePage::isBrowserUrl(QUrl(url, QUrl::TolerantMode)), qPrintable(url));
    }
}

void TestHome::upgradeRecordTyping()
{
    // A value of the wrong type reads as the member's empty value, never converted.
    const AppUpgradeInfo wrong = AppUpgradeInfo::fromJson(
        json(R"({"versionNo":"2026120901","forceUpgrade":true,"appCode":7,"version":true,
                 "upgradeUrl":null,"limitUpgradeVersionNo":{"n":1},"comment":["c"]})"));
    QCOMPARE(wrong.versionNo, 0);
    QCOMPARE(wrong.forceUpgrade, 0);
    QCOMPARE(wrong.limitUpgradeVersionNo, 0);
    QVERIFY(wrong.appCode.isEmpty() && wrong.version.isEmpty() && wrong.upgradeUrl.isEmpty() &&
            wrong.comment.isEmpty());
    const AppUpgradeInfo right = AppUpgradeInfo::fromJson(
        json(R"({"versionNo":2026120901,"appCode":"brimvale","noPrompt":1,"updateTime":"t"})"));
    QCOMPARE(right.versionNo, 2026120901);
    QCOMPARE(right.appCode, QStringLiteral("brimvale"));
    QCOMPARE(right.noPrompt, 1);
    QCOMPARE(right.updateTime, QStringLiteral("t"));
}

void TestHome::hiddenUntilImReady()
{
    // The demo home page holds "ImReady" back when its storage says so; here it always does.
    QWebEngineScript hold;
    hold.setName(holdScriptName);
    hold.setInjectionPoint(QWebEngineScript::DocumentCreation);
    hold.setWorldId(QWebEngineScript::MainWorld);
    hold.setSourceCode(QStringLiteral(
        "(function () { var get = Storage.prototype.getItem; Storage.prototype.getItem ="
        " function (k) { return k === 'brv-demo-hold-imready' ? '1' : get.call(this, k); }; "
        "})();"));
    QWebEngineProfile::defaultProfile()->scripts()->insert(hold);
    LangUtil::setCurrentLang(QStringLiteral("zh-TW"));
    const QString tmpDir = PathUtil::appDataDir() + QStringLiteral("tmp");
    QDir(tmpDir).removeRecursively();

    Home home;
    QCOMPARE(home.windowTitle(), QStringLiteral("Brimvale v4.0.21"));
    QCOMPARE(home.size(), QSize(1116, 768));
    QVERIFY(!home.windowIcon().isNull());
    QVERIFY(QFileInfo(tmpDir).isDir());
    QTRY_VERIFY_WITH_TIMEOUT(home.isPageReady(), 30000);
    QTest::qWait(300);
    QCOMPARE(home.funcs("sent"), QStringList{"LoadFinished"});
    QVERIFY(!home.isVisible());

    home.send(QStringLiteral("ImReady"));
    QVERIFY(home.isVisible());
    QVERIFY(!home.isMaximized());
    QTRY_COMPARE(home.funcs(), QStringList{"SetQtEnv"});

    const QJsonObject env = JsonUtil::str2Json(home.received(QStringLiteral("SetQtEnv")).value(0));
    QCOMPARE(env.size(), 6);
    QVERIFY(env[QLatin1String("appVersionNo")].isDouble());
    QCOMPARE(env[QLatin1String("appVersionNo")].toInt(), 2026100201);
    QCOMPARE(env[QLatin1String("appCode")].toString(), QStringLiteral("brimvale"));
    QCOMPARE(env[QLatin1String("appVersion")].toString(), QStringLiteral("4.0.21"));
    QCOMPARE(env[QLatin1String("theme")].toString(), QStringLiteral("light"));
    QCOMPARE(env[QLatin1String("lang")].toString(), QStringLiteral("zh-TW"));
    // The device description travels as a JSON text inside the text.
    QVERIFY(env[QLatin1String("deviceInfo")].isString());
    QVERIFY(!JsonUtil::str2Json(env[QLatin1String("deviceInfo")].toString()).isEmpty());
}

void TestHome::opensAsLastLeft()
{
    AppSettings::setValue(AppSettingsKey::homeMaxWindow, 1);
    Home home;
    QVERIFY(home.waitShown());
    QVERIFY(home.isMaximized());
    QCOMPARE(home.funcs(), (QStringList{"IsMax", "SetQtEnv"}));
    QCOMPARE(home.received(QStringLiteral("IsMax")), QStringList{"1"});

    // The page's own buttons; the state is kept for the next start.
    home.send(QStringLiteral("restore"));
    QTRY_VERIFY(!home.isMaximized());
    QCOMPARE(AppSettings::value(AppSettingsKey::homeMaxWindow).toInt(), 0);
    home.send(QStringLiteral("max"));
    QTRY_VERIFY(home.isMaximized());
    QCOMPARE(AppSettings::value(AppSettingsKey::homeMaxWindow).toInt(), 1);
    // The page covers the window at every size.
    QTRY_COMPARE(home.webView()->geometry(), QRect(0, 0, home.width() + 1, home.height()));
}

void TestHome::userDataIsStored()
{
    Home home;
    QVERIFY(home.waitShown());
    home.send(QStringLiteral("SetUserData"), QString::fromUtf8(R"({"token":"tok-1",
        "loginLogId":"login-9",
        "userInfo":{"userId":"u-7","nickname":"张老师","password":"secret-pw","autoReportLog":0},
        "location":{"country":"China","ip":"10.0.0.8"},
        "deviceTestOption":{"userId":"someone-else","sdkAppId":1400000001,"userSig":"sig-1"}})"));
    QCOMPARE(AppSettings::value(AppSettingsKey::token).toString(), QStringLiteral("tok-1"));
    QCOMPARE(AppSettings::value(AppSettingsKey::loginLogId).toString(), QStringLiteral("login-9"));
    QCOMPARE(AppSettings::userInfo().nickname, QStringLiteral("张老师"));
    QVERIFY(
        !AppSettings::value(AppSettingsKey::userInfo).toString().contains(QLatin1String("secret")));
    QCOMPARE(AppSettings::location().ip, QStringLiteral("10.0.0.8"));
    const QJsonObject test =
        JsonUtil::str2Json(AppSettings::value(AppSettingsKey::deviceTestConfig).toString());
    const QJsonObject withUser =
        json(R"({"userId":"u-7","sdkAppId":1400000001,"userSig":"sig-1"})");
    QCOMPARE(test, withUser);
    QCOMPARE(AppSettings::deviceName(), DeviceInfo::computerName());
    QVERIFY(!home.isLogPackaging());

    // Without a user record the device test identity has no user.
    home.send(QStringLiteral("SetUserData"),
              str(R"({"token":"tok-2","deviceTestOption":{"userId":"x","userSig":"s"}})"));
    QCOMPARE(AppSettings::value(AppSettingsKey::token).toString(), QStringLiteral("tok-2"));
    QCOMPARE(AppSettings::value(AppSettingsKey::loginLogId).toString(), QString());
    QCOMPARE(AppSettings::userId(), QStringLiteral("u-7"));
    const QJsonObject withoutUser = json(R"({"sdkAppId":0,"userSig":"s"})");
    QCOMPARE(JsonUtil::str2Json(AppSettings::value(AppSettingsKey::deviceTestConfig).toString()),
             withoutUser);

    // A user who reports logs automatically: the archive goes to the page without a tip.
    home.send(QStringLiteral("SetUserData"),
              str(R"({"userInfo":{"userId":"u-8","autoReportLog":1}})"));
    QVERIFY(home.isLogPackaging());
    QTRY_COMPARE_WITH_TIMEOUT(home.uploads().size(), 1, 20000);
    QCOMPARE(home.uploads().at(0)[QLatin1String("showTip")], QJsonValue(false));
    QVERIFY(home.uploads().at(0)[QLatin1String("dataUrl")].toString().startsWith(dataUrlPrefix));
}

void TestHome::clientLogPackaging()
{
    Home home;
    QVERIFY(home.waitShown());
    LogCapture log;
    home.send(QStringLiteral("GetClientLogPath"));
    QVERIFY(home.isLogPackaging());
    home.send(QStringLiteral("GetClientLogPath"));
    QCOMPARE(log.messages().count(QStringLiteral("日志压缩进行中，跳过本次上报")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(home.uploads().size(), 1, 20000);
    QTest::qWait(300);
    QCOMPARE(home.uploads().size(), 1);
    QVERIFY(!home.isLogPackaging());

    const QJsonObject upload = home.uploads().at(0);
    QCOMPARE(upload[QLatin1String("showTip")], QJsonValue(true));
    const QString dataUrl = upload[QLatin1String("dataUrl")].toString();
    QVERIFY(dataUrl.startsWith(dataUrlPrefix));
    const QByteArray zip = QByteArray::fromBase64(dataUrl.mid(dataUrlPrefix.size()).toLatin1());
    QVERIFY(zip.startsWith("PK\x03\x04"));
    QVERIFY(zip.contains("20260101.log"));

    // Once done, the next request packs again.
    home.send(QStringLiteral("GetClientLogPath"));
    QTRY_COMPARE_WITH_TIMEOUT(home.uploads().size(), 2, 20000);
    QCOMPARE(log.messages().count(QStringLiteral("日志压缩进行中，跳过本次上报")), 1);
}

void TestHome::themeChange()
{
    auto window = std::make_unique<Home>();
    Home &home = *window;
    ThemeStyle *theme = ThemeStyle::instance();
    QCOMPARE(theme->currentTheme, QStringLiteral("light"));
    const QColor light = home.backgroundColor();
    QCOMPARE(light, theme->bgColor);

    home.send(QStringLiteral("ChangeTheme"), str(R"({"theme":"light"})"));
    QVERIFY(!QFile::exists(appFile(QStringLiteral("brimvale.ini"))));
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(home.backgroundColor(), light);

    home.send(QStringLiteral("ChangeTheme"), str(R"({"theme":"dark"})"));
    QCOMPARE(AppSettings::iniValue(AppSettingsKey::currTheme, QString()), QStringLiteral("dark"));
    QCOMPARE(theme->currentTheme, QStringLiteral("dark"));
    QVERIFY(home.backgroundColor() != light);
    QCOMPARE(home.backgroundColor(), theme->bgColor);
    QVERIFY(!qApp->styleSheet().isEmpty());
    QCOMPARE(qApp->styleSheet(), theme->appStyleSheet());
    QVERIFY(!QDir(theme->skinDir()).entryList({QStringLiteral("*.png")}).isEmpty());

    // The window takes the theme and the icon font with it; the next one loads them anew.
    const QPointer<ThemeStyle> themeBefore = theme;
    const QPointer<Iconfont> fontBefore = Iconfont::instance();
    window.reset();
    QVERIFY(themeBefore.isNull() && fontBefore.isNull());
    QCOMPARE(ThemeStyle::instance()->currentTheme, QStringLiteral("dark"));
}

void TestHome::langChange()
{
    Home home;
    // A child named for a common text gets that text in the window's language.
    auto *label = new QLabel(&home);
    label->setObjectName(QStringLiteral("sys_net_error"));
    home.send(QStringLiteral("ChangeLang"), str(R"({"lang":"zh-CN"})"));
    QCOMPARE(LangUtil::currentLang(), QStringLiteral("zh-CN"));
    QVERIFY(label->text().contains(QStringLiteral("网络")));
    home.send(QStringLiteral("ChangeLang"), str(R"({"lang":"en"})"));
    QVERIFY(label->text().startsWith(QLatin1String("Network connection failed")));
    // No code is no language: nothing changes.
    home.send(QStringLiteral("ChangeLang"), QStringLiteral("{}"));
    QCOMPARE(AppSettings::value(AppSettingsKey::currentLang).toString(), QStringLiteral("en"));
    QVERIFY(label->text().startsWith(QLatin1String("Network connection failed")));
}

void TestHome::browserLinksOnlyToTheWeb()
{
    // Every scheme involved goes to the sink, so nothing reaches the desktop even on a fault; the
    // handlers go with the sink.
    UrlSink sink;
    const QStringList schemes{"http", "https", "file", "javascript", "brimvale-demo", "mailto", ""};
    for (const QString &scheme : schemes) {
        QDesktopServices::setUrlHandler(scheme, &sink, "open");
    }
    Home home;
    LogCapture log;
    const QStringList refused{
        "file:///etc/passwd",   "javascript:alert(1)", "brimvale-demo://service/index.html",
        "mailto:a@example.com", "http:example.com",    "//example.com/x"};
    for (const QString &url : refused) {
        home.send(QStringLiteral("OpenBrowserUrl"),
                  JsonUtil::toCompactString(QJsonObject{{QStringLiteral("url"), url}}));
    }
    home.send(QStringLiteral("OpenBrowserUrl"), QStringLiteral("{}"));
    QVERIFY(sink.urls.isEmpty());
    const QStringList warnings =
        log.messages().filter(QRegularExpression(QStringLiteral("^HomeDlg::openBrowserUrl")));
    QCOMPARE(warnings.size(), refused.size() + 1);
    QVERIFY(warnings.at(0).contains(QLatin1String("file:///etc/passwd")));

    home.send(QStringLiteral("OpenBrowserUrl"),
              str(R"({"url":"https://www.debian.org/some path"})"));
    QCOMPARE(sink.urls.size(), 1);
    QCOMPARE(sink.urls.at(0).host(), QStringLiteral("www.debian.org"));
    QCOMPARE(sink.urls.at(0).path(), QStringLiteral("/some path"));
}

void TestHome::foreignPageCannotCommand_data()
{
    QTest::addColumn<bool>("bridgeCheckAlone");
    // As the client runs: a page of another origin gets no transport at all.
    QTest::newRow("no transport for other origins") << false;
    // Without that, as if the engine offered one: the bridge's own check must hold.
    QTest::newRow("the bridge's check alone") << true;
}

void TestHome::foreignPageCannotCommand()
{
    QFETCH(bool, bridgeCheckAlone);
    LocalHttpServer server;
    // A page of another site that tries the home window's commands the moment it runs.
    // It tries again on its way out, while the service's page takes its place.
    static const char otherPage[] =
        "<html><head><script>%1</script><script>"
        "window.offered = typeof qt !== 'undefined' && !!qt.webChannelTransport;"
        "window.got = 0; window.tried = false;"
        "var tryBridge = function (b) {"
        " b.slotWebMsg('ChangeTheme', '{\"theme\":\"dark\"}');"
        " b.slotWebMsg('UpgradeNow', '{\"appCode\":\"brimvale\"}'); };"
        "if (window.offered) new QWebChannel(qt.webChannelTransport, function (c) {"
        " var b = c.objects.bridge;"
        " b.signalQtMsg.connect(function () { window.got += 1; });"
        " tryBridge(b);"
        " var late = function () { for (var i = 0; i < 20; ++i) tryBridge(b); };"
        " window.addEventListener('pagehide', late);"
        " window.addEventListener('unload', late);"
        " window.tried = true; });"
        "else window.tried = true;"
        "</script></head><body>another site</body></html>";
    server.pages.insert("/other",
                        QByteArray(otherPage).replace("%1", LocalHttpServer::channelScript()));
    QVERIFY(server.start());
    const QString other = server.url(QStringLiteral("/other"));

    LogCapture log;
    Home home;
    QVERIFY(home.waitShown());
    QWebEnginePage *page = home.webView()->page();
    if (bridgeCheckAlone) {
        const auto scripts =
            page->scripts().findScripts(QString::fromLatin1(WebEnginePage::serviceOnlyScript));
        QCOMPARE(scripts.size(), 1);
        page->scripts().remove(scripts.at(0));
    }
    QSignalSpy urls(page, &QWebEnginePage::urlChanged);
    // The user clicks a link of the service page to the other site (a real click: the engine
    // skips, on the way back, pages that navigated away on their own).
    evalJs(page, QStringLiteral("var a = document.createElement('a'); a.href = '%1';"
                                "a.id = 'away'; a.textContent = 'away'; a.style.cssText ="
                                " 'position:fixed;left:0;top:0;width:300px;height:200px;"
                                "z-index:99999;background:#f00;display:block';"
                                "document.body.appendChild(a); 1")
                     .arg(other));
    QWidget *surface = home.webView()->focusProxy();
    QVERIFY(surface != nullptr);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTRY_COMPARE_WITH_TIMEOUT(page->url(), QUrl(other), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(evalJs(page, QStringLiteral("window.tried")).toBool(), 20000);
    QCOMPARE(evalJs(page, QStringLiteral("window.offered")).toBool(), bridgeCheckAlone);
    const QString dropped =
        QStringLiteral("JsBridge::slotWebMsg: dropped a message from another origin: ") +
        server.url(QString());
    if (bridgeCheckAlone) {
        QTRY_VERIFY(log.contains(dropped + QStringLiteral(" UpgradeNow")));
        QVERIFY(log.contains(dropped + QStringLiteral(" ChangeTheme")));
    }
    // Nothing changed: no theme, no hand-over to the upgrade tool, the window stays.
    QCOMPARE(ThemeStyle::instance()->currentTheme, QStringLiteral("light"));
    QVERIFY(!QFile::exists(appFile(QStringLiteral("brimvale.ini"))));
    QVERIFY(!QFile::exists(appFile(HomeUpgradeDlg::upgradeIniName())));
    QVERIFY(home.isVisible());

    // What the window sends meanwhile waits; the other site gets none of it.
    home.sendWebMsg(QStringLiteral("SetQtEnv"), QStringLiteral("{\"while\":\"away\"}"));
    QVERIFY(!home.isPageReady());
    QTest::qWait(300);
    QCOMPARE(evalJs(page, QStringLiteral("window.got")).toInt(), 0);

    // Back on the service, the page says "LoadFinished" and gets the queue.
    QVERIFY(home.webView()->history()->canGoBack());
    home.webView()->back();
    QTRY_VERIFY_WITH_TIMEOUT(home.isPageReady(), 20000);
    QVERIFY(WebEnginePage::originOf(page->url()) == QString::fromUtf8(BuildInfo::baseUrl));
    QTRY_VERIFY_WITH_TIMEOUT(
        home.received(QStringLiteral("SetQtEnv")).contains(QStringLiteral("{\"while\":\"away\"}")),
        10000);
    // Nothing the other site sent on its way out arrived either.
    QTest::qWait(500);
    const int droppedLines = log.messages().filter(dropped).size();
    QCOMPARE(droppedLines > 0, bridgeCheckAlone);
    QCOMPARE(ThemeStyle::instance()->currentTheme, QStringLiteral("light"));
    QVERIFY(!QFile::exists(appFile(QStringLiteral("brimvale.ini"))));
    QVERIFY(urls.count() >= 2);
}

void TestHome::demoLinksToAnotherSite()
{
    LogCapture log;
    Home home;
    QVERIFY(home.waitShown());
    QWebEnginePage *page = home.webView()->page();
    evalJs(page, QStringLiteral("document.getElementById('foreign-link').click(); 1"));
    QTRY_COMPARE_WITH_TIMEOUT(WebEnginePage::originOf(page->url()),
                              QStringLiteral("brimvale-demo://elsewhere"), 20000);
    // The page tells the person what happened: it was offered no bridge.
    QTRY_VERIFY_WITH_TIMEOUT(evalJs(page, QStringLiteral("document.getElementById('status')"
                                                         ".textContent"))
                                 .toString()
                                 .contains(QLatin1String("no bridge")),
                             20000);
    QCOMPARE(ThemeStyle::instance()->currentTheme, QStringLiteral("light"));
    QVERIFY(!QFile::exists(appFile(QStringLiteral("brimvale.ini"))));
    QVERIFY(!home.isPageReady());
}

void TestHome::themeAndLangNamesAreChecked()
{
    Home home;
    LogCapture log;
    ThemeStyle *theme = ThemeStyle::instance();
    const QString dataDir = PathUtil::appDataDir();
    const QStringList skinsBefore = QDir(dataDir + QStringLiteral("skin")).entryList();
    const QString escape = dataDir + QStringLiteral("skin/../../../brv-escaped");
    const QStringList names{QStringLiteral("../../../brv-escaped"), QStringLiteral("sepia"),
                            QStringLiteral("dark/../../x"), QString(4 << 20, QLatin1Char('a'))};
    for (const QString &name : names) {
        home.send(QStringLiteral("ChangeTheme"),
                  JsonUtil::toCompactString(QJsonObject{{QStringLiteral("theme"), name}}));
        home.send(QStringLiteral("ChangeLang"),
                  JsonUtil::toCompactString(QJsonObject{{QStringLiteral("lang"), name}}));
    }
    home.send(QStringLiteral("ChangeLang"), QStringLiteral("{}"));
    QCOMPARE(theme->currentTheme, QStringLiteral("light"));
    QVERIFY(!QFile::exists(appFile(QStringLiteral("brimvale.ini"))));
    QCOMPARE(AppSettings::value(AppSettingsKey::currentLang).toString(), QStringLiteral("en"));
    QVERIFY(!QFileInfo::exists(escape));
    QCOMPARE(QDir(dataDir + QStringLiteral("skin")).entryList(), skinsBefore);
    QCOMPARE(qApp->styleSheet(), QString());
    // Each refusal is one short line: the long name is not copied into the log.
    QCOMPARE(log.messages().filter(QStringLiteral("unknown theme, ignored")).size(), names.size());
    QCOMPARE(log.messages().filter(QStringLiteral("unknown language, ignored")).size(),
             names.size() + 1);
    for (const QString &line : log.messages()) {
        QVERIFY(line.size() < 1000);
    }

    // A stored name the client does not have falls back to the default at the next start.
    AppSettings::setIniValue(AppSettingsKey::currTheme, QStringLiteral("../../../brv-escaped"));
    AppSettings::setValue(AppSettingsKey::currentLang, QStringLiteral("../de"));
    ThemeStyle::release();
    ThemeStyle *restarted = ThemeStyle::instance();
    QCOMPARE(restarted->currentTheme, QStringLiteral("light"));
    restarted->generateSkinImages();
    QVERIFY(restarted->skinDir().endsWith(QStringLiteral("/skin/light/")));
    QVERIFY(!QFileInfo::exists(escape));
    QCOMPARE(LangUtil::currentLang(), LangUtil::langFromLocale(QLocale().name()));
    QVERIFY(!LangUtil::trCommon(QStringLiteral("ok")).isEmpty());
}

void TestHome::deviceTestOpensAndJoinsTheClass()
{
    auto home = std::make_unique<Home>();
    QVERIFY(home->waitShown());
    GlobalSignal *bus = GlobalSignal::Instance();
    QVERIFY(bus->hasListener(QStringLiteral("Signal_OpenLive")));
    QVERIFY(bus->hasListener(QStringLiteral("Signal_CloseLive")));
    LogCapture log;

    // "DeviceTest": over the home window, masking it, without a class to join.
    home->send(QStringLiteral("DeviceTest"));
    QPointer<DeviceTestDlg> test = home->deviceTest();
    QVERIFY(test);
    QTRY_VERIFY(test->isVisible());
    QCOMPARE(test->anchorWidget(), home.get());
    QVERIFY(test->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(test->liveId().isEmpty());
    auto *enter = test->findChild<QPushButton *>(QStringLiteral("pbEnterRoom"));
    QVERIFY(enter && !enter->isVisible());
    QTRY_VERIFY(test->mask() && test->mask()->isVisible());

    // A teacher gets the device test first, the open one.
    home->send(QStringLiteral("OpenLive"), str(R"({"liveId":"live-2","userType":"Teacher"})"));
    QCOMPARE(home->deviceTest(), test.data());
    QCOMPARE(test->liveId(), QStringLiteral("live-2"));
    QVERIFY(enter->isVisible());

    // Joining closes the test; the home window makes the class's window and steps aside.
    const auto liveWindows = [] {
        QList<LiveDlg *> found;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *live = qobject_cast<LiveDlg *>(widget)) {
                found << live;
            }
        }
        return found;
    };
    QTest::mouseClick(enter, Qt::LeftButton);
    QTRY_VERIFY(!test);
    QTRY_COMPARE(liveWindows().size(), 1);
    QPointer<LiveDlg> live = liveWindows().first();
    QCOMPARE(live->getLiveId(), QStringLiteral("live-2"));
    QVERIFY(!home->isVisible());
    QTRY_VERIFY(live->isVisible());

    // One class at a time: another request brings the open one forward.
    bus->notify(QStringLiteral("Signal_OpenLive"), QStringLiteral("live-3"));
    QTRY_COMPARE(log.messages().filter(QStringLiteral("HomeDlg::slotOpenLive")).size(), 2);
    QCOMPARE(liveWindows().size(), 1);
    QCOMPARE(live->getLiveId(), QStringLiteral("live-2"));

    // Closing the class deletes its window and brings the home window back.
    bus->notify(QStringLiteral("Signal_CloseLive"), QStringLiteral("{}"));
    QTRY_VERIFY(!live);
    QTRY_VERIFY(home->isVisible());

    // A student goes straight to the class.
    home->send(QStringLiteral("OpenLive"), str(R"({"liveId":"live-1","userType":"student"})"));
    QTRY_COMPARE(liveWindows().size(), 1);
    live = liveWindows().first();
    QCOMPARE(live->getLiveId(), QStringLiteral("live-1"));
    QVERIFY(!home->deviceTest());
    const QStringList opened = log.messages().filter(QRegularExpression("^HomeDlg::slotOpenLive"));
    QCOMPARE(opened.size(), 3);
    QVERIFY(opened.at(0).contains(QLatin1String("live-2")));
    QVERIFY(opened.at(1).contains(QLatin1String("live-3")));
    QVERIFY(opened.at(2).contains(QLatin1String("live-1")));
    bus->notify(QStringLiteral("Signal_CloseLive"), QStringLiteral("{}"));
    QTRY_VERIFY(!live);
    QTRY_VERIFY(home->isVisible());

    // A destroyed window takes its registrations and its open device test with it.
    home->send(QStringLiteral("DeviceTest"));
    QPointer<DeviceTestDlg> again = home->deviceTest();
    QVERIFY(again && again != test);
    home.reset();
    QVERIFY(!again);
    QVERIFY(!bus->hasListener(QStringLiteral("Signal_OpenLive")));
    QVERIFY(!bus->hasListener(QStringLiteral("Signal_CloseLive")));
    bus->notify(QStringLiteral("Signal_OpenLive"), QStringLiteral("live-4"));
    QTest::qWait(100);
    QVERIFY(!log.contains(QStringLiteral("live-4")));
}

void TestHome::closingLiveBringsHomeBack()
{
    Home home;
    QVERIFY(home.waitShown());
    home.hide();
    GlobalSignal::Instance()->notify(
        QStringLiteral("Signal_CloseLive"),
        QJsonObject{{QStringLiteral("closeMsg"), QStringLiteral("课堂已结束")},
                    {QStringLiteral("subDlgId"), QStringLiteral("sub-1")}});
    QTRY_VERIFY(home.isVisible());
    QCOMPARE(BoxCloser::instance()->texts, QStringList{"info:课堂已结束"});

    // Without a message there is no box.
    home.hide();
    GlobalSignal::Instance()->notify(QStringLiteral("Signal_CloseLive"), QStringLiteral("{}"));
    QTRY_VERIFY(home.isVisible());
    QTest::qWait(200);
    QCOMPARE(BoxCloser::instance()->texts.size(), 1);
}

void TestHome::secondStartBringsHomeForward()
{
    Home home;
    QVERIFY(home.waitShown());
    home.showMinimized();
    QVERIFY(home.isMinimized());
    home.slotSingleApplicationMessage(QStringLiteral("ignored"));
    QTRY_VERIFY(!home.isMinimized());
    QVERIFY(home.isVisible() && !home.isMaximized());

    AppSettings::setValue(AppSettingsKey::homeMaxWindow, 1);
    home.showMinimized();
    home.slotSingleApplicationMessage(QString());
    QTRY_VERIFY(home.isMaximized() && !home.isMinimized());

    // Visible behind another window: on top of everything for a moment, then as before.
    home.showNormal();
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other)) {
        QSKIP("this display does not activate windows");
    }
    home.slotSingleApplicationMessage(QString());
    QVERIFY(home.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(home.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!(home.windowFlags() & Qt::WindowStaysOnTopHint), 3000);
    QVERIFY(home.isVisible());
}

void TestHome::closeWithoutAutoReportQuits()
{
    storeUser(0);
    Home home;
    QVERIFY(home.waitShown());
    home.send(QStringLiteral("ExitApp"));
    QCOMPARE(home.closes, QList<bool>{true});
    QVERIFY(!home.isVisible());
    QVERIFY(!home.isLogPackaging() && !home.isExitUploadInProgress());
    QVERIFY(takeQuitRequest());
}

void TestHome::exitUploadRetriesThenGivesUp()
{
    storeUser(1);
    Home home;
    QVERIFY(home.waitShown());
    LogCapture log;
    QVERIFY(!home.close());
    QVERIFY(!home.isVisible());
    QVERIFY(home.isExitUploadInProgress());
    QTimer *deadline = home.deadline();
    QVERIFY(deadline != nullptr && deadline->isActive() && deadline->isSingleShot());
    // Asking again while the logs go out changes nothing.
    QVERIFY(!home.close());
    QCOMPARE(home.closes, (QList<bool>{false, false}));

    const QString failure = str(R"({"success":false})");
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QTRY_COMPARE_WITH_TIMEOUT(home.uploads().size(), attempt, 20000);
        QCOMPARE(home.uploads().last()[QLatin1String("showTip")], QJsonValue(false));
        QVERIFY(!takeQuitRequest());
        home.send(QStringLiteral("ClientLogUploadFinished"), failure);
        if (attempt < 3) {
            QVERIFY(log.messages().contains(
                QStringLiteral("日志上报失败，开始第 %1 次重试").arg(attempt)));
            QVERIFY(home.isExitUploadInProgress());
            QCOMPARE(home.closes.size(), 2);
        }
    }
    QVERIFY(log.messages().contains(QStringLiteral("日志上报重试耗尽，放弃上报并退出")));
    QCOMPARE(home.closes.last(), true);
    QVERIFY(!deadline->isActive());
    QVERIFY(!home.isExitUploadInProgress());
    QVERIFY(takeQuitRequest());

    // Once per run: a later close goes at once.
    home.show();
    QVERIFY(home.close());
    QVERIFY(!home.isLogPackaging());
    QVERIFY(takeQuitRequest());
}

void TestHome::exitUploadSuccessCloses_data()
{
    QTest::addColumn<QString>("param");
    QTest::newRow("success") << R"({"success":true})";
    QTest::newRow("success missing") << "";
}

void TestHome::exitUploadSuccessCloses()
{
    QFETCH(QString, param);
    storeUser(1);
    Home home;
    QVERIFY(home.waitShown());
    QVERIFY(!home.close());
    QTRY_COMPARE_WITH_TIMEOUT(home.uploads().size(), 1, 20000);
    LogCapture log;
    home.send(QStringLiteral("ClientLogUploadFinished"), param);
    QCOMPARE(home.closes, (QList<bool>{false, true}));
    QVERIFY(!home.deadline()->isActive());
    QVERIFY(log.messages().filter(QStringLiteral("日志上报")).isEmpty());
    QVERIFY(takeQuitRequest());
}

void TestHome::exitUploadDeadline()
{
    storeUser(1);
    Home home;
    QVERIFY(home.waitShown());
    LogCapture log;
    // Outside an exit upload, the upload answers and the deadline do nothing.
    home.send(QStringLiteral("ClientLogUploadFinished"), str(R"({"success":false})"));
    home.send(QStringLiteral("ClientLogUploadFinished"), str(R"({"success":true})"));
    QVERIFY(QMetaObject::invokeMethod(&home, "slotUploadExitTimeout"));
    QVERIFY(home.isVisible() && home.closes.isEmpty() && !home.isLogPackaging());
    QVERIFY(log.messages().filter(QStringLiteral("日志上报")).isEmpty());
    QVERIFY(!takeQuitRequest());

    QVERIFY(!home.close());
    QVERIFY(QMetaObject::invokeMethod(&home, "slotUploadExitTimeout"));
    QVERIFY(log.messages().contains(QStringLiteral("日志上报等待总期限已到，放弃上报并退出")));
    QCOMPARE(home.closes, (QList<bool>{false, true}));
    QVERIFY(takeQuitRequest());
    // The page's late answer no longer matters.
    home.send(QStringLiteral("ClientLogUploadFinished"), str(R"({"success":false})"));
    QCOMPARE(home.closes.size(), 2);
    QVERIFY(log.messages().filter(QStringLiteral("重试")).isEmpty());
}

void TestHome::upgradeRunsCopyOfTool()
{
    QCOMPARE(HomeUpgradeDlg::upgradeToolName(), QStringLiteral("upgradeTool"));
    QCOMPARE(HomeUpgradeDlg::upgradeToolCopyName(), QStringLiteral("upgradeTool2"));
    const QString tool = appFile(HomeUpgradeDlg::upgradeToolName());
    const QString copy = appFile(HomeUpgradeDlg::upgradeToolCopyName());
    QTemporaryDir out;
    const QString marker = out.filePath(QStringLiteral("started"));
    writeTool(tool, marker);
    const QString iniPath = appFile(HomeUpgradeDlg::upgradeIniName());
    {
        // What the tool keeps in the file for itself.
        QSettings before(iniPath, QSettings::IniFormat);
        before.setValue(QStringLiteral("upgrade/lastResult"), QStringLiteral("ok"));
        before.setValue(QStringLiteral("upgrade/versionNo"), 1);
        before.setValue(QStringLiteral("tool/logLevel"), 3);
    }
    {
        Home home;
        QVERIFY(home.waitShown());
        home.send(QStringLiteral("UpgradeNow"),
                  str(R"({"version":"4.0.22","versionNo":2026120901,"forceUpgrade":1})"));
        QCOMPARE(home.closes, QList<bool>{true});
        QVERIFY(!home.isVisible());
        QVERIFY(takeQuitRequest());
    }
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("upgrade"));
    QMap<QString, QString> written;
    for (const QString &key : ini.childKeys()) {
        written.insert(key, ini.value(key).toString());
    }
    ini.endGroup();
    const QMap<QString, QString> expected{{"currVersionNo", "2026100201"},
                                          {"appCode", ""},
                                          {"version", "4.0.22"},
                                          {"versionNo", "2026120901"},
                                          {"limitUpgradeVersionNo", "0"},
                                          {"upgradeUrl", ""},
                                          {"fullVersionUrl", ""},
                                          {"forceUpgrade", "1"},
                                          {"lastResult", "ok"}};
    QCOMPARE(written, expected);
    QCOMPARE(ini.value(QStringLiteral("tool/logLevel")).toInt(), 3);

    // The copy ran, without arguments, in the application directory; the tool stays as it was.
    QTRY_COMPARE_WITH_TIMEOUT(markerLines(marker).size(), 3, 10000);
    const QStringList started = markerLines(marker);
    QCOMPARE(canonical(started.at(0)), canonical(copy));
    QCOMPARE(canonical(started.at(1)), canonical(QCoreApplication::applicationDirPath()));
    QCOMPARE(started.at(2), QStringLiteral("0"));
    QVERIFY(QFileInfo(copy).isExecutable());
    QVERIFY(QFile::exists(tool));

    // The next start removes the copy.
    HomeUpgradeDlg next;
    QVERIFY(!QFile::exists(copy));
    QVERIFY(QFile::exists(tool));
}

void TestHome::upgradeWithoutTool()
{
    Home home;
    QVERIFY(home.waitShown());
    home.send(QStringLiteral("UpgradeNow"),
              str(R"({"appCode":"brimvale","versionNo":"2026120901","upgradeUrl":7,
                      "fullVersionUrl":"https://d.invalid/f.zip","limitUpgradeVersionNo":9})"));
    QCOMPARE(home.closes, QList<bool>{true});
    QVERIFY(takeQuitRequest());
    QVERIFY(!QFile::exists(appFile(HomeUpgradeDlg::upgradeToolCopyName())));
    QSettings ini(appFile(HomeUpgradeDlg::upgradeIniName()), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("upgrade/appCode")).toString(), QStringLiteral("brimvale"));
    QCOMPARE(ini.value(QStringLiteral("upgrade/versionNo")).toString(), QStringLiteral("0"));
    QCOMPARE(ini.value(QStringLiteral("upgrade/upgradeUrl")).toString(), QString());
    QCOMPARE(ini.value(QStringLiteral("upgrade/fullVersionUrl")).toString(),
             QStringLiteral("https://d.invalid/f.zip"));
    QCOMPARE(ini.value(QStringLiteral("upgrade/limitUpgradeVersionNo")).toInt(), 9);
}

void TestHome::upgradeWithStuckCopyUsesTool()
{
    // A directory in the copy's place can be removed neither at start nor before copying.
    const QString tool = appFile(HomeUpgradeDlg::upgradeToolName());
    const QString copy = appFile(HomeUpgradeDlg::upgradeToolCopyName());
    QVERIFY(QDir().mkpath(copy + QStringLiteral("/inside")));
    QTemporaryDir out;
    const QString marker = out.filePath(QStringLiteral("started"));
    writeTool(tool, marker);
    LogCapture log;
    Home home;
    const QStringList stuck =
        log.messages().filter(QStringLiteral("清理升级工具替身失败，下次启动重试:"));
    QCOMPARE(stuck.size(), 1);
    QVERIFY(stuck.at(0).contains(copy));
    QVERIFY(home.waitShown());

    home.send(QStringLiteral("UpgradeNow"), QStringLiteral("{}"));
    QVERIFY(
        log.messages().contains(QStringLiteral("复制升级工具替身失败，使用原升级工具继续更新")));
    QCOMPARE(home.closes, QList<bool>{true});
    QVERIFY(takeQuitRequest());
    QTRY_COMPARE_WITH_TIMEOUT(markerLines(marker).size(), 3, 10000);
    QCOMPARE(canonical(markerLines(marker).at(0)), canonical(tool));
}

// The suite writes "brimvale.ini", "upgradeTool.ini" and a stand-in upgrade tool beside the
// executable, so it runs from a copy in a folder of its own and never beside the build output.
static int runFromOwnFolder(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("tst_home"));
    if (!dir.isValid() || !QFile::copy(QCoreApplication::applicationFilePath(), exe) ||
        !QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        qCritical("tst_home: cannot copy the suite to a folder of its own");
        return 1;
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(appDirVariable), canonical(dir.path()));
    child.setProcessEnvironment(env);
    child.start(exe, QCoreApplication::arguments().mid(1));
    if (!child.waitForStarted(30000) || !child.waitForFinished(-1)) {
        return 1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

int main(int argc, char **argv)
{
    const auto scratch = ensureScratchFolders();
    if (qEnvironmentVariableIsEmpty(appDirVariable)) {
        return runFromOwnFolder(argc, argv);
    }
    return runWebTest<TestHome>(argc, argv);
}

#include "tst_home.moc"
