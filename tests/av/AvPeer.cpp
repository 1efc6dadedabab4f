#include "AvPeer.h"

#include <brv_av.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTest>

#include <cstdio>
#include <mutex>
#include <unistd.h>

using namespace liteav;

AvPeer::~AvPeer()
{
    kill();
}

bool AvPeer::start(const QString &program)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setReadChannel(QProcess::StandardOutput);
    QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, [this] { readLines(); });
    QObject::connect(m_process.get(), &QProcess::readyReadStandardError, [this] {
        // The peer's own log lines, kept out of the way but visible when a test fails.
        const QByteArray err = m_process->readAllStandardError();
        if (qEnvironmentVariableIsSet("BRV_AV_PEER_LOG"))
            fprintf(stderr, "[peer] %s", err.constData());
    });
    m_process->start(program, {QStringLiteral("--av-peer")});
    return m_process->waitForStarted(5000);
}

void AvPeer::send(const QJsonObject &cmd)
{
    if (m_process)
        m_process->write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
}

void AvPeer::readLines()
{
    m_buffer += m_process->readAllStandardOutput();
    int nl;
    while ((nl = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(nl);
        m_buffer.remove(0, nl + 1);
        const QJsonObject ev = QJsonDocument::fromJson(line).object();
        if (!ev.isEmpty())
            m_events << ev;
    }
}

QJsonObject AvPeer::waitEvent(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int seen = 0;
    while (timer.elapsed() < timeoutMs) {
        for (; seen < m_events.size(); ++seen) {
            if (pred(m_events[seen]))
                return m_events[seen];
        }
        QTest::qWait(20);
    }
    return {};
}

void AvPeer::kill()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

namespace {

std::mutex outMutex;

void emitLine(const QJsonObject &ev)
{
    const QByteArray line = QJsonDocument(ev).toJson(QJsonDocument::Compact) + '\n';
    std::lock_guard<std::mutex> lock(outMutex);
    fwrite(line.constData(), 1, size_t(line.size()), stdout);
    fflush(stdout);
}

QJsonObject event(const char *name, const char *user = nullptr, qint64 a = 0, qint64 b = 0)
{
    return {{"ev", name}, {"user", QString::fromUtf8(user ? user : "")}, {"a", a}, {"b", b}};
}

class PeerSink : public ITRTCCloudCallback
{
public:
    void onError(TXLiteAVError code, const char *msg, void *) override
    {
        emitLine(event("onError", msg, code));
    }
    void onEnterRoom(int result) override { emitLine(event("onEnterRoom", nullptr, result)); }
    void onExitRoom(int reason) override { emitLine(event("onExitRoom", nullptr, reason)); }
    void onRemoteUserEnterRoom(const char *u) override
    {
        emitLine(event("onRemoteUserEnterRoom", u));
    }
    void onRemoteUserLeaveRoom(const char *u, int reason) override
    {
        emitLine(event("onRemoteUserLeaveRoom", u, reason));
    }
    void onUserVideoAvailable(const char *u, bool a) override
    {
        emitLine(event("onUserVideoAvailable", u, a));
    }
    void onUserAudioAvailable(const char *u, bool a) override
    {
        emitLine(event("onUserAudioAvailable", u, a));
    }
    void onFirstAudioFrame(const char *u) override { emitLine(event("onFirstAudioFrame", u)); }
    void onUserVoiceVolume(TRTCVolumeInfo *v, uint32_t count, uint32_t) override
    {
        for (uint32_t i = 0; i < count; ++i)
            emitLine(event("onUserVoiceVolume", v[i].userId, v[i].volume));
    }
    void onConnectionLost() override { emitLine(event("onConnectionLost")); }
    void onConnectionRecovery() override { emitLine(event("onConnectionRecovery")); }
    void onScreenCaptureStarted() override { emitLine(event("onScreenCaptureStarted")); }
};

} // namespace

int runAvPeer(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ITRTCCloud *cloud = getTRTCShareInstance();
    PeerSink sink;
    cloud->addCallback(&sink);
    QByteArray pending;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            app.quit(); // the test ended
            return;
        }
        pending.append(buf, int(n));
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QJsonObject cmd = QJsonDocument::fromJson(pending.left(nl)).object();
            pending.remove(0, nl + 1);
            const QString op = cmd.value("op").toString();
            const bool on = cmd.value("on").toBool();
            if (op == "enter") {
                const QByteArray server =
                    QJsonDocument(
                        QJsonObject{{"api", "setServer"},
                                    {"params", QJsonObject{{"url", cmd.value("server")}}}})
                        .toJson(QJsonDocument::Compact);
                cloud->callExperimentalAPI(server.constData());
                const QByteArray user = cmd.value("user").toString().toUtf8();
                const QByteArray sig = cmd.value("sig").toString().toUtf8();
                TRTCParams params;
                params.userId = user.constData();
                params.userSig = sig.constData();
                params.roomId = uint32_t(cmd.value("room").toInt());
                cloud->enterRoom(params, TRTCAppSceneLIVE);
            } else if (op == "exit") {
                cloud->exitRoom();
            } else if (op == "camera") {
                on ? cloud->startLocalPreview(nullptr) : cloud->stopLocalPreview();
            } else if (op == "mic") {
                on ? cloud->startLocalAudio(TRTCAudioQualityDefault) : cloud->stopLocalAudio();
            } else if (op == "screen") {
                TRTCVideoEncParam enc;
                enc.videoResolution = TRTCVideoResolution_640_360;
                enc.videoFps = 10;
                on ? cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, &enc)
                   : cloud->stopScreenCapture();
            } else if (op == "volumes") {
                TRTCAudioVolumeEvaluateParams p;
                p.interval = uint32_t(cmd.value("ms").toInt(300));
                cloud->enableAudioVolumeEvaluation(true, p);
            }
        }
    });
    const int code = app.exec();
    cloud->removeCallback(&sink);
    destroyTRTCShareInstance();
    return code;
}
