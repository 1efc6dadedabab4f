// The audio/video SDK against bare GStreamer doing the same work, measured in the same run:
//  - CPU of the local preview at 640×360, 24 fps (virtual camera), beauty off and on, against
//    gst-launch-1.0 running the same capture, overlay, conversion, scaling and X11 rendering;
//  - startLocalPreview to the first frame at the window's sink;
//  - screen capture sources with 300×300 thumbnails, per source.
// Needs an X display (run.sh gives it a private one).
#include "ProcStat.h"

#include <brv_av.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace liteav;

namespace {

const int kSeconds = 6;

// Percent of one core a process uses over kSeconds, after a second to settle.
double measure(qint64 pid)
{
    QTest::qWait(1000);
    const double before = ProcStat::cpuSeconds(pid);
    QElapsedTimer t;
    t.start();
    QTest::qWait(kSeconds * 1000);
    return 100.0 * (ProcStat::cpuSeconds(pid) - before) / (t.elapsed() / 1000.0);
}

class FrameSink : public ITRTCCloudCallback
{
public:
    std::atomic<qint64> frameAt{0};
    QElapsedTimer clock;
    void onFirstVideoFrame(const char *, const TRTCVideoStreamType, const int, const int) override
    {
        frameAt = clock.nsecsElapsed();
    }
};

std::unique_ptr<QWidget> window(int w, int h, const QString &title = {})
{
    auto widget = std::make_unique<QWidget>();
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->setWindowTitle(title);
    widget->resize(w, h);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        std::fprintf(stderr, "window not exposed\n");
    return widget;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ITRTCCloud *cloud = getTRTCShareInstance();
    ITXDeviceManager *dm = cloud->getDeviceManager();
    dm->setCurrentDevice(TXMediaDeviceTypeCamera, "virtual:camera");
    TRTCVideoEncParam enc;
    enc.videoResolution = TRTCVideoResolution_640_360;
    enc.videoFps = 24;
    cloud->setVideoEncoderParam(enc);
    auto view = window(640, 360, "preview");

    // The peer: the same elements as the SDK's preview of the virtual camera, in its own window.
    QProcess peer;
    peer.start("gst-launch-1.0", {"-q",
                                  "videotestsrc",
                                  "is-live=true",
                                  "pattern=smpte",
                                  "horizontal-speed=2",
                                  "!",
                                  "clockoverlay",
                                  "time-format=%H:%M:%S",
                                  "halignment=left",
                                  "valignment=bottom",
                                  "font-desc=Sans 16",
                                  "shaded-background=true",
                                  "!",
                                  "video/x-raw,format=I420,width=640,height=360,framerate=24/1",
                                  "!",
                                  "videoflip",
                                  "!",
                                  "queue",
                                  "max-size-buffers=2",
                                  "leaky=downstream",
                                  "!",
                                  "videoscale",
                                  "add-borders=true",
                                  "!",
                                  "video/x-raw,width=640,height=360",
                                  "!",
                                  "videoconvert",
                                  "!",
                                  "ximagesink",
                                  "qos=false"});
    if (!peer.waitForStarted(5000)) {
        std::printf("gst-launch-1.0 did not start\n");
        return 1;
    }
    const double peerCpu = measure(peer.processId());
    peer.terminate();
    peer.waitForFinished(3000);

    const qint64 self = QCoreApplication::applicationPid();
    // What this process costs without a preview (its event loop, the measuring), taken off below.
    const double idleCpu = measure(self);
    cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 0, 0, 0);
    cloud->startLocalPreview(reinterpret_cast<TXView>(view->winId()));
    const double offCpu = measure(self);
    cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 5, 5, 5);
    const double onCpu = measure(self);
    cloud->stopLocalPreview();
    std::printf(
        "preview 640x360@24 CPU (%% of a core): gst-launch-1.0 %.1f; SDK process idle %.1f, "
        "beauty off %.1f (ratio %.2f, %.2f without the idle cost), beauty on %.1f "
        "(ratio %.2f, %.2f without the idle cost)\n",
        peerCpu, idleCpu, offCpu, offCpu / peerCpu, (offCpu - idleCpu) / peerCpu, onCpu,
        onCpu / peerCpu, (onCpu - idleCpu) / peerCpu);

    FrameSink sink;
    cloud->addCallback(&sink);
    std::vector<double> firstFrame;
    for (int i = 0; i < 10; ++i) {
        sink.frameAt = 0;
        sink.clock.start();
        cloud->startLocalPreview(reinterpret_cast<TXView>(view->winId()));
        QElapsedTimer wait;
        wait.start();
        while (!sink.frameAt && wait.elapsed() < 5000)
            QThread::msleep(1);
        if (sink.frameAt)
            firstFrame.push_back(sink.frameAt / 1e6);
        cloud->stopLocalPreview();
    }
    cloud->removeCallback(&sink);
    std::printf("startLocalPreview to first frame: median %.1f ms, worst %.1f ms over %zu runs\n",
                median(firstFrame),
                firstFrame.empty() ? 0 : *std::max_element(firstFrame.begin(), firstFrame.end()),
                firstFrame.size());

    std::vector<std::unique_ptr<QWidget>> windows;
    for (int i = 0; i < 6; ++i) {
        windows.push_back(window(300 + 60 * i, 200 + 40 * i, QStringLiteral("window %1").arg(i)));
        windows.back()->move(40 * i, 30 * i);
    }
    QTest::qWait(200);
    std::vector<double> perSource;
    uint32_t count = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        ITRTCScreenCaptureSourceList *list = cloud->getScreenCaptureSources({300, 300}, {300, 300});
        count = list->getCount();
        perSource.push_back(t.nsecsElapsed() / 1e6 / std::max<uint32_t>(count, 1));
        list->release();
    }
    std::printf("capture sources with 300x300 thumbnails: %u sources, median %.1f ms a source\n",
                count, median(perSource));
    destroyTRTCShareInstance();
    return 0;
}
