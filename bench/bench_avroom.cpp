// Rooms on the class's media server (Janus), every participant a process of its own:
//  - join to first remote frame: a viewer enters the room 20 times while a publisher stays in,
//    from enterRoom to onFirstVideoFrame (p50, p95);
//  - CPU of one publisher and one viewer at 640×360, 15 fps, against gst-launch-1.0 pipelines
//    doing the same media work (VP8 and Opus both ways, decoding and X11 rendering) over plain
//    RTP on loopback, without the SFU, ICE, DTLS and SRTP;
//  - four participants each publishing and viewing the other three: frames per second of every
//    view (onStatistics).
// Runs inside a private network namespace with a display (run.sh); starts and stops Janus with
// class-servers.sh. Prints one JSON line per figure.
#include "ProcStat.h"

#include <brv_av.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

using namespace liteav;

namespace {

QString script()
{
    return QStringLiteral(BRV_SOURCE_DIR "/scripts/class-servers.sh");
}

QString run(const QStringList &args)
{
    QProcess p;
    p.start(script(), args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Percent of one core the processes use together over seconds, after two to settle.
double measure(const std::vector<qint64> &pids, int seconds)
{
    QTest::qWait(2000);
    double before = 0;
    for (qint64 p : pids)
        before += ProcStat::cpuSeconds(p);
    QElapsedTimer t;
    t.start();
    QTest::qWait(seconds * 1000);
    double after = 0;
    for (qint64 p : pids)
        after += ProcStat::cpuSeconds(p);
    return 100.0 * (after - before) / (t.elapsed() / 1000.0);
}

void setServer(ITRTCCloud *cloud, const QString &url)
{
    const QByteArray call =
        QJsonDocument(QJsonObject{{"api", "setServer"}, {"params", QJsonObject{{"url", url}}}})
            .toJson(QJsonDocument::Compact);
    cloud->callExperimentalAPI(call.constData());
}

void enter(ITRTCCloud *cloud, const QString &user, uint32_t room, const QString &sig)
{
    const QByteArray u = user.toUtf8();
    const QByteArray s = sig.toUtf8();
    TRTCParams params;
    params.userId = u.constData();
    params.userSig = s.constData();
    params.roomId = room;
    cloud->enterRoom(params, TRTCAppSceneLIVE);
}

// Views every remote camera in a window of its own and reports their frame rates.
class Viewer : public ITRTCCloudCallback
{
public:
    std::mutex mutex;
    std::vector<std::string> available;
    std::map<std::string, std::vector<uint32_t>> fps;
    std::atomic<int> entered{0};
    std::atomic<int> exited{0};
    std::atomic<int> firstFrames{0};

    void onEnterRoom(int result) override { entered = result; }
    void onExitRoom(int) override { ++exited; }
    void onUserVideoAvailable(const char *userId, bool on) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (on)
            available.push_back(userId);
    }
    void onFirstVideoFrame(const char *, const TRTCVideoStreamType, const int, const int) override
    {
        ++firstFrames;
    }
    void onStatistics(const TRTCStatistics &s) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (uint32_t i = 0; i < s.remoteStatisticsArraySize; ++i)
            fps[s.remoteStatisticsArray[i].userId].push_back(s.remoteStatisticsArray[i].frameRate);
    }
    std::vector<std::string> takeAvailable()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> out;
        out.swap(available);
        return out;
    }
};

std::unique_ptr<QWidget> window(int x, int y, int w, int h)
{
    auto widget = std::make_unique<QWidget>();
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->setGeometry(x, y, w, h);
    widget->show();
    (void)QTest::qWaitForWindowExposed(widget.get());
    return widget;
}

