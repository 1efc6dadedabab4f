// The web host and the bridge in the real web engine: pages of the demo service speak the
// protocol as the service's pages do.
#include "BoxCloser.h"
#include "DemoService.h"
#include "JsBridge.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "LocalHttpServer.h"
#include "LogCapture.h"
#include "PageParam.h"
#include "PageScript.h"
#include "PathUtil.h"
#include "UrlSink.h"
#include "WebEnginePage.h"
#include "WebEngineView.h"
#include "WebTestMain.h"
#include "XDialog.h"
#include "XMessageBox.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineProfile>
#include <QtTest>

namespace {

const QString base = QString::fromUtf8(BuildInfo::baseUrl);

// Records every message the window's own layer sees, then hands it down the chain.
class ProbeDialog : public XDialog
{
public:
    QStringList seen;
    void slotWebMsg(const QString &funcName, const QString &param) override
    {
        seen << funcName + QLatin1Char('|') + param;
        XDialog::slotWebMsg(funcName, param);
    }
};

// The messages a demo page has received, as "func|param" lines.
QStringList received(QWebEnginePage *page)
{
    const QVariant value =
        evalJs(page, QStringLiteral("window.brvDemo ? window.brvDemo.received.map(function (m) { "
                                    "return m.func + '|' + m.param; }) : []"));
    return value.toStringList();
}

QString opensslEncrypt(const QByteArray &plain)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("enc"), QStringLiteral("-aes-256-ecb"), QStringLiteral("-K"),
                   QString::fromLatin1(QByteArray(PageParam::defaultKey).toHex()),
                   QStringLiteral("-nosalt"), QStringLiteral("-base64"), QStringLiteral("-A")});
    if (!openssl.waitForStarted(5000)) {
        return QString();
    }
    openssl.write(plain);
    openssl.closeWriteChannel();
    openssl.waitForFinished(10000);
    return QString::fromLatin1(openssl.readAllStandardOutput().trimmed());
}

// Answers every request over TLS with a fixed page, under a certificate nobody trusts.
class SelfSignedServer : public QTcpServer
{
public:
    QSslCertificate certificate;
    QSslKey key;
    QByteArray page;
    int requests = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        connect(socket, &QSslSocket::readyRead, socket, [this, socket]() {
            if (!socket->readAll().contains("\r\n\r\n")) {
                return;
            }
            ++requests;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                          QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
            socket->disconnectFromHost();
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->startServerEncryption();
    }
};

// A window of the demo service's live page, shown and ready.
void openReady(ProbeDialog &window)
{
    window.resize(640, 480);
    window.show();
    window.loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
    window.placeWebView(window.webView());
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
}

} // namespace

class TestWebBridge : public QObject
{
    Q_OBJECT

private slots:
    void parameterMatchesOpenssl_data();
    void parameterMatchesOpenssl();
    void parameterEncoding();
    void pageUrls();
    void origins();
    void demoServiceServesOnlyItsFiles();
    void chromiumVersion();
    void viewAndProfile();
    void queuedMessagesAfterLoadFinished();
    void pageMessagesReachEveryLayer();
    void pageDecodesItsParameter();
    void unknownPathIsNotFound();
    void certificateErrorsAreRefused();
    void foreignFramesCannotCallTheBridge();
    void newWindowsGoToTheBrowser();
};

void TestWebBridge::parameterMatchesOpenssl_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::newRow("one byte") << QByteArray("a");
    QTest::newRow("exact block: a full block of padding") << QByteArray("0123456789abcdef");
    QTest::newRow("two blocks less one") << QByteArray("0123456789abcdef0123456789abcde");
    QTest::newRow("utf-8 json")
        << QStringLiteral("{\"name\":\"张老师\",\"os\":\"Linux64\",\"borderRadius\":0}").toUtf8();
}

void TestWebBridge::parameterMatchesOpenssl()
{
    QFETCH(QByteArray, plain);
    const QString expected = opensslEncrypt(plain);
    if (expected.isEmpty()) {
        QSKIP("the openssl command is not available");
    }
    const QByteArray cipher = PageParam::encrypt(plain);
    QCOMPARE(QString::fromLatin1(cipher.toBase64()), expected);
    QCOMPARE(cipher.size(), (plain.size() / 16 + 1) * 16);
    QCOMPARE(PageParam::decrypt(cipher), plain);
}

