#pragma once

#include "ClientProcess.h"
#include "PageDriver.h"

#include <QDir>
#include <QProcess>

// Whole classes for tests and benchmarks: the class servers, and participants, each a copy of
// the client with its own folders and session, its debugging port, and a driver for its class
// page.

// The class servers (IM and media) started by the project's script, in the caller's network
// namespace, and the environment that points clients at them.
struct ClassServers
{
    ~ClassServers() { stop(); }

    QString script() const
    {
        return QStringLiteral(BRV_TEST_SOURCE_DIR "/scripts/class-servers.sh");
    }

    // False, with the reason in `error`, when the script fails or prints no server.
    bool start()
    {
        QProcess run;
        run.start(QStringLiteral("bash"), {script(), QStringLiteral("start"), dir.path()});
        if (!run.waitForFinished(60000) || run.exitCode() != 0) {
            error = QString::fromUtf8(run.readAllStandardError());
            return false;
        }
        started = true;
        for (const QString &line : QString::fromUtf8(run.readAllStandardOutput()).split('\n')) {
            const int eq = line.indexOf('=');
            if (line.startsWith(QLatin1String("BRV_")) && eq > 0) {
                env.insert(line.left(eq), line.mid(eq + 1));
            }
        }
        const bool both =
            env.value(QStringLiteral("BRV_IM_SERVER"))
                .startsWith(QLatin1String("xmpp://127.0.0.1:")) &&
            env.value(QStringLiteral("BRV_AV_SERVER")).startsWith(QLatin1String("ws://127.0.0.1:"));
        if (!both) {
            error = QStringLiteral("the script named no loopback servers");
        }
        return both;
    }

    void stop()
    {
        if (started) {
            QProcess run;
            run.start(QStringLiteral("bash"), {script(), QStringLiteral("stop"), dir.path()});
            run.waitForFinished(30000);
            started = false;
        }
    }

    // The servers' process ids, from the pid files the script keeps.
    QList<qint64> pids() const
    {
        QList<qint64> found;
        for (const QFileInfo &file :
             QDir(dir.path()).entryInfoList({QStringLiteral("*.pid")}, QDir::Files)) {
            QFile f(file.filePath());
            if (f.open(QIODevice::ReadOnly)) {
                found << f.readAll().trimmed().toLongLong();
            }
        }
        return found;
    }

    QTemporaryDir dir;
    QProcessEnvironment env;
    QString error;
    bool started = false;
};

// One participant of a class.
struct Participant
{
    explicit Participant(const QString &name) : install(name) {}

    bool start(const QString &demoUser, const QProcessEnvironment &servers)
    {
        port = PageDriver::freePort();
        QProcessEnvironment env = install.environment();
        env.insert(servers);
        if (servers.isEmpty()) {
            // No servers: the embedded IM and the room of one, whatever this process was given.
            env.remove(QStringLiteral("BRV_IM_SERVER"));
            env.remove(QStringLiteral("BRV_AV_SERVER"));
        }
        const QString runtime = install.binDir() + QStringLiteral("/../runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_SESSION_ID"),
                   QStringLiteral("e2e-") + demoUser.section(':', 0, 0));
        env.insert(QStringLiteral("BRV_DEMO_USER"), demoUser);
        env.insert(QStringLiteral("BRV_DEBUG_LOG"), QStringLiteral("1"));
        env.insert(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"),
                   QStringLiteral("127.0.0.1:%1").arg(port));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        process.setProgram(install.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start();
        return process.waitForStarted(10000);
    }

    bool attachClass() { return page.attach(port, 90000) && page.waitReady(); }

    // A value of the class page's state, read with a JavaScript expression over `s`.
    QJsonValue state(const QString &expression)
    {
        return page.evaluate(
            QStringLiteral("(function (s) { return %1; })(window.brvLive.state)").arg(expression));
    }

    bool waitState(const QString &expression, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            if (state(expression).toBool()) {
                return true;
            }
            QTest::qWait(200);
        }
        return false;
    }

    void click(const QString &id)
    {
        page.evaluate(QStringLiteral("document.getElementById('%1').click(), true").arg(id));
    }

    void say(const QString &text)
    {
        page.call(QStringLiteral("function (t) { document.getElementById('chat-input').value = t;"
                                 " document.getElementById('chat-send').click(); return true; }"),
                  {text});
    }

    // Where each marker first appears in the client's log, -1 when it does not.
    QList<int> positions(const QList<QByteArray> &markers) const
    {
        const QByteArray log = install.logText();
        QList<int> at;
        for (const QByteArray &m : markers) {
            at << log.indexOf(m);
        }
        return at;
    }

    void stop()
    {
        page.detach();
        stopProcess(process);
    }

    ClientInstall install;
    QProcess process;
    PageDriver page{QStringLiteral("brimvale-demo://service/#/src/pages/qt/live/index")};
    quint16 port = 0;
};