// One participant: "--participant USER ROOM SERVER SIG PUBLISH VIEW SECONDS".
int participant(char **argv)
{
    const QString user = argv[2];
    const uint32_t room = uint32_t(atoi(argv[3]));
    const bool publish = atoi(argv[6]) != 0;
    const bool view = atoi(argv[7]) != 0;
    const int seconds = atoi(argv[8]);
    ITRTCCloud *cloud = getTRTCShareInstance();
    Viewer sink;
    cloud->addCallback(&sink);
    setServer(cloud, argv[4]);
    if (publish) {
        cloud->startLocalPreview(nullptr);
        cloud->startLocalAudio(TRTCAudioQualityDefault);
    }
    enter(cloud, user, room, argv[5]);
    std::vector<std::unique_ptr<QWidget>> windows;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        QTest::qWait(100);
        for (const std::string &u : sink.takeAvailable()) {
            if (!view)
                continue;
            const int n = int(windows.size());
            windows.push_back(window(20 + 330 * n, 20 + 200 * (atoi(argv[3]) % 3), 320, 180));
            cloud->startRemoteView(u.c_str(), TRTCVideoStreamTypeBig,
                                   reinterpret_cast<TXView>(windows.back()->winId()));
        }
    }
    {
        std::lock_guard<std::mutex> lock(sink.mutex);
        for (const auto &f : sink.fps) {
            // The steady state: the last half of the readings.
            std::vector<uint32_t> v(f.second.begin() + long(f.second.size() / 2), f.second.end());
            uint32_t low = v.empty() ? 0 : *std::min_element(v.begin(), v.end());
            double mean = 0;
            for (uint32_t x : v)
                mean += x;
            mean = v.empty() ? 0 : mean / double(v.size());
            printf("{\"viewer\":\"%s\",\"of\":\"%s\",\"fps_mean\":%.1f,\"fps_min\":%u}\n",
                   qPrintable(user), f.first.c_str(), mean, low);
        }
    }
    fflush(stdout);
    cloud->exitRoom();
    cloud->removeCallback(&sink);
    destroyTRTCShareInstance();
    return 0;
}