void TestWebBridge::parameterEncoding()
{
    QVERIFY(PageParam::encrypt(QByteArray()).isEmpty());
    // Only a 32-byte key is a key; anything else gives no cipher text at all.
    QVERIFY(PageParam::encrypt("text", QStringLiteral("short")).isEmpty());
    QVERIFY(PageParam::encrypt("text", QString(33, QLatin1Char('k'))).isEmpty());
    const QString otherKey(32, QLatin1Char('k'));
    QVERIFY(PageParam::encrypt("text", otherKey) != PageParam::encrypt("text"));
    QCOMPARE(PageParam::decrypt(PageParam::encrypt("text", otherKey), otherKey),
             QByteArray("text"));
    // A wrong key fails on the padding instead of giving garbage.
    QVERIFY(PageParam::decrypt(PageParam::encrypt("some longer text", otherKey)).isEmpty());

    QCOMPARE(PageParam::percentEncode(QStringLiteral("a+b/c=d-e.f_g~h")),
             QStringLiteral("a%2Bb%2Fc%3Dd-e.f_g~h"));

    // Find an object whose Base64 holds all three special characters.
    QJsonObject param;
    QString encoded;
    for (int i = 0; i < 500; ++i) {
        param = QJsonObject{{QStringLiteral("n"), i}, {QStringLiteral("empty"), QString()}};
        const QString base64 = QString::fromLatin1(
            PageParam::encrypt(JsonUtil::toCompactString(param).toUtf8()).toBase64());
        if (base64.contains(QLatin1Char('+')) && base64.contains(QLatin1Char('/'))) {
            encoded = PageParam::encode(param);
            break;
        }
    }
    QVERIFY(!encoded.isEmpty());
    QVERIFY(!encoded.contains(QLatin1Char('+')));
    QVERIFY(!encoded.contains(QLatin1Char('/')));
    QVERIFY(!encoded.contains(QLatin1Char('=')));
    QVERIFY(encoded.contains(QLatin1String("%2B")) && encoded.contains(QLatin1String("%2F")));
    const QJsonObject decoded = PageParam::decode(encoded);
    QCOMPARE(decoded.value(QStringLiteral("n")).toInt(), param.value(QStringLiteral("n")).toInt());
    // The cleaning serialiser drops empty strings before encryption.
    QVERIFY(!decoded.contains(QStringLiteral("empty")));
    QVERIFY(PageParam::decode(QStringLiteral("%%%not-base64")).isEmpty());
    QVERIFY(PageParam::decode(QString()).isEmpty());
}

void TestWebBridge::pageUrls()
{
    const QString b = QStringLiteral("https://edu.example");
    QCOMPARE(PageParam::routeUrl(b, QStringLiteral("/qt/start/index")),
             QStringLiteral("https://edu.example/#/src/pages/qt/start/index"));
    QCOMPARE(PageParam::routeUrl(b, QStringLiteral("qt/live/index")),
             QStringLiteral("https://edu.example/#/src/pages/qt/live/index"));
    QCOMPARE(PageParam::routeUrl(b, QStringLiteral("/#/src/pages/qt/live/overlay/index")),
             QStringLiteral("https://edu.example/#/src/pages/qt/live/overlay/index"));

    const QString value = QStringLiteral("ab%2Bcd%2F%3D");
    QCOMPARE(
        PageParam::withParam(QStringLiteral("https://edu.example/#/src/pages/qt/live/index"), value)
            .toString(QUrl::FullyEncoded),
        QStringLiteral("https://edu.example/#/src/pages/qt/live/index?param=") + value);
    QCOMPARE(PageParam::withParam(QStringLiteral("https://edu.example/#/a?b=1"), value)
                 .toString(QUrl::FullyEncoded),
             QStringLiteral("https://edu.example/#/a?b=1&param=") + value);
    // A "?" before the fragment does not count: the parameter belongs to the router's part.
    QCOMPARE(PageParam::withParam(QStringLiteral("https://edu.example/?x=1#/a"), value)
                 .toString(QUrl::FullyEncoded),
             QStringLiteral("https://edu.example/?x=1#/a?param=") + value);
    const QUrl plain = PageParam::withParam(QStringLiteral("https://edu.example/page"), value);
    QCOMPARE(plain.path(), QStringLiteral("/page"));
    QCOMPARE(QUrlQuery(plain).queryItemValue(QStringLiteral("param"), QUrl::FullyEncoded), value);
}

