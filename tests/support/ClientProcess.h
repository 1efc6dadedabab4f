#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

// Stops a started process by its pid: asked first, killed when it does not end in time.
inline void stopProcess(QProcess &process, int graceMs = 10000)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished(10000);
    }
}

// Copies of the real client executable, each in a folder of its own, so that tests can start
// them as separate installations with their own data and settings.
class ClientInstall
{
public:
    explicit ClientInstall(const QString &name)
    {
        root = QDir(tmp.path()).filePath(name);
        QDir().mkpath(root + QStringLiteral("/bin"));
        QDir().mkpath(root + QStringLiteral("/data"));
        QDir().mkpath(root + QStringLiteral("/config"));
        executable = root + QStringLiteral("/bin/brimvale");
        ok = QFile::copy(QStringLiteral(BRV_CLIENT_EXECUTABLE), executable);
    }

    bool isValid() const { return ok && tmp.isValid(); }
    QString path() const { return executable; }
    QString binDir() const { return root + QStringLiteral("/bin"); }
    QString dataDir() const { return root + QStringLiteral("/data/brimvale/"); }
    QString configDir() const { return root + QStringLiteral("/config/"); }
    QString logDir() const { return dataDir() + QStringLiteral("log/"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        return env;
    }

    // Starts the client; its output is forwarded so that failures explain themselves.
    void start(QProcess &process, const QStringList &arguments = {}) const
    {
        process.setProgram(executable);
        process.setArguments(arguments);
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start();
        process.waitForStarted(10000);
    }

    QByteArray logText() const
    {
        QByteArray all;
        QDir dir(logDir());
        for (const QString &name :
             dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                all += f.readAll();
            }
        }
        return all;
    }

    // Waits until the client's log holds `count` occurrences of marker.
    bool waitForLog(const QByteArray &marker, int count = 1, int timeoutMs = 20000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            if (logText().count(marker) >= count) {
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

private:
    QTemporaryDir tmp;
    QString root;
    QString executable;
    bool ok = false;
};