QProcess *spawn(const QStringList &args)
{
    auto *p = new QProcess;
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationFilePath(), QStringList{"--participant"} + args);
    p->waitForStarted();
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 9 && qstrcmp(argv[1], "--participant") == 0) {
        QApplication app(argc, argv);
        return participant(argv);
    }
    QApplication app(argc, argv);
    QTemporaryDir state;
    const QString out = run({"start", state.path(), "av"});
    const QString server = out.mid(out.indexOf("BRV_AV_SERVER=") + 14).section('\n', 0, 0);
    if (server.isEmpty()) {
        fprintf(stderr, "bench_avroom: janus did not start: %s\n", qPrintable(out));
        return 1;
    }
    auto sign = [](const QString &u) {
        return run({"sign", u});
    };

    // 1. Join to first remote frame, 20 joins.
    {
        std::unique_ptr<QProcess> publisher(
            spawn({"pub", "7001", server, sign("pub"), "1", "0", "600"}));
        QTest::qWait(2000);
        ITRTCCloud *cloud = getTRTCShareInstance();
        Viewer sink;
        cloud->addCallback(&sink);
        setServer(cloud, server);
        auto w = window(20, 20, 640, 360);
        std::vector<double> ms;
        for (int i = 0; i < 20; ++i) {
            sink.firstFrames = 0;
            sink.takeAvailable();
            QElapsedTimer t;
            t.start();
            enter(cloud, "viewer", 7001, sign("viewer"));
            bool viewing = false;
            while (t.elapsed() < 10000 && sink.firstFrames == 0) {
                QTest::qWait(5);
                if (!viewing && !sink.takeAvailable().empty()) {
                    cloud->startRemoteView("pub", TRTCVideoStreamTypeBig,
                                           reinterpret_cast<TXView>(w->winId()));
                    viewing = true;
                }
            }
            ms.push_back(sink.firstFrames ? double(t.elapsed()) : 10000.0);
            if (qEnvironmentVariableIsSet("BRV_BENCH_TRACE"))
                fprintf(stderr, "join %d: entered %d ms, first frame %.0f ms\n", i,
                        sink.entered.load(), ms.back());
            const int exits = sink.exited;
            cloud->exitRoom();
            while (sink.exited == exits)
                QTest::qWait(5);
        }
        std::sort(ms.begin(), ms.end());
        printf("{\"figure\":\"join_to_first_frame\",\"p50_ms\":%.0f,\"p95_ms\":%.0f,\"max_ms\":%."
               "0f}\n",
               ms[ms.size() / 2], ms[size_t(std::ceil(0.95 * double(ms.size()))) - 1], ms.back());
        fflush(stdout);
        cloud->removeCallback(&sink);
        destroyTRTCShareInstance();
        publisher->kill();
        publisher->waitForFinished();
    }

    // 2. CPU: one publisher and one viewer, ours against bare pipelines.
    {
        std::unique_ptr<QProcess> pub(spawn({"pub", "7002", server, sign("pub"), "1", "0", "30"}));
        QTest::qWait(1500);
        std::unique_ptr<QProcess> sub(spawn({"sub", "7002", server, sign("sub"), "0", "1", "30"}));
        QTest::qWait(3000);
        const double ours = measure({pub->processId(), sub->processId()}, 8);
        pub->kill();
        sub->kill();
        pub->waitForFinished();
        sub->waitForFinished();
        // The peer: the same capture, codecs and rendering with gst-launch, RTP over loopback.
        QProcess peerPub;
        QProcess peerSub;
        peerSub.start(
            "gst-launch-1.0",
            QProcess::splitCommand(QStringLiteral(
                "-q udpsrc address=127.0.0.1 port=25000 caps=application/x-rtp,media=video,"
                "encoding-name=VP8,payload=96,clock-rate=90000 ! rtpjitterbuffer latency=50 ! "
                "rtpvp8depay ! vp8dec ! videoconvert ! videoscale ! "
                "video/x-raw,width=320,height=180 ! "
                "ximagesink sync=true "
                "udpsrc address=127.0.0.1 port=25002 caps=application/x-rtp,media=audio,"
                "encoding-name=OPUS,payload=111,clock-rate=48000 ! rtpjitterbuffer latency=50 ! "
                "rtpopusdepay ! opusdec ! audioconvert ! level ! fakesink sync=true")));
        peerPub.start(
            "gst-launch-1.0",
            QProcess::splitCommand(QStringLiteral(
                "-q videotestsrc is-live=true pattern=smpte horizontal-speed=2 ! "
                "video/x-raw,width=640,height=360,framerate=15/1 ! clockoverlay ! "
                "videoconvert ! video/x-raw,format=I420 ! tee name=t t. ! queue ! fakesink "
                "t. ! queue max-size-buffers=2 leaky=downstream ! vp8enc deadline=1 "
                "cpu-used=8 threads=1 end-usage=cbr target-bitrate=550000 "
                "keyframe-max-dist=60 error-resilient=default ! rtpvp8pay "
                "picture-id-mode=15-bit ! udpsink host=127.0.0.1 port=25000 "
                "audiotestsrc is-live=true wave=sine freq=440 volume=0.3 ! audioconvert ! "
                "audioresample ! level ! opusenc bitrate=32000 ! rtpopuspay ! "
                "udpsink host=127.0.0.1 port=25002")));
        peerPub.waitForStarted();
        peerSub.waitForStarted();
        const double peer = measure({peerPub.processId(), peerSub.processId()}, 8);
        peerPub.kill();
        peerSub.kill();
        peerPub.waitForFinished();
        peerSub.waitForFinished();
        printf("{\"figure\":\"cpu_pub_sub_640x360_15\",\"ours_pct\":%.1f,\"peer_pct\":%.1f,"
               "\"ratio\":%.2f}\n",
               ours, peer, peer > 0 ? ours / peer : 0.0);
        fflush(stdout);
    }

    // 3. Four participants, each publishing and viewing the other three.
    {
        std::vector<std::unique_ptr<QProcess>> people;
        for (int i = 0; i < 4; ++i) {
            const QString u = QStringLiteral("p%1").arg(i);
            people.emplace_back(spawn({u, "7003", server, sign(u), "1", "1", "24"}));
            QTest::qWait(300);
        }
        for (auto &p : people) {
            p->waitForFinished(40000);
            const QByteArray lines = p->readAllStandardOutput();
            for (const QByteArray &line : lines.split('\n')) {
                if (!line.trimmed().isEmpty())
                    printf("{\"figure\":\"four_participants\",\"view\":%s}\n", line.constData());
            }
        }
        fflush(stdout);
    }
    run({"stop", state.path()});
    return 0;
}