void TestWebBridge::origins()
{
    const QList<QPair<QString, QString>> origins{
        {"HTTPS://Edu.Example:443/a?b#c", "https://edu.example"},
        {"http://edu.example:80/", "http://edu.example"},
        {"http://127.0.0.1:8080/x", "http://127.0.0.1:8080"},
        {"http://[::1]:8080/x", "http://[::1]:8080"},
        {"https://bücher.example/", "https://xn--bcher-kva.example"},
        {"https://user:pw@edu.example/", "https://edu.example"},
        {base + "/#/src/pages/qt/start/index?param=x", base},
        {"data:text/html,<p>x</p>", ""},
        {"about:blank", ""},
        {"file:///etc/passwd", ""}};
    for (const auto &origin : origins) {
        QCOMPARE(WebEnginePage::originOf(QUrl(origin.first)), origin.second);
    }
    // A page without a service origin is never the service's.
    WebEnginePage page;
    QVERIFY(!page.isServicePage());
    page.setServiceUrl(QUrl(QStringLiteral("data:text/html,x")));
    QVERIFY(page.serviceOrigin().isEmpty());
    QVERIFY(!page.isServicePage());
}

void TestWebBridge::demoServiceServesOnlyItsFiles()
{
    auto url = [](const QString &text) {
        return QUrl(text);
    };
    QCOMPARE(DemoService::resourceFor(url(base + QStringLiteral("/"))),
             QStringLiteral(":/demo/index.html"));
    QCOMPARE(DemoService::resourceFor(url(base)), QStringLiteral(":/demo/index.html"));
    QCOMPARE(DemoService::resourceFor(url(base + QStringLiteral("/app.js"))),
             QStringLiteral(":/demo/app.js"));
    QCOMPARE(DemoService::resourceFor(url(base + QStringLiteral("/qwebchannel.js"))),
             QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QCOMPARE(DemoService::resourceFor(url(base + QStringLiteral("/theme/dark.js"))),
             QStringLiteral(":/res/theme/dark.json"));
    const QStringList refused{
        base + QStringLiteral("/missing.html"),
        base + QStringLiteral("/theme/none.js"),
        base + QStringLiteral("/theme/dark.json"),
        base + QStringLiteral("/theme/../lang/en.json"),
        base + QStringLiteral("/%2e%2e/%2e%2e/etc/passwd"),
        base + QStringLiteral("/..%2f..%2fetc%2fpasswd"),
        base + QStringLiteral("//etc/passwd"),
        base + QStringLiteral("/../res/theme/dark.json"),
        QStringLiteral("brimvale-demo://elsewhere/index.html"),
        QStringLiteral("file:///etc/passwd"),
        QStringLiteral("qrc:/demo/index.html"),
    };
    for (const QString &text : refused) {
        QVERIFY2(DemoService::resourceFor(url(text)).isEmpty(), qPrintable(text));
    }
    QVERIFY(DemoService::isActive(QStringLiteral("brimvale-demo://service")));
    QVERIFY(!DemoService::isActive(QStringLiteral("https://edu.example")));
    QCOMPARE(DemoService::mimeTypeFor(QStringLiteral(":/demo/index.html")),
             QByteArray("text/html"));
    QCOMPARE(DemoService::mimeTypeFor(QStringLiteral(":/demo/app.js")),
             QByteArray("text/javascript"));
}

void TestWebBridge::chromiumVersion()
{
    QCOMPARE(chromiumVersionOf(QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 "
                                              "(KHTML, like Gecko) QtWebEngine/5.15.13 "
                                              "Chrome/87.0.4280.144 Safari/537.36")),
             QStringLiteral("87.0.4280.144"));
    QCOMPARE(chromiumVersionOf(QStringLiteral("Mozilla/5.0 Gecko/20100101 Firefox/115.0")),
             QString());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.[\\d.]+$"))
                .match(::chromiumVersion())
                .hasMatch());
}

