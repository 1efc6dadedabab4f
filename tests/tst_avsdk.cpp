// The audio/video SDK on its own: devices (virtual and a real sound server), device tests,
// rendering into windows, the room of one, screen capture, and its threading promises.
#include "PulseServer.h"
#include "ScratchFolders.h"
#include "WindowPixels.h"

#include <brv_av.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

using namespace liteav;

namespace {

// Records the events it receives, and on which thread.
class Sink : public ITRTCCloudCallback
{
public:
    struct Event
    {
        QString name;
        QString text;
        qint64 a = 0;
        qint64 b = 0;
        Qt::HANDLE thread = nullptr;
    };

    QList<Event> events() const
    {
        QMutexLocker lock(&mutex_);
        return events_;
    }
    QList<Event> named(const QString &name) const
    {
        QList<Event> out;
        for (const Event &e : events())
            if (e.name == name)
                out << e;
        return out;
    }
    bool waitFor(const QString &name, int count = 1, int ms = 5000) const
    {
        return QTest::qWaitFor([&] { return named(name).size() >= count; }, ms);
    }
    qint64 last(const QString &name) const
    {
        const QList<Event> e = named(name);
        return e.isEmpty() ? -1 : e.last().a;
    }
    void clear()
    {
        QMutexLocker lock(&mutex_);
        events_.clear();
    }

    std::function<void()> inEvent; // run inside every event, on the SDK's thread
    std::atomic<bool> running{false};

    void onError(TXLiteAVError code, const char *msg, void *) override
    {
        add("onError", msg, code);
    }
    void onWarning(TXLiteAVWarning code, const char *msg, void *) override
    {
        add("onWarning", msg, code);
    }
    void onEnterRoom(int result) override { add("onEnterRoom", {}, result); }
    void onExitRoom(int reason) override { add("onExitRoom", {}, reason); }
    void onFirstVideoFrame(const char *userId, const TRTCVideoStreamType type, const int w,
                           const int h) override
    {
        add("onFirstVideoFrame", userId, w, h);
        Q_UNUSED(type)
    }
    void onSendFirstLocalVideoFrame(const TRTCVideoStreamType type) override
    {
        add("onSendFirstLocalVideoFrame", {}, type);
    }
    void onSendFirstLocalAudioFrame() override { add("onSendFirstLocalAudioFrame"); }
    void onUserVoiceVolume(TRTCVolumeInfo *v, uint32_t count, uint32_t total) override
    {
        add("onUserVoiceVolume", count ? QString::fromUtf8(v[0].userId) : "-",
            count ? v[0].volume : -1, total);
    }
    void onDeviceChange(const char *id, TXMediaDeviceType type, TXMediaDeviceState state) override
    {
        add("onDeviceChange", id, type, state);
    }
    void onTestMicVolume(uint32_t volume) override { add("onTestMicVolume", {}, volume); }
    void onTestSpeakerVolume(uint32_t volume) override { add("onTestSpeakerVolume", {}, volume); }
    void onScreenCaptureStarted() override { add("onScreenCaptureStarted"); }
    void onScreenCaptureStoped(int reason) override { add("onScreenCaptureStoped", {}, reason); }
    void onScreenCapturePaused(int reason) override { add("onScreenCapturePaused", {}, reason); }
    void onScreenCaptureResumed(int reason) override { add("onScreenCaptureResumed", {}, reason); }

private:
    void add(const QString &name, const QString &text = {}, qint64 a = 0, qint64 b = 0)
    {
        running = true;
        {
            QMutexLocker lock(&mutex_);
            events_ << Event{name, text, a, b, QThread::currentThreadId()};
        }
        if (inEvent)
            inEvent();
        running = false;
    }

    mutable QMutex mutex_;
    QList<Event> events_;
};

QStringList deviceIds(ITXDeviceManager *dm, TXMediaDeviceType type)
{
    QStringList ids;
    ITXDeviceCollection *list = dm->getDevicesList(type);
    for (uint32_t i = 0; list && i < list->getCount(); ++i)
        ids << QString::fromUtf8(list->getDevicePID(i));
    if (list)
        list->release();
    return ids;
}

// A plain top-level window to draw into.
std::unique_ptr<QWidget> videoWindow(int w = 320, int h = 180)
{
    auto widget = std::make_unique<QWidget>();
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->setStyleSheet("background-color: rgb(0, 0, 0);");
    widget->resize(w, h);
    widget->move(20, 20);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        qWarning("video window not exposed");
    return widget;
}

TXView viewOf(QWidget *w)
{
    return reinterpret_cast<TXView>(w->winId());
}

// Equal but for what a round trip through YUV changes.
bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 16 && qAbs(qGreen(a) - qGreen(b)) < 16 &&
           qAbs(qBlue(a) - qBlue(b)) < 16;
}

