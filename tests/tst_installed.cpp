// The client as the install rules lay it out, and what a client writes where when its folder is
// or is not writable. The cases that need a folder of a given kind run a copy of this very
// program from such a folder (the "--child" modes below), since the folder of the executable is
// what the client goes by. As root, read-only folders hold only for a process without root's
// powers: such children run in a user namespace of their own.
#include "AppSettings.h"
#include "ClientProcess.h"
#include "HomeUpgradeDlg.h"
#include "PathUtil.h"
#include "ScratchFolders.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <cstdio>

namespace {

const QString releaseUrl =
    QStringLiteral("https://downloads.example.com/brimvale_4.0.22_amd64.deb");

// --- the child side ---------------------------------------------------------------------------

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url)
    {
        std::printf("opened %s\n", qPrintable(url.toString()));
        std::fflush(stdout);
    }
};

// "ini": prints the theme as read, stores "dark", prints the file; exit 3 when it did not stick.
// "upgrade JSON": hands an update over as the home page's "UpgradeNow" would.
int runChild(int argc, char **argv)
{
    const QString mode = QString::fromLatin1(argv[2]);
    if (mode == QLatin1String("ini")) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("brimvale"));
        std::printf("before=%s\n", qPrintable(AppSettings::iniValue(AppSettingsKey::currTheme,
                                                                    QStringLiteral("light"))));
        AppSettings::setIniValue(AppSettingsKey::currTheme, QStringLiteral("dark"));
        std::printf("file=%s\n", qPrintable(AppSettings::iniFilePath()));
        return QSettings(AppSettings::iniFilePath(), QSettings::IniFormat)
                           .value(AppSettingsKey::currTheme) == QStringLiteral("dark")
                   ? 0
                   : 3;
    }
    if (mode == QLatin1String("upgrade") && argc > 3) {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        QApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("brimvale"));
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
        HomeUpgradeDlg dlg;
        dlg.slotWebMsg(QStringLiteral("UpgradeNow"), QString::fromUtf8(argv[3]));
        return 0;
    }
    return 2;
}

// --- the parent side --------------------------------------------------------------------------

struct ChildRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString scratchPath(const QString &name)
{
    return qEnvironmentVariable("BRV_TEST_SCRATCH") + QLatin1Char('/') + name;
}