void TestWebBridge::viewAndProfile()
{
    QCOMPARE(WebEngineView::downloadName(QString(), QUrl(QStringLiteral("https://e.x/dir/"))),
             QStringLiteral("video.mp4"));
    QCOMPARE(WebEngineView::downloadName(QString(), QUrl(QStringLiteral("https://e.x/a/b.pdf"))),
             QStringLiteral("b.pdf"));
    QCOMPARE(WebEngineView::downloadName(QStringLiteral("notes.txt"),
                                         QUrl(QStringLiteral("https://e.x/a/b.pdf"))),
             QStringLiteral("notes.txt"));
    // Names come from the page: they never pick the folder.
    const QUrl plain(QStringLiteral("https://e.x/a/b.pdf"));
    QCOMPARE(WebEngineView::downloadName(QStringLiteral("../../.bashrc"), plain),
             QStringLiteral(".bashrc"));
    QCOMPARE(WebEngineView::downloadName(QStringLiteral("..\\..\\run.exe"), plain),
             QStringLiteral("run.exe"));
    QCOMPARE(WebEngineView::downloadName(QStringLiteral(".."), plain), QStringLiteral("b.pdf"));
    QCOMPARE(WebEngineView::downloadName(QString(),
                                         QUrl(QStringLiteral("https://e.x/a/..%2F..%2Fx.sh"))),
             QStringLiteral("x.sh"));
    QCOMPARE(WebEngineView::downloadName(QString(), QUrl(QStringLiteral("https://e.x/a/.."))),
             QStringLiteral("video.mp4"));

    LogCapture log;
    WebEngineView view;
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    QCOMPARE(profile->persistentStoragePath(),
             PathUtil::appDataDir() + QStringLiteral("webengine"));
    QCOMPARE(profile->persistentCookiesPolicy(), QWebEngineProfile::AllowPersistentCookies);
    QCOMPARE(profile->httpCacheType(), QWebEngineProfile::MemoryHttpCache);
    QCOMPARE(view.contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(qobject_cast<WebEnginePage *>(view.page()) != nullptr);

    QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
    view.setHtml(QStringLiteral("<html><body>console</body></html>"),
                 QUrl(QStringLiteral("https://console.test/")));
    QVERIFY(loaded.wait(20000));
    evalJs(view.page(), QStringLiteral("console.warn('warned-from-page'); 1"));
    QTRY_VERIFY(log.contains(QStringLiteral("warned-from-page")));
    bool found = false;
    for (const QString &line : log.messages()) {
        if (line.contains(QLatin1String("warned-from-page"))) {
            found = line.startsWith(QLatin1String("Level: WarningMessageLevel Line: 1 Source:"));
            QVERIFY2(found, qPrintable(line));
        }
    }
    QVERIFY(found);
}

void TestWebBridge::queuedMessagesAfterLoadFinished()
{
    ProbeDialog window;
    window.resize(800, 600);
    window.sendWebMsg(QStringLiteral("First"), QStringLiteral("one"));
    window.sendWebMsg(QStringLiteral("Second"),
                      QJsonObject{{QStringLiteral("a"), 1}, {QStringLiteral("gone"), QString()}});
    window.sendWebMsg(QStringLiteral("Third"), true);
    window.sendWebMsg(QStringLiteral("Fourth"), 4294967295u);
    QCOMPARE(window.pendingMessages().size(), 4);

    window.show();
    window.loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
    window.placeWebView(window.webView());
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
    const QStringList early{QStringLiteral("First|one"), QStringLiteral("Second|{\"a\":1}"),
                            QStringLiteral("Third|1"), QStringLiteral("Fourth|4294967295")};
    QTRY_COMPARE_WITH_TIMEOUT(received(window.webView()->page()), early, 10000);

    // Once the page is ready, messages go at once.
    window.sendWebMsg(QStringLiteral("Fifth"), false);
    QTRY_COMPARE_WITH_TIMEOUT(received(window.webView()->page()),
                              early + QStringList{QStringLiteral("Fifth|0")}, 10000);

    // A reloaded page that says "LoadFinished" again gets the early messages once more.
    QSignalSpy loaded(window.webView()->page(), &QWebEnginePage::loadFinished);
    window.webView()->reload();
    QVERIFY(loaded.wait(20000));
    QTRY_COMPARE_WITH_TIMEOUT(received(window.webView()->page()), early, 10000);
    QCOMPARE(window.seen.count(QStringLiteral("LoadFinished|")), 2);
}

void TestWebBridge::pageMessagesReachEveryLayer()
{
    ProbeDialog window;
    window.resize(640, 480);
    window.show();
    window.loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
    window.placeWebView(window.webView());
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
    QCOMPARE(window.seen.value(0), QStringLiteral("LoadFinished|"));

    QSignalSpy fromPage(window.bridge(), &JsBridge::signalWebMsg);
    evalJs(window.webView()->page(),
           QStringLiteral("brvDemo.send('Custom', {k: 'v'}); brvDemo.send('MAX', ''); 1"));
    QTRY_COMPARE(fromPage.count(), 2);
    QCOMPARE(fromPage.at(0).at(0).toString(), QStringLiteral("Custom"));
    QCOMPARE(fromPage.at(0).at(1).toString(), QStringLiteral("{\"k\":\"v\"}"));
    // The window's own layer, the frameless layer (case ignored) and the web layer all saw it.
    QVERIFY(window.seen.contains(QStringLiteral("Custom|{\"k\":\"v\"}")));
    QVERIFY(window.seen.contains(QStringLiteral("MAX|")));
    QTRY_VERIFY(window.isMaximized());
    QVERIFY(window.isPageReady());
}

void TestWebBridge::pageDecodesItsParameter()
{
    ProbeDialog window;
    window.resize(640, 480);
    window.show();
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    window.loadPage(QStringLiteral("qt/live/overlay/index"),
                    QJsonObject{{QStringLiteral("liveId"), QStringLiteral("直播-42")},
                                {QStringLiteral("os"), QStringLiteral("overwritten")},
                                {QStringLiteral("tenantId"), QStringLiteral("t-1")},
                                {QStringLiteral("blank"), QString()}});
    window.placeWebView(window.webView());
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);

    const QString url = window.webView()->url().toString(QUrl::FullyEncoded);
    const QString prefix = base + QStringLiteral("/#/src/pages/qt/live/overlay/index?param=");
    QVERIFY2(url.startsWith(prefix), qPrintable(url));
    const QString encoded = url.mid(prefix.size());
    QVERIFY(!encoded.contains(QLatin1Char('+')) && !encoded.contains(QLatin1Char('/')) &&
            !encoded.contains(QLatin1Char('=')));

    QWebEnginePage *page = window.webView()->page();
    QCOMPARE(evalJs(page, QStringLiteral("brvDemo.paramError")).toString(), QString());
    const QJsonObject decoded =
        QJsonDocument::fromJson(
            evalJs(page, QStringLiteral("JSON.stringify(brvDemo.param)")).toString().toUtf8())
            .object();
    QCOMPARE(decoded.value(QStringLiteral("liveId")).toString(), QStringLiteral("直播-42"));
    QCOMPARE(decoded.value(QStringLiteral("os")).toString(), QStringLiteral("Linux64"));
    QVERIFY(decoded.value(QStringLiteral("borderRadius")).isDouble());
    QVERIFY(decoded.value(QStringLiteral("timestamp")).isString());
    const qint64 stamp = decoded.value(QStringLiteral("timestamp")).toString().toLongLong();
    QVERIFY(stamp >= before && stamp <= QDateTime::currentMSecsSinceEpoch());
    QVERIFY(!decoded.contains(QStringLiteral("tenantId")));
    QVERIFY(!decoded.contains(QStringLiteral("blank")));
    // The page's own decoding agrees with ours.
    QCOMPARE(PageParam::decode(encoded), decoded);
}