// A mono 16-bit WAV file of a 660 Hz tone at half scale.
bool writeToneWav(const QString &path, double seconds)
{
    const int rate = 48000;
    const int samples = int(rate * seconds);
    QByteArray data;
    for (int i = 0; i < samples; ++i) {
        const qint16 v = qint16(16000 * std::sin(2 * M_PI * 660 * i / rate));
        data.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    auto le32 = [](quint32 v) {
        return QByteArray(1, char(v & 0xff)) + char((v >> 8) & 0xff) + char((v >> 16) & 0xff) +
               char((v >> 24) & 0xff);
    };
    auto le16 = [](quint16 v) {
        return QByteArray(1, char(v & 0xff)) + char(v >> 8);
    };
    QByteArray file = "RIFF" + le32(quint32(36 + data.size())) + "WAVEfmt " + le32(16) + le16(1) +
                      le16(1) + le32(rate) + le32(rate * 2) + le16(2) + le16(16) + "data" +
                      le32(quint32(data.size())) + data;
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(file) == file.size();
}

} // namespace

class TestAvSdk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { PulseServer::noSoundServer(); }
    void cleanup() { destroyTRTCShareInstance(); }

    void versionAndVirtualDevices()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        QCOMPARE(getTRTCShareInstance(), cloud);
        const QString version = cloud->getSDKVersion();
        QVERIFY2(version.startsWith("brimvale-av ") && version.contains("GStreamer 1."),
                 qPrintable(version));

        ITXDeviceManager *dm = cloud->getDeviceManager();
        QVERIFY(dm);
        // A machine without devices still has one of each type, the virtual one last.
        const QStringList cams = deviceIds(dm, TXMediaDeviceTypeCamera);
        const QStringList mics = deviceIds(dm, TXMediaDeviceTypeMic);
        const QStringList spks = deviceIds(dm, TXMediaDeviceTypeSpeaker);
        QCOMPARE(cams.value(cams.size() - 1), QString("virtual:camera"));
        QCOMPARE(mics.value(mics.size() - 1), QString("virtual:microphone"));
        QCOMPARE(spks.value(spks.size() - 1), QString("virtual:speaker"));
        QVERIFY(!dm->getDevicesList(TXMediaDeviceType(7)));

        ITXDeviceInfo *current = dm->getCurrentDevice(TXMediaDeviceTypeMic);
        QCOMPARE(QString(current->getDevicePID()), mics.first());
        current->release();
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "no such device"),
                 int(ERR_DEVICE_NOT_FOUND));
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, nullptr), int(ERR_INVALID_PARAMETER));
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "virtual:microphone"), 0);
        current = dm->getCurrentDevice(TXMediaDeviceTypeMic);
        QCOMPARE(QString(current->getDevicePID()), QString("virtual:microphone"));
        current->release();

        // Ids are the same for a new instance.
        destroyTRTCShareInstance();
        QCOMPARE(deviceIds(getTRTCShareInstance()->getDeviceManager(), TXMediaDeviceTypeCamera),
                 cams);
    }

    void micTestCallbacksComeFromTheSdkThread()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        cloud->addCallback(&sink); // once only
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "virtual:microphone"), 0);
        QCOMPARE(dm->startMicDeviceTest(100), 0);
        QVERIFY(sink.waitFor("onTestMicVolume", 4));
        dm->stopMicDeviceTest();
        const auto volumes = sink.named("onTestMicVolume");
        for (const Sink::Event &e : volumes) {
            QVERIFY(e.thread != QThread::currentThreadId());
            QVERIFY2(e.a > 40 && e.a <= 100, qPrintable(QString::number(e.a))); // the test tone
        }
        // About one reading per interval, not one per buffer and not one per sink twice.
        sink.clear();
        QCOMPARE(dm->startMicDeviceTest(200), 0);
        QTest::qWait(1100);
        dm->stopMicDeviceTest();
        const int n = sink.named("onTestMicVolume").size();
        QVERIFY2(n >= 3 && n <= 7, qPrintable(QString::number(n)));
        cloud->removeCallback(&sink);
    }

    void noCallbackAfterRemoveCallback()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink slow;
        Sink other;
        // A sink busy in an event when it is removed: removeCallback waits for it.
        slow.inEvent = [] {
            QThread::msleep(30);
        };
        cloud->addCallback(&slow);
        cloud->addCallback(&other);
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QCOMPARE(dm->startMicDeviceTest(10), 0);
        QVERIFY(slow.waitFor("onTestMicVolume", 3));
        for (int round = 0; round < 5; ++round) {
            QVERIFY(QTest::qWaitFor([&] { return slow.running.load(); }, 2000));
            cloud->removeCallback(&slow);
            QVERIFY(!slow.running);
            const int seen = slow.events().size();
            QTest::qWait(60);
            QCOMPARE(slow.events().size(), seen);
            cloud->addCallback(&slow);
        }
        cloud->removeCallback(&slow);
        // A sink may remove itself from inside an event.
        std::atomic<int> after{0};
        std::atomic<bool> removed{false};
        other.inEvent = [&] {
            if (removed)
                ++after;
            else {
                cloud->removeCallback(&other);
                removed = true;
            }
        };
        QVERIFY(QTest::qWaitFor([&] { return removed.load(); }, 2000));
        QTest::qWait(100);
        QCOMPARE(after.load(), 0);
        dm->stopMicDeviceTest();
    }

    void cameraTestDrawsAndBeautyChangesThePicture()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeCamera, "virtual:camera"), 0);
        auto window = videoWindow(400, 225);
        cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 0, 0, 0);
        QCOMPARE(dm->startCameraDeviceTest(viewOf(window.get())), 0);
        QImage first;
        QVERIFY(QTest::qWaitFor(
            [&] {
                first = grabNative(window.get());
                return nonBlackPixels(first) > first.width() * first.height() / 2;
            },
            5000));
        // The picture fills the window and moves.
        QCOMPARE(first.size(), QSize(400, 225));
        QTest::qWait(300);
        QVERIFY(grabNative(window.get()) != first);
        const QVector<double> plain = meanRgb(grabNative(window.get()));

        cloud->setBeautyStyle(TRTCBeautyStyleNature, 9, 9, 9);
        // Whitening lifts the picture; reddening moves it towards red. A loaded machine (or a
        // sanitizer build) may take a few frames to show the new filter.
        QVector<double> beauty;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         beauty = meanRgb(grabNative(window.get()));
                         return beauty[1] > plain[1] + 10 &&
                                beauty[0] - beauty[2] > plain[0] - plain[2] + 5;
                     },
                     5000),
                 qPrintable(QString("%1 %2").arg(plain[1]).arg(beauty.value(1))));

        // The picture follows the window's size.
        window->resize(200, 150);
        QTest::qWait(600);
        const QImage small = grabNative(window.get());
        QCOMPARE(small.size(), QSize(200, 150));
        // 16:9 in 4:3: black borders above and below, the picture across the middle.
        QCOMPARE(nonBlackPixels(small.copy(0, 0, 200, 15)), 0);
        QVERIFY(nonBlackPixels(small.copy(0, 70, 200, 10)) > 200 * 10 / 2);
        QCOMPARE(dm->stopCameraDeviceTest(), 0);
    }

    void drawsIntoTranslucentWindows()
    {
        // Frameless themed windows are translucent: 32-bit windows, and their native children too.
        QWidget top;
        top.setAttribute(Qt::WA_TranslucentBackground);
        top.setWindowFlags(Qt::FramelessWindowHint);
        top.resize(400, 300);
        QWidget *view = new QWidget(&top);
        view->setAttribute(Qt::WA_NativeWindow);
        view->setGeometry(0, 30, 320, 180);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        ITRTCCloud *cloud = getTRTCShareInstance();
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QCOMPARE(dm->startCameraDeviceTest(viewOf(view)), 0);
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage img = grabNative(view);
                return nonBlackPixels(img) > img.width() * img.height() / 2;
            },
            5000));
        view->resize(160, 90);
        QVERIFY(
            QTest::qWaitFor([&] { return nonBlackPixels(grabNative(view)) > 160 * 90 / 2; }, 3000));
        QCOMPARE(dm->stopCameraDeviceTest(), 0);
    }

    void previewRenderParamsAndDestructionWhileRendering()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        TRTCVideoEncParam enc;
        enc.videoResolution = TRTCVideoResolution_480_360;
        enc.videoFps = 24;
        cloud->setVideoEncoderParam(enc);
        TRTCRenderParams render;
        render.rotation = TRTCVideoRotation90;
        cloud->setLocalRenderParams(render);
        auto window = videoWindow();
        cloud->startLocalPreview(viewOf(window.get()));
        QVERIFY(sink.waitFor("onFirstVideoFrame"));
        const Sink::Event frame = sink.named("onFirstVideoFrame").first();
        QCOMPARE(frame.text, QString()); // the own user
        QCOMPARE(frame.a, 360);          // turned by 90°
        QCOMPARE(frame.b, 480);
        QVERIFY(frame.thread != QThread::currentThreadId());

        // The window goes away while it is drawn into; then the instance does, while drawing.
        window.reset();
        QTest::qWait(500);
        auto second = videoWindow();
        cloud->startLocalPreview(viewOf(second.get()));
        QTest::qWait(300);
        cloud->removeCallback(&sink);
        destroyTRTCShareInstance();
        QVERIFY(second->isVisible());
        QVERIFY(sink.named("onError").isEmpty());
    }

    void rotationAndMirrorShowInThePicture()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        auto window = videoWindow(320, 180);
        cloud->startLocalPreview(viewOf(window.get()));
        QVERIFY(QTest::qWaitFor(
            [&] { return nonBlackPixels(grabNative(window.get())) > 320 * 180 / 2; }));
        // The test pattern's bottom band is darker than its bars above.
        const QImage upright = grabNative(window.get());
        QVERIFY(qGray(upright.pixel(160, 20)) > qGray(upright.pixel(160, 170)) + 40);

        // Turned by 90° a landscape picture stands in the middle of the landscape window.
        TRTCRenderParams render;
        render.rotation = TRTCVideoRotation90;
        cloud->setLocalRenderParams(render);
        QVERIFY(QTest::qWaitFor([&] {
            const QImage img = grabNative(window.get());
            return nonBlackPixels(img.copy(0, 0, 40, 180)) == 0 &&
                   nonBlackPixels(img.copy(150, 0, 20, 180)) > 20 * 180 / 2;
        }));
        // Upside down: the dark band moves to the top.
        render.rotation = TRTCVideoRotation180;
        cloud->setLocalRenderParams(render);
        QVERIFY(QTest::qWaitFor([&] {
            const QImage img = grabNative(window.get());
            return qGray(img.pixel(160, 170)) > qGray(img.pixel(160, 10)) + 40;
        }));
        cloud->setLocalRenderParams(TRTCRenderParams{});
        cloud->stopLocalPreview();
    }

    void encoderSmoothingAndHiddenWindows()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        auto window = videoWindow(320, 180);
        TRTCVideoEncParam enc;
        enc.videoResolution = TRTCVideoResolution_640_360;
        cloud->setVideoEncoderParam(enc);
        cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 0, 0, 0);
        cloud->startLocalPreview(viewOf(window.get()));
        QVERIFY(QTest::qWaitFor(
            [&] { return nonBlackPixels(grabNative(window.get())) > 320 * 180 / 2; }));
        QVERIFY(nonBlackPixels(grabNative(window.get()).copy(0, 0, 20, 180)) > 20 * 180 / 2);

        // Smoothing softens the pattern's sharp edges: the steps between neighbours get lower.
        auto edges = [&] {
            const QImage img = grabNative(window.get());
            qint64 steps = 0;
            for (int y = 10; y < 170; y += 5) {
                int highest = 0;
                for (int x = 1; x < img.width(); ++x)
                    highest =
                        qMax(highest, qAbs(qGray(img.pixel(x, y)) - qGray(img.pixel(x - 1, y))));
                steps += highest;
            }
            return steps;
        };
        const qint64 sharp = edges();
        cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 9, 0, 0);
        QTest::qWait(300);
        const qint64 smooth = edges();
        QVERIFY2(smooth < sharp * 8 / 10, qPrintable(QString("%1 %2").arg(sharp).arg(smooth)));
        cloud->setBeautyStyle(TRTCBeautyStyleSmooth, 0, 0, 0);

        // A 4:3 encoder size while running: the 16:9 window shows it with bars at the sides.
        enc.videoResolution = TRTCVideoResolution_640_480;
        cloud->setVideoEncoderParam(enc);
        QVERIFY(QTest::qWaitFor([&] {
            const QImage img = grabNative(window.get());
            return nonBlackPixels(img.copy(0, 0, 20, 180)) == 0 &&
                   nonBlackPixels(img.copy(150, 0, 20, 180)) > 20 * 180 / 2;
        }));

        // Hidden and shown again, the window gets the picture again.
        window->hide();
        QTest::qWait(200);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(QTest::qWaitFor(
            [&] { return nonBlackPixels(grabNative(window.get())) > 320 * 180 / 3; }));

        // No event reaches a sink once the instance is gone, even with events in flight.
        Sink sink;
        cloud->addCallback(&sink);
        QCOMPARE(cloud->getDeviceManager()->startMicDeviceTest(10), 0);
        QVERIFY(sink.waitFor("onTestMicVolume", 3));
        destroyTRTCShareInstance();
        const int seen = sink.events().size();
        QTest::qWait(100);
        QCOMPARE(sink.events().size(), seen);
    }

    void callsFromManyThreadsAndFromEvents()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        ITXDeviceManager *dm = cloud->getDeviceManager();
        auto window = videoWindow();
        const TXView view = viewOf(window.get());
        Sink reentrant;
        // An event handler calls back into the SDK: no deadlock, and the call takes effect.
        std::atomic<bool> stoppedFromEvent{false};
        reentrant.inEvent = [&] {
            if (!stoppedFromEvent.exchange(true))
                cloud->getDeviceManager()->stopMicDeviceTest();
        };
        cloud->addCallback(&reentrant);
        QCOMPARE(dm->startMicDeviceTest(20), 0);
        QVERIFY(QTest::qWaitFor([&] { return stoppedFromEvent.load(); }));
        QTest::qWait(200);
        const int seen = reentrant.named("onTestMicVolume").size();
        QTest::qWait(200);
        QCOMPARE(reentrant.named("onTestMicVolume").size(), seen);
        cloud->removeCallback(&reentrant);

        // Several threads drive the SDK at once while sinks come and go.
        std::vector<std::unique_ptr<QThread>> threads;
        std::atomic<int> done{0};
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                Sink own;
                for (int i = 0; i < 15; ++i) {
                    cloud->addCallback(&own);
                    switch ((t + i) % 4) {
                    case 0:
                        cloud->startLocalPreview(view);
                        break;
                    case 1:
                        dm->startMicDeviceTest(10);
                        break;
                    case 2:
                        cloud->setBeautyStyle(TRTCBeautyStyleNature, uint32_t(i % 10), 3, 3);
                        dm->stopMicDeviceTest();
                        break;
                    default:
                        cloud->stopLocalPreview();
                        break;
                    }
                    cloud->removeCallback(&own);
                }
                ++done;
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(30000));
        QCOMPARE(done.load(), 4);
        cloud->stopLocalPreview();
        dm->stopMicDeviceTest();

        // The instance can go and come back while things run.
        for (int round = 0; round < 3; ++round) {
            Sink sink;
            ITRTCCloud *again = getTRTCShareInstance();
            again->addCallback(&sink);
            QCOMPARE(again->getDeviceManager()->startMicDeviceTest(50), 0);
            again->startLocalPreview(view);
            QVERIFY(sink.waitFor("onTestMicVolume"));
            again->removeCallback(&sink);
            destroyTRTCShareInstance();
        }
    }

    void previewAndTestTogetherAndScreenInTheRoom()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink first;
        Sink second;
        cloud->addCallback(&first);
        cloud->addCallback(&second);
        // Preview and camera test each draw into their own window; stopping one leaves the other.
        auto previewWindow = videoWindow(200, 112);
        auto testWindow = videoWindow(200, 112);
        testWindow->move(300, 20);
        cloud->startLocalPreview(viewOf(previewWindow.get()));
        QCOMPARE(cloud->getDeviceManager()->startCameraDeviceTest(viewOf(testWindow.get())), 0);
        auto drawn = [](QWidget *w) {
            return nonBlackPixels(grabNative(w)) > 200 * 112 / 2;
        };
        QVERIFY(
            QTest::qWaitFor([&] { return drawn(previewWindow.get()) && drawn(testWindow.get()); }));
        cloud->stopLocalPreview();
        const QImage before = grabNative(testWindow.get());
        QTest::qWait(300);
        QVERIFY(grabNative(testWindow.get()) != before); // still moving
        cloud->getDeviceManager()->stopCameraDeviceTest();

        // In the room a screen capture is the sub stream; leaving the room ends it, and says so.
        TRTCParams params;
        params.userId = "u2";
        params.roomId = 99;
        cloud->enterRoom(params, TRTCAppSceneLIVE);
        QVERIFY(first.waitFor("onEnterRoom") && second.waitFor("onEnterRoom"));
        cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, nullptr);
        QVERIFY(first.waitFor("onScreenCaptureStarted"));
        QVERIFY(first.waitFor("onSendFirstLocalVideoFrame"));
        QCOMPARE(first.named("onSendFirstLocalVideoFrame").first().a,
                 qint64(TRTCVideoStreamTypeSub));
        cloud->exitRoom();
        QVERIFY(first.waitFor("onExitRoom"));
        QVERIFY(first.waitFor("onScreenCaptureStoped"));
        // Every sink hears every event.
        QVERIFY(second.waitFor("onScreenCaptureStoped"));
        QCOMPARE(second.named("onEnterRoom").size(), first.named("onEnterRoom").size());
        cloud->removeCallback(&first);
        cloud->removeCallback(&second);
    }

    void audioSettingsAndRoomRules()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        // Leaving a room never entered is still answered.
        cloud->exitRoom();
        QVERIFY(sink.waitFor("onExitRoom"));
        QCOMPARE(sink.named("onExitRoom").first().a, 0);
        TRTCParams noRoom;
        noRoom.userId = "u1";
        cloud->enterRoom(noRoom, TRTCAppSceneLIVE);
        TRTCParams named;
        named.userId = "u1";
        named.strRoomId = "class-a";
        cloud->enterRoom(named, TRTCAppSceneLIVE);
        QVERIFY(sink.waitFor("onEnterRoom", 2));
        QCOMPARE(sink.named("onEnterRoom").at(0).a, qint64(ERR_ROOM_ID_INVALID));
        QVERIFY(sink.named("onEnterRoom").at(1).a > 0);

        cloud->setAudioPlayoutVolume(150);
        QCOMPARE(cloud->getAudioPlayoutVolume(), 100);
        cloud->setAudioPlayoutVolume(-5);
        QCOMPARE(cloud->getAudioPlayoutVolume(), 0);
        QCOMPARE(cloud->setLocalVideoRenderCallback(TRTCVideoPixelFormat_I420,
                                                    TRTCVideoBufferType_Buffer, nullptr),
                 0);

        // Volume evaluation: readings at the interval, silence at capture volume 0, none
        // once it is switched off.
        TRTCAudioVolumeEvaluateParams eval;
        eval.interval = 100;
        cloud->enableAudioVolumeEvaluation(true, eval);
        cloud->startLocalAudio(TRTCAudioQualityDefault);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onUserVoiceVolume") > 40; }));
        cloud->setAudioCaptureVolume(0);
        QCOMPARE(cloud->getAudioCaptureVolume(), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onUserVoiceVolume") == 0; }));
        cloud->setAudioCaptureVolume(100);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onUserVoiceVolume") > 40; }));
        sink.clear();
        QTest::qWait(1000);
        const int perSecond = sink.named("onUserVoiceVolume").size();
        QVERIFY2(perSecond >= 7 && perSecond <= 12, qPrintable(QString::number(perSecond)));
        cloud->enableAudioVolumeEvaluation(false, TRTCAudioVolumeEvaluateParams{});
        QTest::qWait(150);
        sink.clear();
        QTest::qWait(400);
        QCOMPARE(sink.named("onUserVoiceVolume").size(), 0);
        cloud->stopLocalAudio();
        cloud->exitRoom();
        cloud->removeCallback(&sink);
    }

    void brokenTestFileIsReported()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        QTemporaryDir dir;
        QFile junk(dir.filePath("junk.mp3"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QCOMPARE(dm->startSpeakerDeviceTest(junk.fileName().toUtf8().constData()), 0);
        // Not silence: the decoder's failure comes as a speaker error.
        QVERIFY(sink.waitFor("onError"));
        QCOMPARE(sink.named("onError").first().a, qint64(ERR_SPEAKER_START_FAIL));
        dm->stopSpeakerDeviceTest();

        ITXDeviceCollection *list = dm->getDevicesList(TXMediaDeviceTypeCamera);
        QCOMPARE(QString(list->getDevicePID(list->getCount())), QString());
        QCOMPARE(QString(list->getDeviceName(99)), QString());
        list->release();
        cloud->removeCallback(&sink);
    }

    void roomOfOne()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        TRTCParams bad;
        bad.roomId = 1234;
        cloud->enterRoom(bad, TRTCAppSceneLIVE);
        QVERIFY(sink.waitFor("onEnterRoom"));
        QCOMPARE(sink.named("onEnterRoom").first().a, qint64(ERR_USER_ID_INVALID));
        sink.clear();

        auto window = videoWindow();
        cloud->startLocalPreview(viewOf(window.get()));
        QVERIFY(sink.waitFor("onFirstVideoFrame"));
        TRTCParams params;
        params.sdkAppId = 1400000001;
        params.userId = "teacher-7";
        params.userSig = "sig";
        params.roomId = 1234;
        params.streamId = "Camera_1234_teacher-7";
        cloud->enterRoom(params, TRTCAppSceneLIVE);
        QVERIFY(sink.waitFor("onEnterRoom"));
        QVERIFY(sink.named("onEnterRoom").first().a > 0);
        QVERIFY(sink.waitFor("onSendFirstLocalVideoFrame"));

        TRTCAudioVolumeEvaluateParams eval;
        eval.interval = 200;
        cloud->enableAudioVolumeEvaluation(true, eval);
        cloud->startLocalAudio(TRTCAudioQualityDefault);
        QVERIFY(sink.waitFor("onSendFirstLocalAudioFrame"));
        QVERIFY(sink.waitFor("onUserVoiceVolume", 3));
        const Sink::Event volume = sink.named("onUserVoiceVolume").last();
        QCOMPARE(volume.text, QString()); // own user id is empty
        QVERIFY(volume.a > 40);
        cloud->muteLocalAudio(true);
        QVERIFY(QTest::qWaitFor([&] { return sink.named("onUserVoiceVolume").last().a == 0; }));

        cloud->exitRoom();
        QVERIFY(sink.waitFor("onExitRoom"));
        QCOMPARE(sink.named("onExitRoom").first().a, 0);
        cloud->stopLocalAudio();
        cloud->stopLocalPreview();
        cloud->removeCallback(&sink);
    }

    void screenSourcesThumbnailsAndCaptureOffScreen()
    {
        QWidget target;
        target.setWindowTitle("brimvale capture target");
        target.setStyleSheet("background-color: rgb(200, 30, 40);");
        target.setAutoFillBackground(true);
        target.setGeometry(100, 100, 300, 200);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));
        QTest::qWait(100);

        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        ITRTCScreenCaptureSourceList *list = cloud->getScreenCaptureSources({300, 300}, {300, 300});
        QVERIFY(list && list->getCount() >= 2);
        TRTCScreenCaptureSourceInfo screen = list->getSourceInfo(0);
        QCOMPARE(screen.type, TRTCScreenCaptureSourceTypeScreen);
        QVERIFY(screen.isMainScreen);
        TRTCScreenCaptureSourceInfo window;
        for (uint32_t i = 0; i < list->getCount(); ++i)
            if (QString::fromUtf8(list->getSourceInfo(i).sourceName) == target.windowTitle())
                window = list->getSourceInfo(i);
        QCOMPARE(window.type, TRTCScreenCaptureSourceTypeWindow);
        QCOMPARE(reinterpret_cast<WId>(window.sourceId), target.winId());
        QCOMPARE(int(window.width), 300);
        QCOMPARE(window.thumbBGRA.width, 300u);
        QCOMPARE(window.thumbBGRA.height, 300u);
        QCOMPARE(window.thumbBGRA.length, 300u * 300u * 4u);
        const QImage thumb(reinterpret_cast<const uchar *>(window.thumbBGRA.buffer), 300, 300,
                           QImage::Format_ARGB32);
        // A 3:2 window fills the width; the middle is the window's colour, above it black.
        QCOMPARE(QColor(thumb.pixel(150, 150)), QColor(200, 30, 40));
        QCOMPARE(QColor(thumb.pixel(150, 10)), QColor(0, 0, 0));
        QVERIFY(screen.thumbBGRA.buffer && screen.thumbBGRA.width == 300);
        list->release();

        // Partly off the screen: the thumbnail shows the visible part, the rest stays black.
        target.move(-150, 100);
        QTest::qWait(200);
        list = cloud->getScreenCaptureSources({300, 300}, {300, 300});
        TRTCScreenCaptureSourceInfo moved;
        for (uint32_t i = 0; i < list->getCount(); ++i)
            if (QString::fromUtf8(list->getSourceInfo(i).sourceName) == target.windowTitle())
                moved = list->getSourceInfo(i);
        QCOMPARE(moved.x, -150);
        QVERIFY(moved.thumbBGRA.buffer);
        const QImage clipped(reinterpret_cast<const uchar *>(moved.thumbBGRA.buffer), 300, 300,
                             QImage::Format_ARGB32);
        QCOMPARE(QColor(clipped.pixel(40, 150)), QColor(0, 0, 0));
        QVERIFY(near(clipped.pixel(260, 150), qRgb(200, 30, 40)));

        // Pause and resume are reported.
        cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, nullptr);
        QVERIFY(sink.waitFor("onScreenCaptureStarted"));
        cloud->pauseScreenCapture();
        cloud->resumeScreenCapture();
        QVERIFY(sink.waitFor("onScreenCaptureResumed"));
        QCOMPARE(sink.named("onScreenCapturePaused").size(), 1);
        cloud->stopScreenCapture();
        QVERIFY(sink.waitFor("onScreenCaptureStoped"));
        sink.clear();

        // Partly off the screen: capture what is visible, and the process lives on.
        target.move(-150, -50);
        QTest::qWait(200);
        cloud->selectScreenCaptureTarget(window, RECT{}, TRTCScreenCaptureProperty{});
        TRTCVideoEncParam enc;
        enc.videoResolution = TRTCVideoResolution_1280_720;
        cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, &enc);
        QVERIFY(sink.waitFor("onScreenCaptureStarted"));
        QTest::qWait(300);
        cloud->stopScreenCapture();
        QVERIFY(sink.waitFor("onScreenCaptureStoped"));
        QCOMPARE(sink.named("onScreenCaptureStoped").first().a, 0);
        QVERIFY(sink.named("onError").isEmpty());

        // What is captured is the target's own picture: shown in a preview window, the red
        // window's middle part fills it.
        target.move(100, 100);
        QTest::qWait(200);
        auto preview = videoWindow(160, 90);
        preview->move(700, 500);
        QTest::qWait(200);
        sink.clear();
        cloud->selectScreenCaptureTarget(window, RECT{50, 50, 210, 140},
                                         TRTCScreenCaptureProperty{});
        cloud->startScreenCapture(viewOf(preview.get()), TRTCVideoStreamTypeSub, &enc);
        QVERIFY(sink.waitFor("onScreenCaptureStarted"));
        QVERIFY(QTest::qWaitFor([&] {
            const QImage img = grabNative(preview.get());
            return near(img.pixel(80, 45), qRgb(200, 30, 40)) &&
                   near(img.pixel(10, 10), qRgb(200, 30, 40));
        }));
        cloud->stopScreenCapture();
        preview.reset();

        // A captured window that goes away ends the capture.
        sink.clear();
        auto doomed = std::make_unique<QWidget>();
        doomed->setWindowTitle("brimvale doomed window");
        doomed->setGeometry(50, 50, 200, 100);
        doomed->show();
        QVERIFY(QTest::qWaitForWindowExposed(doomed.get()));
        TRTCScreenCaptureSourceInfo doomedSource = window;
        doomedSource.sourceName = nullptr; // its list is gone
        doomedSource.sourceId = reinterpret_cast<TXView>(doomed->winId());
        cloud->selectScreenCaptureTarget(doomedSource, RECT{10, 10, 110, 60},
                                         TRTCScreenCaptureProperty{});
        cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, &enc);
        QVERIFY(sink.waitFor("onScreenCaptureStarted"));
        doomed.reset();
        QVERIFY(sink.waitFor("onScreenCaptureStoped"));
        QCOMPARE(sink.named("onScreenCaptureStoped").first().a, 1);
        list->release();
        cloud->removeCallback(&sink);
    }

    void soundServerDevices()
    {
        if (!PulseServer::available())
            QSKIP("pulseaudio is not installed");
        PulseServer pulse;
        QVERIFY2(pulse.start(), qPrintable(pulse.errorText()));
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        ITXDeviceManager *dm = cloud->getDeviceManager();
        const QStringList mics = deviceIds(dm, TXMediaDeviceTypeMic);
        const QStringList spks = deviceIds(dm, TXMediaDeviceTypeSpeaker);
        // Real devices first, monitors of sinks left out, the virtual device last.
        QCOMPARE(mics, QStringList({"pulse:brv_mic", "virtual:microphone"}));
        QVERIFY(spks.contains("pulse:brv_speaker") && spks.last() == "virtual:speaker");

        // The level follows the tone and falls to 0 without it.
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "pulse:brv_mic"), 0);
        QVERIFY(pulse.startTone());
        QCOMPARE(dm->startMicDeviceTest(100), 0);
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto v = sink.named("onTestMicVolume");
                return !v.isEmpty() && v.last().a > 50;
            },
            5000));
        QVERIFY(pulse.stopTone());
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto v = sink.named("onTestMicVolume");
                return !v.isEmpty() && v.last().a == 0;
            },
            5000));
        dm->stopMicDeviceTest();

        // The speaker test plays on the chosen sound server sink.
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeSpeaker, "pulse:brv_speaker"), 0);
        QCOMPARE(dm->startSpeakerDeviceTest(""), 0);
        QVERIFY(sink.waitFor("onTestSpeakerVolume", 2));
        QString sinks, inputs;
        QVERIFY(pulse.pactl({"list", "short", "sinks"}, &sinks));
        const QString speakerIndex =
            sinks.split('\n').filter(PulseServer::kSpeaker).value(0).section('\t', 0, 0);
        QVERIFY(QTest::qWaitFor([&] {
            pulse.pactl({"list", "short", "sink-inputs"}, &inputs);
            return inputs.split('\n').filter(QRegExp("^\\d+\\t" + speakerIndex + "\\t")).size() ==
                   1;
        }));
        dm->stopSpeakerDeviceTest();
        QCOMPARE(dm->startSpeakerDeviceTest("/no/such/file.wav"), int(ERR_SPEAKER_START_FAIL));
        // A file plays in a loop: 0.7 s of tone gives two readings a round, more than two show
        // that it went round again.
        QTemporaryDir dir;
        const QString wav = dir.filePath("tone.wav");
        QVERIFY(writeToneWav(wav, 0.7));
        sink.clear();
        QCOMPARE(dm->startSpeakerDeviceTest(wav.toUtf8().constData()), 0);
        auto loud = [&] {
            const auto played = sink.named("onTestSpeakerVolume");
            return std::count_if(played.begin(), played.end(),
                                 [](const Sink::Event &e) { return e.a > 40; });
        };
        // The null sink may take a moment to start a stream after the previous one.
        QVERIFY2(QTest::qWaitFor([&] { return loud() >= 3; }, 8000),
                 qPrintable(QString::number(loud())));
        dm->stopSpeakerDeviceTest();
        QVERIFY(sink.named("onError").isEmpty());

        // A running microphone test moves with the selection: from the silent sound server
        // microphone to the virtual one (a tone), and back to the first remaining one when the
        // selected microphone goes away while it is tested.
        QCOMPARE(dm->startMicDeviceTest(100), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestMicVolume") == 0; }, 5000));
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "virtual:microphone"), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestMicVolume") > 40; }, 5000));
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeMic, "pulse:brv_mic"), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestMicVolume") == 0; }, 5000));
        QVERIFY(pulse.pactl({"unload-module", "module-remap-source"}));
        QVERIFY(QTest::qWaitFor([&] {
            for (const auto &e : sink.named("onDeviceChange"))
                if (e.text == "pulse:brv_mic" && e.a == 0 && e.b == 1)
                    return true;
            return false;
        }));
        QCOMPARE(deviceIds(dm, TXMediaDeviceTypeMic), QStringList({"virtual:microphone"}));
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestMicVolume") > 40; }, 5000));
        dm->stopMicDeviceTest();

        // The speaker's volume is what the test plays at.
        QCOMPARE(dm->setCurrentDeviceVolume(TXMediaDeviceTypeSpeaker, 0), 0);
        QCOMPARE(dm->getCurrentDeviceVolume(TXMediaDeviceTypeSpeaker), 0u);
        sink.clear();
        QCOMPARE(dm->startSpeakerDeviceTest(""), 0);
        QVERIFY(sink.waitFor("onTestSpeakerVolume", 2));
        QCOMPARE(sink.last("onTestSpeakerVolume"), 0);
        QCOMPARE(dm->setCurrentDeviceVolume(TXMediaDeviceTypeSpeaker, 100), 0);
        dm->stopSpeakerDeviceTest();
        QCOMPARE(dm->startSpeakerDeviceTest(nullptr), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestSpeakerVolume") > 40; }, 5000));
        // The tone lasts about a second; then the test stays quiet.
        QVERIFY(QTest::qWaitFor([&] { return sink.last("onTestSpeakerVolume") == 0; }, 4000));
        dm->stopSpeakerDeviceTest();
        QCOMPARE(dm->setCurrentDeviceVolume(TXMediaDeviceTypeCamera, 50),
                 int(ERR_INVALID_PARAMETER));

        // Devices added and removed at run time, and the selection moving off a removed one.
        const QString module = pulse.loadModule({"module-null-sink", "sink_name=brv_extra",
                                                 "sink_properties=device.description=Extra"});
        QVERIFY(!module.isEmpty());
        QVERIFY(QTest::qWaitFor([&] {
            for (const auto &e : sink.named("onDeviceChange"))
                if (e.text == "pulse:brv_extra" && e.a == 1 && e.b == 0)
                    return true;
            return false;
        }));
        QVERIFY(deviceIds(dm, TXMediaDeviceTypeSpeaker).contains("pulse:brv_extra"));
        QCOMPARE(dm->setCurrentDevice(TXMediaDeviceTypeSpeaker, "pulse:brv_extra"), 0);
        QCOMPARE(dm->startSpeakerDeviceTest(""), 0);
        QVERIFY(pulse.pactl({"unload-module", module}));
        QVERIFY(QTest::qWaitFor([&] {
            for (const auto &e : sink.named("onDeviceChange"))
                if (e.text == "pulse:brv_extra" && e.a == 1 && e.b == 1)
                    return true;
            return false;
        }));
        QVERIFY(!deviceIds(dm, TXMediaDeviceTypeSpeaker).contains("pulse:brv_extra"));
        ITXDeviceInfo *current = dm->getCurrentDevice(TXMediaDeviceTypeSpeaker);
        QCOMPARE(QString(current->getDevicePID()), deviceIds(dm, TXMediaDeviceTypeSpeaker).first());
        current->release();
        dm->stopSpeakerDeviceTest();
        cloud->removeCallback(&sink);
        destroyTRTCShareInstance();
        pulse.stop();
    }
};

int main(int argc, char **argv)
{
    auto scratch = ensureScratchFolders();
    // The windows here need no OpenGL; leaving it out keeps Mesa's driver out of the process.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    TestAvSdk test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_avsdk.moc"
