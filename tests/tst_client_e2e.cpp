// The real client executable, driven from outside as the service's page would drive it: the
// test reaches the page through the web engine's remote debugging port and reads what the
// client leaves on disk. The cases run in order and share three launches of one installation:
// a first run that signs in and leaves the page's "hold ImReady" switch behind, a held and
// maximised run that ends with the upgrade hand-over, and the run after the upgrade.
#include "ClientProcess.h"
#include "PageDriver.h"

#include "BuildInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QWebSocket>
#include <QtTest>

namespace {

const QByteArray started = "-------------------日志输出模块创建成功-------------------";
const QByteArray raised = "QtSingleApplication::messageReceived \"raiseWindow\"";
const QString holdKey = QStringLiteral("brv-demo-hold-imready");
// Only letters, digits and dashes, so that no escaping of the settings format could hide it.
const QString password = QStringLiteral("Pw-never-kept-7Qx93");

QByteArray runTool(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(20000);
    if (exitCode) {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return p.readAllStandardOutput();
}

bool haveWindowTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty();
}

// The X windows of a process that are mapped, with their _NET_WM_STATE line.
QMap<QString, QByteArray> mappedWindows(qint64 pid)
{
    QMap<QString, QByteArray> mapped;
    static const QRegularExpression idPattern(QStringLiteral("^\\s+(0x[0-9a-f]+)\\s"),
                                              QRegularExpression::MultilineOption);
    const QString tree = QString::fromUtf8(
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}));
    auto it = idPattern.globalMatch(tree);
    while (it.hasNext()) {
        const QString id = it.next().captured(1);
        const QByteArray props = runTool(QStringLiteral("xprop"),
                                         {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_PID"),
                                          QStringLiteral("_NET_WM_STATE")});
        if (!props.contains("_NET_WM_PID(CARDINAL) = " + QByteArray::number(pid) + '\n')) {
            continue;
        }
        const QByteArray info = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        if (info.contains("Map State: IsViewable")) {
            mapped.insert(id, props);
        }
    }
    return mapped;
}

// The [upgrade] section of the hand-over file as written, values untouched: its "key=value"
// lines, sorted.
QString upgradeSection(const QString &path)
{
    QStringList keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QStringLiteral("(no file)");
    }
    bool inSection = false;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1String("[upgrade]");
        } else if (inSection && !line.isEmpty()) {
            keys << line;
        }
    }
    keys.sort();
    return keys.join(QLatin1Char('\n'));
}