void TestWebBridge::unknownPathIsNotFound()
{
    WebEngineView view;
    view.resize(400, 300);
    view.show();
    QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
    QSignalSpy failed(&view, &WebEngineView::signalLoadFailed);
    view.load(QUrl(base + QStringLiteral("/%2e%2e/%2e%2e/etc/passwd")));
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    QCOMPARE(failed.count(), 1);

    // From inside a served page, a fetch outside the served files fails too.
    loaded.clear();
    view.load(QUrl(base + QStringLiteral("/#/src/pages/qt/live/index")));
    QVERIFY(loaded.wait(20000));
    QVERIFY(loaded.at(0).at(0).toBool());
    // Scripts load the way the pages load theirs: a served one arrives, a missing one fails.
    evalJs(view.page(),
           QStringLiteral("window.__loads = {};"
                          "['/bridge.js', '/theme/dark.js', '/missing.js',"
                          " '/%2e%2e/etc/passwd'].forEach(function (src) {"
                          "  var s = document.createElement('script'); s.src = src;"
                          "  s.onload = function () { window.__loads[src] = 'ok'; };"
                          "  s.onerror = function () { window.__loads[src] = 'error'; };"
                          "  document.head.appendChild(s); }); 1"));
    QTRY_COMPARE(evalJs(view.page(), QStringLiteral("Object.keys(window.__loads).length")).toInt(),
                 4);
    const QJsonObject loads =
        QJsonDocument::fromJson(
            evalJs(view.page(), QStringLiteral("JSON.stringify(window.__loads)"))
                .toString()
                .toUtf8())
            .object();
    const QJsonObject expected{{QStringLiteral("/bridge.js"), QStringLiteral("ok")},
                               {QStringLiteral("/theme/dark.js"), QStringLiteral("ok")},
                               {QStringLiteral("/missing.js"), QStringLiteral("error")},
                               {QStringLiteral("/%2e%2e/etc/passwd"), QStringLiteral("error")}};
    QCOMPARE(loads, expected);
}