bool run(const QString &program, const QStringList &args, ChildRun *result,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
         int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool done = p.waitForStarted(10000) && p.waitForFinished(timeoutMs);
    if (!done) {
        p.kill();
        p.waitForFinished(5000);
    }
    result->exitCode = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    result->out = QString::fromUtf8(p.readAllStandardOutput());
    result->err = QString::fromUtf8(p.readAllStandardError());
    return done;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

// Root writes into any folder; a user namespace where we are an ordinary user does not.
bool canRunUnprivileged()
{
    if (!isRoot()) {
        return true;
    }
    ChildRun r;
    return run(QStringLiteral("unshare"),
               {QStringLiteral("--user"), QStringLiteral("--map-user=1000"),
                QStringLiteral("--map-group=1000"), QStringLiteral("true")},
               &r) &&
           r.exitCode == 0;
}

// Runs program as an ordinary user, so that folder permissions hold for it.
bool runUnprivileged(const QString &program, const QStringList &args, ChildRun *result,
                     const QProcessEnvironment &env)
{
    if (!isRoot()) {
        return run(program, args, result, env);
    }
    return run(QStringLiteral("unshare"),
               QStringList{QStringLiteral("--user"), QStringLiteral("--map-user=1000"),
                           QStringLiteral("--map-group=1000"), program} +
                   args,
               result, env);
}

const QFileDevice::Permissions readOnlyDir = QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                             QFileDevice::ReadOther | QFileDevice::ExeOther;

// A folder tree for one installation of this program; write permission comes back at the end,
// so that the tree can be removed.
class Layout
{
public:
    Layout()
    {
        root = dir.path();
        QDir().mkpath(binDir());
        QDir().mkpath(privateDir());
        QDir().mkpath(configHome());
        program = binDir() + QStringLiteral("/brimvale");
        ok = dir.isValid() && QFile::copy(QCoreApplication::applicationFilePath(), program);
    }
    ~Layout()
    {
        for (const QString &d : std::as_const(locked)) {
            QFile::setPermissions(d, readOnlyDir | QFileDevice::WriteOwner);
        }
    }

    QString binDir() const { return root + QStringLiteral("/bin"); }
    QString privateDir() const { return root + QStringLiteral("/" BRV_INSTALL_PRIVATEDIR); }
    QString configHome() const { return root + QStringLiteral("/config"); }
    QString userDir() const { return configHome() + QStringLiteral("/brimvale"); }

    void lock(const QString &d)
    {
        QVERIFY(QFile::setPermissions(d, readOnlyDir));
        locked << d;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        return env;
    }

    QStringList entries(const QString &d) const
    {
        return QDir(d).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    bool ok = false;
    QString program;

private:
    QTemporaryDir dir;
    QString root;
    QStringList locked;
};

QString iniValue(const QString &file, const QString &key)
{
    return QSettings(file, QSettings::IniFormat).value(key).toString();
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT

private slots:
    void installedLayoutStartsToItsHomePage()
    {
        const QString prefix = scratchPath(QStringLiteral("prefix"));
        ChildRun r;
        QVERIFY(run(QStringLiteral(BRV_CMAKE_COMMAND),
                    {QStringLiteral("--install"), QStringLiteral(BRV_BUILD_DIR),
                     QStringLiteral("--prefix"), prefix},
                    &r));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));

        const QString exe = prefix + QStringLiteral("/bin/brimvale");
        QVERIFY(QFileInfo(exe).isExecutable());
        const QString desktop =
            prefix + QStringLiteral("/share/applications/com.brimvale.client.desktop");
        const QString metainfo =
            prefix + QStringLiteral("/share/metainfo/com.brimvale.client.metainfo.xml");
        for (const QString &f :
             {desktop, metainfo, prefix + QStringLiteral("/share/doc/brimvale/copyright"),
              prefix + QStringLiteral("/share/doc/brimvale/changelog.gz"),
              prefix + QStringLiteral("/share/man/man1/brimvale.1.gz")}) {
            QVERIFY2(QFileInfo::exists(f), qPrintable(f));
        }
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(
                prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/brimvale.png").arg(size));
            QCOMPARE(icon.size(), QSize(size, size));
        }

        // The run path names the private folder relative to the executable, and the client
        // finds that same folder for its upgrade tool.
        QVERIFY(run(QStringLiteral("readelf"), {QStringLiteral("-d"), exe}, &r));
        QVERIFY2(
            r.out.contains(QLatin1String("RUNPATH")) &&
                r.out.contains(
                    QStringLiteral("[$ORIGIN/../%1]").arg(QStringLiteral(BRV_INSTALL_PRIVATEDIR))),
            qPrintable(r.out));
        QCOMPARE(QDir::cleanPath(prefix + QStringLiteral("/bin/") +
                                 QString::fromLatin1(BuildInfo::privateDirFromBin)),
                 prefix + QStringLiteral("/" BRV_INSTALL_PRIVATEDIR));

        QVERIFY(run(QStringLiteral("desktop-file-validate"), {desktop}, &r));
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
        QVERIFY(run(QStringLiteral("appstreamcli"),
                    {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}, &r));
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));

        // The installed client, started as the desktop entry starts it, reaches its home page.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString data = scratchPath(QStringLiteral("installed-data"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   scratchPath(QStringLiteral("installed-config")));
        QProcess client;
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start(exe, QStringList());
        QVERIFY(client.waitForStarted(10000));
        const QString log = data + QStringLiteral("/brimvale/log");
        const bool ready = QTest::qWaitFor(
            [&]() {
                for (const QFileInfo &f : QDir(log).entryInfoList({QStringLiteral("*.log")})) {
                    QFile file(f.filePath());
                    if (file.open(QIODevice::ReadOnly) && file.readAll().contains("\"ImReady\"")) {
                        return true;
                    }
                }
                return false;
            },
            60000);
        stopProcess(client);
        QVERIFY2(ready, "the installed client never reported its home page ready");
    }

    // One copy: first in a writable folder, then with its folder made read-only, as when a
    // portable copy is installed for all users; then with the user folder read-only too.
    void iniFollowsTheExecutableFolder()
    {
        Layout copy;
        QVERIFY(copy.ok);
        const QStringList child{QStringLiteral("--child"), QStringLiteral("ini")};
        const QString beside = copy.binDir() + QStringLiteral("/brimvale.ini");
        const QString user = copy.userDir() + QStringLiteral("/brimvale.ini");
        ChildRun r;
        QVERIFY(run(copy.program, child, &r, copy.environment()));
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("file=") + beside),
                 qPrintable(r.out + r.err));
        QCOMPARE(iniValue(beside, AppSettingsKey::currTheme), QStringLiteral("dark"));
        QVERIFY(!QFileInfo::exists(user));

        if (!canRunUnprivileged()) {
            QSKIP("running as root without user namespaces: no folder is read-only here");
        }
        // What is left beside the executable is read as a default until the user chooses.
        QSettings(beside, QSettings::IniFormat).setValue(AppSettingsKey::currTheme, "blue");
        copy.lock(copy.binDir());
        QVERIFY(runUnprivileged(copy.program, child, &r, copy.environment()));
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("before=blue")) &&
                     r.out.contains(QStringLiteral("file=") + user),
                 qPrintable(r.out + r.err));
        QCOMPARE(iniValue(user, AppSettingsKey::currTheme), QStringLiteral("dark"));
        QCOMPARE(iniValue(beside, AppSettingsKey::currTheme), QStringLiteral("blue"));
        QCOMPARE(copy.entries(copy.binDir()),
                 (QStringList{QStringLiteral("brimvale"), QStringLiteral("brimvale.ini")}));

        // Now the user folder cannot take the file either: the write fails and says so.
        QVERIFY(QFile::remove(user));
        copy.lock(copy.userDir());
        QVERIFY(runUnprivileged(copy.program, child, &r, copy.environment()));
        QCOMPARE(r.exitCode, 3);
        QVERIFY2(r.err.contains(QStringLiteral("AppSettings::setIniValue: cannot write")) &&
                     r.err.contains(user),
                 qPrintable(r.err));
    }

    void upgradeOnAReadOnlyInstallWritesNothingBesideIt_data()
    {
        QTest::addColumn<bool>("toolInstalled");
        // Without a tool the release opens in the browser; with one in the private folder it
        // starts from there and is told where the hand-over file is.
        QTest::newRow("no tool") << false;
        QTest::newRow("tool in the private folder") << true;
    }

    void upgradeOnAReadOnlyInstallWritesNothingBesideIt()
    {
        QFETCH(bool, toolInstalled);
        if (!canRunUnprivileged()) {
            QSKIP("running as root without user namespaces: no folder is read-only here");
        }
        Layout copy;
        QVERIFY(copy.ok);
        const QString marker = scratchPath(QStringLiteral("tool-marker"));
        QFile::remove(marker);
        if (toolInstalled) {
            QFile tool(copy.privateDir() + QStringLiteral("/upgradeTool"));
            QVERIFY(tool.open(QIODevice::WriteOnly));
            tool.write("#!/bin/sh\nprintf '%s\\n' \"$(pwd)\" \"$@\" > '" + marker.toUtf8() + "'\n");
            tool.close();
            QVERIFY(tool.setPermissions(readOnlyDir));
        }
        const QStringList privateBefore = copy.entries(copy.privateDir());
        copy.lock(copy.privateDir());
        copy.lock(copy.binDir());

        const QString record =
            QStringLiteral(R"({"version":"4.0.22","versionNo":2026120901,"forceUpgrade":1,)"
                           R"("fullVersionUrl":"%1"})")
                .arg(releaseUrl);
        ChildRun r;
        QVERIFY(runUnprivileged(copy.program,
                                {QStringLiteral("--child"), QStringLiteral("upgrade"), record}, &r,
                                copy.environment()));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QString ini = copy.userDir() + QStringLiteral("/upgradeTool.ini");
        QCOMPARE(iniValue(ini, QStringLiteral("upgrade/version")), QStringLiteral("4.0.22"));
        QCOMPARE(iniValue(ini, QStringLiteral("upgrade/currVersionNo")),
                 QString::number(BuildInfo::versionNumber));
        // Nothing new beside the executable or in the private folder: no copy of the tool.
        QCOMPARE(copy.entries(copy.binDir()), QStringList{QStringLiteral("brimvale")});
        QCOMPARE(copy.entries(copy.privateDir()), privateBefore);

        if (toolInstalled) {
            QVERIFY(QTest::qWaitFor([&]() { return QFileInfo(marker).size() > 0; }, 10000));
            QFile f(marker);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
            QCOMPARE(lines.value(0), copy.userDir());
            QCOMPARE(lines.value(1), ini);
            QVERIFY2(!r.out.contains(QStringLiteral("opened")), qPrintable(r.out));
        } else {
            QVERIFY2(r.out.contains(QStringLiteral("opened ") + releaseUrl), qPrintable(r.out));
            QVERIFY2(r.err.contains(QStringLiteral("no upgrade tool installed in")),
                     qPrintable(r.err));
            QVERIFY(!QFileInfo::exists(marker));
        }
    }

    void packageManagedFoldersAreNeverWritten()
    {
        // Root could write there; the package manager's files are not the client's.
        QVERIFY(!PathUtil::isWritableAppDir(QStringLiteral("/usr/bin/")));
        QVERIFY(!PathUtil::isWritableAppDir(QStringLiteral("/usr/lib/brimvale/../../bin")));
        QVERIFY(!PathUtil::isWritableAppDir(QStringLiteral("/usr/games")));
        QCOMPARE(PathUtil::isWritableAppDir(QStringLiteral("/usr/local/bin/")),
                 QFileInfo(QStringLiteral("/usr/local/bin/")).isWritable());
        QVERIFY(PathUtil::isWritableAppDir(scratchPath(QString())));
    }
};

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv);
    }
    const auto scratch = ensureScratchFolders();
    QCoreApplication app(argc, argv);
    TestInstalled test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installed.moc"