QJsonObject jsonOf(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

class TestClientEndToEnd : public QObject
{
    Q_OBJECT

    ClientInstall install{QStringLiteral("e2e")};
    QProcess client;
    PageDriver page;

    QString settingsPath() const
    {
        return install.configDir() + QStringLiteral("brimvale/settings.conf");
    }

    QString bin(const QString &name) const { return install.binDir() + QLatin1Char('/') + name; }

    // Starts the client with its debugging port and attaches to its home page.
    bool launch()
    {
        page.detach();
        const quint16 port = PageDriver::freePort();
        QProcessEnvironment env = install.environment();
        env.insert(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"),
                   QStringLiteral("127.0.0.1:%1").arg(port));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        client.setProgram(install.path());
        client.setArguments({});
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start();
        return client.waitForStarted(10000) && page.attach(port) && page.waitReady();
    }

    // Waits for the client to end by itself; 0 is a clean exit, -1 a crash or no exit.
    int exitCode(int timeoutMs = 30000)
    {
        if (client.state() != QProcess::NotRunning && !client.waitForFinished(timeoutMs)) {
            return -1;
        }
        return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }

    void stop()
    {
        page.detach();
        stopProcess(client);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("the client needs an X display; run through run-isolated.sh display");
        }
        QVERIFY(install.isValid());
        if (!haveWindowTools()) {
            qWarning("xwininfo/xprop (x11-utils) not found: window mapping is not checked");
        }
    }

    void cleanupTestCase() { stop(); }

    void firstRunStoresUserDataWithoutThePassword()
    {
        QVERIFY2(launch(), qPrintable(page.error));
        // Only later loads of the page read the switch; this run goes on as usual.
        QVERIFY(page.call(QStringLiteral("function (k) { localStorage.setItem(k, '1'); "
                                         "return localStorage.getItem(k) === '1'; }"),
                          {holdKey})
                    .toBool());
        QVERIFY2(!page.waitForMessage(QStringLiteral("SetQtEnv")).isEmpty(),
                 qPrintable(page.error));
        // Not maximised: the window state is not announced.
        QVERIFY(!page.receivedNames().contains(QStringLiteral("IsMax")));
        if (haveWindowTools()) {
            QVERIFY(QTest::qWaitFor(
                [this]() { return !mappedWindows(client.processId()).isEmpty(); }, 10000));
        }

        const QString token = QStringLiteral("e2e-token-41");
        const QString loginLogId = QStringLiteral("e2e-login-77");
        QVERIFY(page.send(
            QStringLiteral("SetUserData"),
            QJsonObject{{QStringLiteral("token"), token},
                        {QStringLiteral("loginLogId"), loginLogId},
                        {QStringLiteral("userInfo"),
                         QJsonObject{{QStringLiteral("userId"), QStringLiteral("u-1001")},
                                     {QStringLiteral("nickname"), QStringLiteral("Tester")},
                                     {QStringLiteral("password"), password},
                                     {QStringLiteral("autoReportLog"), 0}}},
                        {QStringLiteral("location"),
                         QJsonObject{{QStringLiteral("country"), QStringLiteral("China")},
                                     {QStringLiteral("city"), QStringLiteral("Hangzhou")},
                                     {QStringLiteral("ip"), QStringLiteral("10.1.2.3")}}},
                        {QStringLiteral("deviceTestOption"),
                         QJsonObject{{QStringLiteral("sdkAppId"), 1400000001},
                                     {QStringLiteral("userSig"), QStringLiteral("sig-abc")}}}}));

        // The login log id is the last key stored.
        QVERIFY(QTest::qWaitFor(
            [&]() {
                return QSettings(settingsPath(), QSettings::NativeFormat)
                           .value(QStringLiteral("loginLogId"))
                           .toString() == loginLogId;
            },
            10000));
        QSettings stored(settingsPath(), QSettings::NativeFormat);
        QCOMPARE(stored.value(QStringLiteral("token")).toString(), token);
        const QJsonObject user = jsonOf(stored.value(QStringLiteral("userInfo")).toString());
        QCOMPARE(user.value(QStringLiteral("userId")).toString(), QStringLiteral("u-1001"));
        QCOMPARE(user.value(QStringLiteral("nickname")).toString(), QStringLiteral("Tester"));
        QCOMPARE(user.value(QStringLiteral("autoReportLog")), QJsonValue(0));
        QVERIFY(!user.contains(QStringLiteral("password")));
        const QJsonObject place = jsonOf(stored.value(QStringLiteral("location")).toString());
        QCOMPARE(place.value(QStringLiteral("city")).toString(), QStringLiteral("Hangzhou"));
        QCOMPARE(place.value(QStringLiteral("ip")).toString(), QStringLiteral("10.1.2.3"));
        const QJsonObject test =
            jsonOf(stored.value(QStringLiteral("deviceTestConfig")).toString());
        QCOMPARE(test.value(QStringLiteral("sdkAppId")), QJsonValue(1400000001));
        QCOMPARE(test.value(QStringLiteral("userSig")).toString(), QStringLiteral("sig-abc"));
        // The device test signs in as the signed-in user.
        QCOMPARE(test.value(QStringLiteral("userId")).toString(), QStringLiteral("u-1001"));
        QVERIFY(!stored.value(QStringLiteral("deviceName")).toString().isEmpty());

        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(password.toUtf8()), "the password reached the settings");
        // The log is uploaded to the service; the password has no place there either.
        QVERIFY2(!install.logText().contains(password.toUtf8()), "the password reached the log");
    }

    void logsArePackedIntoAZipDataUrl()
    {
        QVERIFY(client.state() == QProcess::Running);
        const QString dayBefore = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        QVERIFY(page.send(QStringLiteral("GetClientLogPath"), QString()));
        const QJsonObject message = page.waitForMessage(QStringLiteral("UploadClientLog"));
        QVERIFY2(!message.isEmpty(), qPrintable(page.error));
        const QString dayAfter = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));

        const QJsonObject upload = jsonOf(message.value(QStringLiteral("param")).toString());
        QCOMPARE(upload.value(QStringLiteral("showTip")), QJsonValue(true));
        const QString dataUrl = upload.value(QStringLiteral("dataUrl")).toString();
        const QString prefix = QStringLiteral("data:application/zip;base64,");
        QVERIFY2(dataUrl.startsWith(prefix), qPrintable(dataUrl.left(60)));
        const auto decoded = QByteArray::fromBase64Encoding(
            dataUrl.mid(prefix.size()).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        QVERIFY(decoded);
        const QByteArray zipBytes = decoded.decoded;
        QVERIFY(zipBytes.startsWith("PK\x03\x04"));

        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
            QSKIP("unzip not found: the archive's contents are not checked");
        }
        QTemporaryDir dir;
        const QString zipPath = dir.filePath(QStringLiteral("log.zip"));
        QFile zip(zipPath);
        QVERIFY(zip.open(QIODevice::WriteOnly) && zip.write(zipBytes) == zipBytes.size());
        zip.close();
        int code = -1;
        runTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), zipPath}, &code);
        QCOMPARE(code, 0);
        const QStringList entries =
            QString::fromUtf8(runTool(QStringLiteral("unzip"), {QStringLiteral("-Z1"), zipPath}))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QString todays;
        for (const QString &entry : entries) {
            const QString name = entry.section(QLatin1Char('/'), -1);
            if (name == dayBefore + QStringLiteral(".log") ||
                name == dayAfter + QStringLiteral(".log")) {
                todays = entry;
            }
        }
        QVERIFY2(!todays.isEmpty(), qPrintable(entries.join(QLatin1Char(' '))));
        // A copy of the file as it stood: the client has written on since.
        const QByteArray packed =
            runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), zipPath, todays});
        QFile current(install.logDir() + todays.section(QLatin1Char('/'), -1));
        QVERIFY(current.open(QIODevice::ReadOnly));
        QVERIFY(packed.contains(started));
        QVERIFY(current.readAll().startsWith(packed));
    }

    void secondLaunchHandsOverAndExits()
    {
        QVERIFY(client.state() == QProcess::Running);
        QProcess second;
        install.start(second);
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(install.waitForLog(raised));
        QCOMPARE(install.logText().count(started), 1);
        QCOMPARE(client.state(), QProcess::Running);
    }

    void exitAppEndsTheClient()
    {
        QVERIFY(client.state() == QProcess::Running);
        page.post(QStringLiteral("ExitApp"), QString());
        QCOMPARE(exitCode(), 0);
    }

    void heldStartStaysHiddenUntilImReady()
    {
        {
            QSettings settings(settingsPath(), QSettings::NativeFormat);
            settings.setValue(QStringLiteral("HomeDlg/MaxWindow"), 1);
        }
        QVERIFY2(launch(), qPrintable(page.error));
        QCOMPARE(
            page.call(QStringLiteral("function (k) { return localStorage.getItem(k); }"), {holdKey})
                .toString(),
            QStringLiteral("1"));
        QVERIFY(!page.sentNames().contains(QStringLiteral("ImReady")));
        const qint64 pid = client.processId();
        if (haveWindowTools()) {
            // Nothing announces that the client stays hidden; watch it for a while.
            QVERIFY(!QTest::qWaitFor([pid]() { return !mappedWindows(pid).isEmpty(); }, 1500));
        }
        QVERIFY(!page.receivedNames().contains(QStringLiteral("SetQtEnv")));

        QVERIFY(page.send(QStringLiteral("ImReady"), QString()));
        const QJsonObject env = page.waitForMessage(QStringLiteral("SetQtEnv"));
        QVERIFY2(!env.isEmpty(), qPrintable(page.error));
        const QStringList names = page.receivedNames();
        QVERIFY2(names.indexOf(QStringLiteral("IsMax")) >= 0 &&
                     names.indexOf(QStringLiteral("IsMax")) <
                         names.indexOf(QStringLiteral("SetQtEnv")),
                 qPrintable(names.join(QLatin1Char(' '))));
        QCOMPARE(page.waitForMessage(QStringLiteral("IsMax")).value(QStringLiteral("param")),
                 QJsonValue(QStringLiteral("1")));

        const QJsonObject qtEnv = jsonOf(env.value(QStringLiteral("param")).toString());
        QVERIFY(qtEnv.value(QStringLiteral("appVersionNo")).isDouble());
        QCOMPARE(qtEnv.value(QStringLiteral("appVersionNo")).toDouble(),
                 double(BuildInfo::versionNumber));
        QCOMPARE(qtEnv.value(QStringLiteral("appCode")).toString(),
                 QString::fromLatin1(BuildInfo::appName));
        QCOMPARE(qtEnv.value(QStringLiteral("appVersion")).toString(),
                 QString::fromLatin1(BuildInfo::versionText));
        for (const char *key : {"theme", "lang", "deviceInfo"}) {
            const QJsonValue v = qtEnv.value(QLatin1String(key));
            QVERIFY2(v.isString() && !v.toString().isEmpty(), key);
        }
        QVERIFY(!jsonOf(qtEnv.value(QStringLiteral("deviceInfo")).toString()).isEmpty());

        if (haveWindowTools()) {
            QMap<QString, QByteArray> shown;
            QVERIFY(QTest::qWaitFor(
                [&]() {
                    shown = mappedWindows(pid);
                    return !shown.isEmpty();
                },
                10000));
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown.first().contains("_NET_WM_STATE_MAXIMIZED_VERT") &&
                         shown.first().contains("_NET_WM_STATE_MAXIMIZED_HORZ"),
                     shown.first().constData());
        }
    }

    void upgradeHandsOverToTheToolCopy()
    {
        QVERIFY(client.state() == QProcess::Running);
        // Records how it was started and what hand-over it found, then appears all at once.
        QFile tool(bin(QStringLiteral("upgradeTool")));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\n"
                   "cd \"$(dirname \"$0\")\" || exit 1\n"
                   "cp upgradeTool.ini seen.ini\n"
                   "printf '%s\\n%s\\n%s\\n' \"$(basename \"$0\")\" \"$#\" \"$(pwd -P)\" "
                   "> marker.tmp\n"
                   "mv marker.tmp marker\n");
        tool.close();
        QVERIFY(tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner));

        page.post(QStringLiteral("UpgradeNow"),
                  QJsonObject{{QStringLiteral("version"), QStringLiteral("4.0.22")},
                              {QStringLiteral("versionNo"), 2026120901},
                              {QStringLiteral("forceUpgrade"), 1},
                              {QStringLiteral("appCode"), QStringLiteral("brimvale")}});
        QCOMPARE(exitCode(), 0);
        const QString marker = bin(QStringLiteral("marker"));
        QVERIFY(QTest::qWaitFor([&]() { return QFile::exists(marker); }, 15000));

        QFile markerFile(marker);
        QVERIFY(markerFile.open(QIODevice::ReadOnly));
        const QStringList run = QString::fromUtf8(markerFile.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(run.value(0), QStringLiteral("upgradeTool2"));
        QCOMPARE(run.value(1), QStringLiteral("0"));
        QCOMPARE(run.value(2), QDir(install.binDir()).canonicalPath());
        QVERIFY(QFile::exists(bin(QStringLiteral("upgradeTool"))));

        // Numbers as plain digits, so that any ini reader takes them; the absent URLs empty.
        const QString expected =
            QStringList{
                QStringLiteral("appCode=brimvale"),
                QStringLiteral("currVersionNo=%1").arg(BuildInfo::versionNumber),
                QStringLiteral("forceUpgrade=1"),
                QStringLiteral("fullVersionUrl="),
                QStringLiteral("limitUpgradeVersionNo=0"),
                QStringLiteral("upgradeUrl="),
                QStringLiteral("version=4.0.22"),
                QStringLiteral("versionNo=2026120901"),
            }
                .join(QLatin1Char('\n'));
        QCOMPARE(upgradeSection(bin(QStringLiteral("upgradeTool.ini"))), expected);
        // The tool found the finished hand-over when it started.
        QCOMPARE(upgradeSection(bin(QStringLiteral("seen.ini"))), expected);
    }

    void nextStartRemovesTheToolCopy()
    {
        QVERIFY(QFile::exists(bin(QStringLiteral("upgradeTool2"))));
        QVERIFY2(launch(), qPrintable(page.error));
        QVERIFY(!QFile::exists(bin(QStringLiteral("upgradeTool2"))));
        QVERIFY(QFile::exists(bin(QStringLiteral("upgradeTool"))));
        // Still held and hidden: the page can end the client all the same.
        page.post(QStringLiteral("ExitApp"), QString());
        QCOMPARE(exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClientEndToEnd)
#include "tst_client_e2e.moc"