void TestWebBridge::certificateErrorsAreRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.setStandardOutputFile(QProcess::nullDevice());
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                   keyPath, QStringLiteral("-out"), certPath, QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-days"), QStringLiteral("1")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        QSKIP("the openssl command could not make a certificate");
    }
    QFile certFile(certPath);
    QFile keyFile(keyPath);
    QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));

    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QVERIFY(channelScript.open(QIODevice::ReadOnly));
    SelfSignedServer server;
    server.certificate = QSslCertificate(certFile.readAll());
    server.key = QSslKey(keyFile.readAll(), QSsl::Rsa);
    QVERIFY(!server.certificate.isNull() && !server.key.isNull());
    // A page that would drive the bridge the moment it runs.
    server.page = "<html><head><script>" + channelScript.readAll() +
                  "</script><script>new QWebChannel(qt.webChannelTransport, function (c) {"
                  "c.objects.bridge.slotWebMsg('LoadFinished', '');"
                  "c.objects.bridge.slotWebMsg('close', ''); });</script></head>"
                  "<body>attacker</body></html>";
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString url =
        QStringLiteral("https://127.0.0.1:%1/#/src/pages/qt/start/index").arg(server.serverPort());

    LogCapture log;
    BoxCloser &closer = *BoxCloser::instance();
    closer.texts.clear();
    ProbeDialog window;
    window.resize(640, 480);
    window.show();
    // The live page sends nothing after LoadFinished, unlike the home page's ImReady.
    window.loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
    QSignalSpy loaded(window.webView()->page(), &QWebEnginePage::loadFinished);
    QSignalSpy fromPage(window.bridge(), &JsBridge::signalWebMsg);
    // Wait for the demo page first, so that only the attacker's page is in question afterwards.
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
    fromPage.clear();
    loaded.clear();
    window.seen.clear();
    window.webView()->openUrl(url, QJsonObject{{QStringLiteral("k"), QStringLiteral("v")}});
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    QTRY_VERIFY(log.contains(QStringLiteral("WebEnginePage::certificateError")));
    bool named = false;
    for (const QString &line : log.messages()) {
        if (line.startsWith(QLatin1String("WebEnginePage::certificateError"))) {
            named = line.contains(QStringLiteral("https://127.0.0.1:%1/").arg(server.serverPort()));
        }
    }
    QVERIFY(named);
    // The user is told, with the network error text.
    QTRY_COMPARE(closer.texts, QStringList{QStringLiteral("error:") +
                                           LangUtil::trCommon(QStringLiteral("netError"))});
    // Nothing of the page ran: no request got an answer and nothing reached the bridge.
    QTest::qWait(500);
    QCOMPARE(fromPage.count(), 0);
    QVERIFY(window.seen.isEmpty());
    QVERIFY(window.isVisible());
}

