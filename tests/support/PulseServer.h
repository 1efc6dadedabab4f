#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

// A PulseAudio sound server of the test's own, as a user process with private folders, so that
// a machine without a sound card still has real audio devices:
//   sink   "brv_speaker"  ("Test Speaker")      a speaker whose output goes nowhere
//   sink   "brv_micfeed"                         what is played here is heard by brv_mic
//   source "brv_mic"      ("Test Microphone")   remapped from brv_micfeed's monitor
// start() points this process at it (PULSE_SERVER) before any audio library connects, so call
// it before the SDK is created; stop() (also the destructor) ends it by its process id.
//
//   PulseServer pulse;
//   QVERIFY2(pulse.start(), qPrintable(pulse.errorText()));
//   pulse.startTone();                 // a 440 Hz tone into brv_micfeed, heard by brv_mic
//   pulse.stopTone();
//   pulse.pactl({"unload-module", id}) // any other change, e.g. to remove a device
//
// Use noSoundServer() instead in a test that wants no sound server at all: it points the
// process at a socket that does not exist, so that no audio library spawns the user's own.
class PulseServer
{
public:
    static constexpr const char *kSpeaker = "brv_speaker";
    static constexpr const char *kMicFeed = "brv_micfeed";
    static constexpr const char *kMic = "brv_mic";

    ~PulseServer() { stop(); }

    static bool available() { return !QStandardPaths::findExecutable("pulseaudio").isEmpty(); }

    static void noSoundServer()
    {
        static QTemporaryDir dir;
        qputenv("PULSE_SERVER", "unix:" + dir.filePath("none").toUtf8());
    }

    bool start()
    {
        if (!available()) {
            error_ = "pulseaudio is not installed";
            return false;
        }
        dir_.reset(new QTemporaryDir);
        const QString root = dir_->path();
        QDir(root).mkpath("home");
        QDir(root).mkpath("runtime");
        QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner);
        socket_ = root + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root + "/home");
        env.insert("XDG_RUNTIME_DIR", root + "/runtime");
        env.insert("XDG_CONFIG_HOME", root + "/home");
        env.remove("PULSE_SERVER");
        env.remove("DISPLAY"); // no X11 bell or session hooks
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(root + "/pulse.log");
        // Should the test die without stop(), the server goes with it (parent-death signal),
        // or at the latest once no client is left.
        QStringList command{"pulseaudio"};
        if (!QStandardPaths::findExecutable("setpriv").isEmpty())
            command = QStringList{"setpriv", "--pdeathsig", "TERM", "pulseaudio"};
        process_.start(
            command.takeFirst(),
            command +
                QStringList{"-n", "-F", "/dev/null", "--daemonize=no", "--exit-idle-time=20",
                            "--disable-shm=yes", "--use-pid-file=no", "--system=no",
                            "--log-target=stderr",
                            "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                            QStringLiteral("--load=module-null-sink sink_name=%1 "
                                           "sink_properties=device.description=Test-Speaker")
                                .arg(kSpeaker),
                            QStringLiteral("--load=module-null-sink sink_name=%1").arg(kMicFeed),
                            QStringLiteral("--load=module-remap-source master=%1.monitor "
                                           "source_name=%2 source_properties=device.description="
                                           "Test-Microphone")
                                .arg(kMicFeed, kMic)});
        if (!process_.waitForStarted(5000)) {
            error_ = "pulseaudio did not start";
            return false;
        }
        qputenv("PULSE_SERVER", "unix:" + socket_.toUtf8());
        // Ready once it answers on its socket; bounded in time.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            QString out;
            if (QFileInfo::exists(socket_) && pactl({"list", "short", "sources"}, &out) &&
                out.contains(kMic))
                return true;
            if (process_.state() != QProcess::Running)
                break;
            QThread::msleep(100);
        }
        error_ = "pulseaudio did not come up: " + readLog();
        stop();
        return false;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate(); // SIGTERM to its pid
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }

    qint64 pid() const { return process_.processId(); }
    QString errorText() const { return error_; }
    QString readLog() const
    {
        QFile f(dir_ ? dir_->filePath("pulse.log") : QString());
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

    /// Runs pactl against this server; its standard output in *out.
    bool pactl(const QStringList &args, QString *out = nullptr) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", "unix:" + socket_);
        p.setProcessEnvironment(env);
        p.start("pactl", args);
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(1000);
            return false;
        }
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    /// Loads a module; its index, or an empty text on failure.
    QString loadModule(const QStringList &args) const
    {
        QString out;
        return pactl(QStringList{"load-module"} + args, &out) ? out.trimmed() : QString();
    }

    bool startTone()
    {
        if (!tone_.isEmpty())
            return true;
        tone_ =
            loadModule({"module-sine", QStringLiteral("sink=%1").arg(kMicFeed), "frequency=440"});
        return !tone_.isEmpty();
    }

    bool stopTone()
    {
        if (tone_.isEmpty())
            return true;
        const bool ok = pactl({"unload-module", tone_});
        tone_.clear();
        return ok;
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
    QString socket_;
    QString error_;
    QString tone_;
};