void TestWebBridge::foreignFramesCannotCallTheBridge()
{
    LocalHttpServer server;
    // A frame of another site inside a service page, which tries the bridge and says how far
    // it got through a request of its own.
    server.pages.insert(
        "/frame", "<html><head><script>" + LocalHttpServer::channelScript() +
                      "</script><script>"
                      "function report(what) { new Image().src = '/report?' + what; }"
                      "var t = typeof qt !== 'undefined' && qt.webChannelTransport;"
                      "try { t = t || parent.qt.webChannelTransport; } catch (e) { t = t || null; }"
                      "if (!t) { report('none'); } else {"
                      " new QWebChannel(t, function (c) {"
                      "  c.objects.bridge.slotWebMsg('FromFrame', 'x');"
                      "  c.objects.bridge.slotWebMsg('close', '');"
                      "  report('sent'); }); }"
                      "</script></head><body>frame</body></html>");
    QVERIFY(server.start());
    auto reported = [&server]() {
        for (const QByteArray &request : qAsConst(server.requests)) {
            if (request.startsWith("/report?")) {
                return QString::fromLatin1(request.mid(8));
            }
        }
        return QString();
    };

    LogCapture log;
    ProbeDialog window;
    openReady(window);
    window.seen.clear();
    QWebEnginePage *page = window.webView()->page();
    evalJs(page, QStringLiteral("var f = document.createElement('iframe'); f.src = '%1';"
                                "document.body.appendChild(f); 1")
                     .arg(server.url(QStringLiteral("/frame"))));
    QTRY_VERIFY_WITH_TIMEOUT(!reported().isEmpty(), 20000);
    // The engine offers the transport to the main frame only, and the parent's is out of reach
    // of another origin; should a frame ever get one, its messages must still not arrive.
    QVERIFY2(reported() == QLatin1String("none") || reported() == QLatin1String("sent"),
             qPrintable(reported()));
    // The service page speaks after the frame did; once its message is in, the frame's would be.
    evalJs(page, QStringLiteral("brvDemo.send('AfterFrame', ''); 1"));
    QTRY_VERIFY(window.seen.contains(QStringLiteral("AfterFrame|")));
    QTest::qWait(300);
    QVERIFY2(!window.seen.contains(QStringLiteral("FromFrame|x")), qPrintable(reported()));
    QVERIFY(!window.seen.contains(QStringLiteral("close|")));
    QVERIFY(window.isVisible());
    if (reported() == QLatin1String("sent")) {
        QVERIFY(log.contains(QStringLiteral("JsBridge::slotWebMsg: dropped a message from another "
                                            "origin: %1 FromFrame")
                                 .arg(server.url(QString()))));
    }
}

void TestWebBridge::newWindowsGoToTheBrowser()
{
    // Every scheme involved goes to the sink, so nothing reaches the desktop even on a fault.
    UrlSink sink;
    for (const char *scheme : {"http", "https", "file", "brimvale-demo"}) {
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &sink, "open");
    }
    LogCapture log;
    ProbeDialog window;
    openReady(window);
    QWebEnginePage *page = window.webView()->page();
    const QUrl serviceUrl = page->url();

    LocalHttpServer server;
    QVERIFY(server.start());
    evalJs(page,
           QStringLiteral("window.open('%1'); 1").arg(server.url(QStringLiteral("/popup?x=1"))));
    QTRY_COMPARE_WITH_TIMEOUT(sink.urls.size(), 1, 10000);
    QCOMPARE(sink.urls.at(0), QUrl(server.url(QStringLiteral("/popup?x=1"))));
    // A link that asks for a new window takes the same way.
    evalJs(page, QStringLiteral("var a = document.createElement('a');"
                                "a.href = 'https://www.debian.org/doc/'; a.target = '_blank';"
                                "document.body.appendChild(a); a.click(); 1"));
    QTRY_COMPARE_WITH_TIMEOUT(sink.urls.size(), 2, 10000);
    QCOMPARE(sink.urls.at(1), QUrl(QStringLiteral("https://www.debian.org/doc/")));

    // Anything but a web address is refused and named in the log.
    evalJs(page, QStringLiteral("window.open('file:///etc/passwd');"
                                "window.open('%1/index.html'); 1")
                     .arg(base));
    QTRY_VERIFY_WITH_TIMEOUT(
        log.contains(QStringLiteral("WebEnginePage::createWindow: not a web address, ignored: ") +
                     base + QStringLiteral("/index.html")),
        10000);
    QTest::qWait(300);
    QCOMPARE(sink.urls.size(), 2);
    // No request reached the site: the browser opens it, not the client.
    QVERIFY(server.requests.isEmpty());
    QCOMPARE(page->url(), serviceUrl);
    for (const char *scheme : {"http", "https", "file", "brimvale-demo"}) {
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
}

int main(int argc, char **argv)
{
    return runWebTest<TestWebBridge>(argc, argv);
}

#include "tst_webbridge.moc"
