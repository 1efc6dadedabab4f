// The audio/video client layer over the real SDK with its virtual devices: the wrapper chain's
// settings rules, its presets and classifiers, and the callback sink's log lines.
#include "AppSettings.h"
#include "LangUtil.h"
#include "LogCapture.h"
#include "PulseServer.h"
#include "ScratchFolders.h"
#include "TrtcCallback.h"
#include "TrtcUtil.h"
#include "XMenu.h"

#include <QAction>
#include <QApplication>
#include <QMutex>
#include <QSettings>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QWidget>
#include <QtConcurrent>
#include <QtTest>

#include <atomic>

namespace {

const QString virtualCamera = QStringLiteral("virtual:camera");
const QString virtualMic = QStringLiteral("virtual:microphone");

void wipeSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
              QStringLiteral("settings"))
        .clear();
}

// Counts the events the wrapper tests raise, and notes the threads they come from.
class CountingSink : public TrtcCallback
{
public:
    void onTestMicVolume(uint32_t) override { note(micVolumes); }
    void onMicDidReady() override { note(micReady); }

    bool sawCallerThread() const { return onCallerThread.load(); }
    std::atomic<int> micVolumes{0};
    std::atomic<int> micReady{0};
    Qt::HANDLE callerThread = QThread::currentThreadId();

private:
    void note(std::atomic<int> &counter)
    {
        if (QThread::currentThreadId() == callerThread) {
            onCallerThread = true;
        }
        ++counter;
    }
    std::atomic<bool> onCallerThread{false};
};

QStringList menuNames(const XMenu &menu)
{
    QStringList names;
    for (QAction *action : menu.actions()) {
        if (!action->isSeparator()) {
            names << action->objectName() + (action->isChecked() ? QStringLiteral("*") : QString());
        }
    }
    return names;
}

} // namespace

class TestTrtc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void singletonAndVersion();
    void errorClassifiers_data();
    void errorClassifiers();
    void encoderPresets_data();
    void encoderPresets();
    void renderPresets();
    void captureRectangles();
    void disabledDevicesStartNothing();
    void deviceChoiceIsStoredOnlyWhenAccepted();
    void deviceMenus();
    void callbacksComeFromTheSdkAndStopAtRemoval();
    void callbackLogLines();
    void roomServerFromEnvironmentThenSetting();
};

void TestTrtc::initTestCase()
{
    // The virtual devices only: a machine without a sound server, as CI is.
    PulseServer::noSoundServer();
    LangUtil::setCurrentLang(QStringLiteral("en"));
}

void TestTrtc::init()
{
    wipeSettings();
    LangUtil::setCurrentLang(QStringLiteral("en"));
}

void TestTrtc::cleanup()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->stopCameraTest();
    trtc->stopMicTest();
    trtc->stopSpeakerTest();
    trtc->stopLocalAudio();
}

void TestTrtc::singletonAndVersion()
{
    // Many threads asking at once still make one.
    QVector<QFuture<TrtcUtil *>> futures;
    for (int i = 0; i < 8; ++i) {
        futures << QtConcurrent::run([] { return TrtcUtil::instance(); });
    }
    for (QFuture<TrtcUtil *> &future : futures) {
        QCOMPARE(future.result(), TrtcUtil::instance());
    }
    const QString version = TrtcUtil::instance()->getSDKVersion();
    QVERIFY2(version.startsWith(QLatin1String("brimvale-av ")) &&
                 version.contains(QLatin1String("GStreamer")),
             qPrintable(version));
}

void TestTrtc::errorClassifiers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("kind");
    for (int code : {-1301, -1314, -1315, -1316}) {
        QTest::addRow("%d", code) << code << QStringLiteral("camera");
    }
    for (int code : {-1302, -1317, -1319, -1320}) {
        QTest::addRow("%d", code) << code << QStringLiteral("mic");
    }
    for (int code : {-1321, -1322, -1323}) {
        QTest::addRow("%d", code) << code << QStringLiteral("speaker");
    }
    for (int code : {-3301, -3308, -3316, -3317, -3318, -3319, -3320, -100006, -100013, -100018}) {
        QTest::addRow("%d", code) << code << QStringLiteral("room");
    }
    // A microphone parameter failure is not a microphone error; neighbours belong to nobody.
    for (int code : {-1318, 0, -1300, -1303, -1324, -3302, -100007, 1318}) {
        QTest::addRow("%d", code) << code << QString();
    }
}

void TestTrtc::errorClassifiers()
{
    QFETCH(int, code);
    QFETCH(QString, kind);
    QCOMPARE(TrtcUtil::isCameraError(code), kind == QLatin1String("camera"));
    QCOMPARE(TrtcUtil::isMicError(code), kind == QLatin1String("mic"));
    QCOMPARE(TrtcUtil::isSpeakerError(code), kind == QLatin1String("speaker"));
    QCOMPARE(TrtcUtil::isEnterRoomError(code), kind == QLatin1String("room"));
}

void TestTrtc::encoderPresets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("minBitrate");
    QTest::newRow("FLU") << "FLU" << 60 << 24 << 600 << 400;
    QTest::newRow("SD") << "SD" << 62 << 24 << 900 << 600;
    QTest::newRow("SD2") << "SD2" << 108 << 24 << 900 << 500;
    QTest::newRow("HD") << "HD" << 112 << 15 << 1800 << 1200;
    QTest::newRow("hd") << "hd" << 112 << 15 << 1800 << 1200;
    QTest::newRow("fHd") << "fHd" << 114 << 15 << 3000 << 2000;
    QTest::newRow("2K") << "2K" << 108 << 15 << 550 << 0;
    QTest::newRow("4K") << "4K" << 108 << 15 << 550 << 0;
    QTest::newRow("empty") << "" << 108 << 15 << 550 << 0;
    // Not a prefix match: "SD" must not take "SD2" or the other way round.
    QTest::newRow("SD3") << "SD3" << 108 << 15 << 550 << 0;
}

void TestTrtc::encoderPresets()
{
    QFETCH(QString, name);
    QFETCH(int, resolution);
    QFETCH(int, fps);
    QFETCH(int, bitrate);
    QFETCH(int, minBitrate);
    const liteav::TRTCVideoEncParam params = TrtcVideo::encoderParamFor(name);
    QCOMPARE(int(params.videoResolution), resolution);
    QCOMPARE(int(params.videoFps), fps);
    QCOMPARE(int(params.videoBitrate), bitrate);
    QCOMPARE(int(params.minVideoBitrate), minBitrate);
    QCOMPARE(params.resMode, liteav::TRTCVideoResolutionModeLandscape);
    QVERIFY(!params.enableAdjustRes);
}

void TestTrtc::renderPresets()
{
    const struct
    {
        const char *item;
        liteav::TRTCVideoRotation rotation;
        liteav::TRTCVideoMirrorType mirror;
    } cases[] = {
        {"pb_camera_original_video", liteav::TRTCVideoRotation0,
         liteav::TRTCVideoMirrorType_Disable},
        {"pb_camera_rotate_90", liteav::TRTCVideoRotation90, liteav::TRTCVideoMirrorType_Disable},
        {"pb_camera_rotate_270", liteav::TRTCVideoRotation270, liteav::TRTCVideoMirrorType_Disable},
        {"pb_camera_rotate_vertical", liteav::TRTCVideoRotation180,
         liteav::TRTCVideoMirrorType_Disable},
        {"pb_camera_rotate_horizontal", liteav::TRTCVideoRotation0,
         liteav::TRTCVideoMirrorType_Enable},
        {"pb_camera_unknown", liteav::TRTCVideoRotation0, liteav::TRTCVideoMirrorType_Disable},
    };
    for (const auto &c : cases) {
        const liteav::TRTCRenderParams params =
            TrtcVideo::localRenderParamsFor(QString::fromLatin1(c.item));
        QCOMPARE(params.rotation, c.rotation);
        QCOMPARE(params.mirrorType, c.mirror);
        QCOMPARE(params.fillMode, liteav::TRTCVideoFillMode_Fit);
    }
    const liteav::TRTCRenderParams screen = TrtcVideo::screenRenderParams();
    QCOMPARE(screen.rotation, liteav::TRTCVideoRotation0);
    QCOMPARE(screen.fillMode, liteav::TRTCVideoFillMode_Fit);
    QCOMPARE(screen.mirrorType, liteav::TRTCVideoMirrorType_Disable);
}

void TestTrtc::captureRectangles()
{
    // Each of x, y, width and height scaled and cut to whole pixels; the SDK's right and
    // bottom edges lie just outside, so the size it captures is the scaled size.
    liteav::RECT edges = TrtcScreenShare::captureRect(QRect(10, 20, 101, 51), 1.25);
    QCOMPARE(edges.left, 12L);
    QCOMPARE(edges.top, 25L);
    QCOMPARE(edges.right - edges.left, 126L);
    QCOMPARE(edges.bottom - edges.top, 63L);
    edges = TrtcScreenShare::captureRect(QRect(0, 0, 1280, 720), 1.0);
    QCOMPARE(edges.right, 1280L);
    QCOMPARE(edges.bottom, 720L);
    // A window partly above or left of the screen keeps its negative origin for the SDK to clip.
    edges = TrtcScreenShare::captureRect(QRect(-30, -10, 200, 100), 1.5);
    QCOMPARE(edges.left, -45L);
    QCOMPARE(edges.right, 255L);

    const liteav::TRTCScreenCaptureProperty property = TrtcScreenShare::captureProperty();
    QVERIFY(property.enableCaptureMouse && !property.enableHighLight &&
            property.enableHighPerformance && property.enableCaptureChildWindow);
    QCOMPARE(property.highLightColor, 0);
    QCOMPARE(property.highLightWidth, 0);
}

void TestTrtc::disabledDevicesStartNothing()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    CountingSink sink;
    trtc->addCallback(&sink);

    // Nothing stored: everything is enabled.
    QVERIFY(trtc->isCameraEnabled() && trtc->isMicEnabled() && trtc->isSpeakerEnabled());
    QVERIFY(!trtc->isDeviceEnabled(3) && !trtc->isDeviceEnabled(-1));

    trtc->setMicEnabled(false);
    trtc->setSpeakerEnabled(false);
    trtc->setCameraEnabled(false);
    QCOMPARE(AppSettings::value(QStringLiteral("device/enable0")).toInt(), 0);
    QCOMPARE(AppSettings::value(QStringLiteral("device/enable1")).toInt(), 0);
    QCOMPARE(AppSettings::value(QStringLiteral("device/enable2")).toInt(), 0);
    QCOMPARE(trtc->startMicTest(), 0);
    QCOMPARE(trtc->startSpeakerTest(), 0);
    QWidget window;
    window.setAttribute(Qt::WA_NativeWindow);
    QCOMPARE(trtc->startCameraTest(window.winId()), -1);
    trtc->startLocalAudio();
    QTest::qWait(800);
    QCOMPARE(sink.micVolumes.load(), 0);
    QCOMPARE(sink.micReady.load(), 0);

    // Enabled again, the same calls run for real.
    trtc->setMicEnabled(true);
    QVERIFY(trtc->isMicEnabled());
    QCOMPARE(trtc->startMicTest(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sink.micVolumes.load() >= 2, 5000);
    trtc->startLocalAudio();
    QTRY_VERIFY_WITH_TIMEOUT(sink.micReady.load() >= 1, 5000);
    trtc->removeCallback(&sink);
}

void TestTrtc::deviceChoiceIsStoredOnlyWhenAccepted()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    const QList<DeviceItem> cameras = trtc->getDeviceList(TrtcDevice::Camera);
    QVERIFY(!cameras.isEmpty());
    QCOMPARE(cameras.last().id, virtualCamera);
    QVERIFY(!cameras.last().name.isEmpty());
    QVERIFY(trtc->getDeviceList(7).isEmpty());

    // Nothing stored: the SDK's current device, which is a listed one.
    const QString current = trtc->getCurrentDeviceId(TrtcDevice::Mic);
    QVERIFY(!current.isEmpty());
    QVERIFY(AppSettings::currDeviceId(TrtcDevice::Mic).isEmpty());

    QCOMPARE(trtc->setCurrentDevice(TrtcDevice::Mic, virtualMic), 0);
    QCOMPARE(AppSettings::currDeviceId(TrtcDevice::Mic), virtualMic);
    // A refusal is not reported, and the stored choice stays.
    QCOMPARE(trtc->setCurrentDevice(TrtcDevice::Mic, QStringLiteral("pulse:gone")), 0);
    QCOMPARE(AppSettings::currDeviceId(TrtcDevice::Mic), virtualMic);
    QCOMPARE(trtc->getCurrentDeviceId(TrtcDevice::Mic), virtualMic);

    // A stored id wins over the SDK's choice, even one the SDK does not know.
    AppSettings::setCurrDeviceId(TrtcDevice::Camera, QStringLiteral("v4l2:/dev/video9"));
    QCOMPARE(trtc->getCurrentDeviceId(TrtcDevice::Camera), QStringLiteral("v4l2:/dev/video9"));
    // A test started with a stored device the SDK refuses runs on what the SDK has, and the
    // stored choice survives for the day the device is back.
    AppSettings::setCurrDeviceId(TrtcDevice::Mic, QStringLiteral("pulse:unplugged"));
    CountingSink sink;
    trtc->addCallback(&sink);
    QCOMPARE(trtc->startMicTest(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sink.micVolumes.load() >= 1, 5000);
    trtc->removeCallback(&sink);
    QCOMPARE(AppSettings::currDeviceId(TrtcDevice::Mic), QStringLiteral("pulse:unplugged"));
}

void TestTrtc::deviceMenus()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    QWidget owner;
    XMenu menu(&owner);
    QCOMPARE(trtc->fillDeviceMenu(TrtcDevice::Camera, nullptr, &menu), -1);
    QCOMPARE(trtc->fillDeviceMenu(TrtcDevice::Camera, &owner, nullptr), -1);

    QCOMPARE(trtc->setCurrentDevice(TrtcDevice::Camera, virtualCamera), 0);
    QCOMPARE(trtc->fillDeviceMenu(TrtcDevice::Camera, &owner, &menu), 0);
    QStringList names = menuNames(menu);
    QCOMPARE(names.last(), QStringLiteral("Disable"));
    QVERIFY(names.contains(virtualCamera + QLatin1Char('*')));
    QCOMPARE(names.filter(QStringLiteral("*")).size(), 1);
    QCOMPARE(menu.actionNamed(QStringLiteral("Disable"))->text(), QStringLiteral("Disable"));
    // Between the devices and "Disable", a separator.
    const QList<QAction *> actions = menu.actions();
    QVERIFY(actions.at(actions.size() - 2)->isSeparator());

    // Filled again: emptied first. Disabled: no device checked, "Disable" checked.
    trtc->setCameraEnabled(false);
    LangUtil::setCurrentLang(QStringLiteral("zh-CN"));
    QCOMPARE(trtc->fillDeviceMenu(TrtcDevice::Camera, &owner, &menu), 0);
    names = menuNames(menu);
    QCOMPARE(names.filter(QStringLiteral("*")), QStringList{QStringLiteral("Disable*")});
    QCOMPARE(names.size(), trtc->getDeviceList(TrtcDevice::Camera).size() + 1);
    QCOMPARE(menu.actionNamed(QStringLiteral("Disable"))->text(), QStringLiteral("禁用"));

    // A type the SDK does not have: nothing but "Disable", checked.
    QCOMPARE(trtc->fillDeviceMenu(5, &owner, &menu), 0);
    QCOMPARE(menuNames(menu), QStringList{QStringLiteral("Disable*")});
}

void TestTrtc::callbacksComeFromTheSdkAndStopAtRemoval()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    CountingSink sink;
    trtc->addCallback(&sink);
    QCOMPARE(trtc->startMicTest(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sink.micVolumes.load() >= 3, 5000);
    QVERIFY(!sink.sawCallerThread());
    trtc->removeCallback(&sink);
    const int seen = sink.micVolumes.load();
    // Readings come every 300 ms; a second without any shows the sink is off the list.
    QTest::qWait(1000);
    QCOMPARE(sink.micVolumes.load(), seen);
    // Removing twice, or removing a sink never added, is harmless.
    trtc->removeCallback(&sink);
    CountingSink stranger;
    trtc->removeCallback(&stranger);
}

void TestTrtc::callbackLogLines()
{
    TrtcCallback sink;
    LogCapture log;
    // No volumes, no line.
    sink.onUserVoiceVolume(nullptr, 0, 0);
    liteav::TRTCVolumeInfo volumes[2];
    sink.onUserVoiceVolume(volumes, 0, 0);
    QVERIFY(log.messages().isEmpty());

    // The own user has no id: it reads as empty text.
    volumes[0].userId = nullptr;
    volumes[0].volume = 42;
    volumes[1].userId = "teacher-1";
    volumes[1].volume = 7;
    sink.onUserVoiceVolume(volumes, 2, 42);
    QCOMPARE(log.messages(), QStringList{QStringLiteral("onUserVoiceVolume \"\" 42 2 42")});

    // Several remote qualities: one extra line, with the first of them.
    log.clear();
    liteav::TRTCQualityInfo local;
    local.quality = liteav::TRTCQuality_Good;
    liteav::TRTCQualityInfo remote[3];
    remote[0].quality = liteav::TRTCQuality_Poor;
    remote[1].quality = liteav::TRTCQuality_Down;
    remote[2].quality = liteav::TRTCQuality_Bad;
    sink.onNetworkQuality(local, remote, 3);
    QCOMPARE(log.messages(), (QStringList{QStringLiteral("onNetworkQuality 2 3"),
                                          QStringLiteral("onNetworkQuality 3")}));
    log.clear();
    sink.onNetworkQuality(local, nullptr, 0);
    QCOMPARE(log.messages().size(), 1);

    log.clear();
    sink.onRemoteUserEnterRoom(nullptr);
    sink.onUserVideoAvailable("学生-1", true);
    QCOMPARE(log.messages(),
             (QStringList{QStringLiteral("TrtcCallback::onRemoteUserEnterRoom \"\""),
                          QStringLiteral("TrtcCallback::onUserVideoAvailable \"学生-1\" true")}));
    QCOMPARE(sink.queryRenderState(), 0);
}

int main(int argc, char **argv)
{
    auto scratch = ensureScratchFolders();
    QApplication app(argc, argv);
    TestTrtc test;
    return QTest::qExec(&test, argc, argv);
}

void TestTrtc::roomServerFromEnvironmentThenSetting()
{
    // Two stand-in media servers on loopback; which one the room speaks to tells where the
    // address came from.
    QStringList contacted;
    QWebSocketServer fromSetting(QStringLiteral("setting"), QWebSocketServer::NonSecureMode);
    QWebSocketServer fromEnvironment(QStringLiteral("env"), QWebSocketServer::NonSecureMode);
    for (QWebSocketServer *server : {&fromSetting, &fromEnvironment}) {
        QVERIFY(server->listen(QHostAddress::LocalHost, 0));
        connect(server, &QWebSocketServer::newConnection, this, [server, &contacted] {
            QWebSocket *socket = server->nextPendingConnection();
            socket->setParent(server);
            connect(socket, &QWebSocket::textMessageReceived, server,
                    [server, &contacted] { contacted << server->serverName(); });
        });
    }
    auto url = [](const QWebSocketServer &server) {
        return QStringLiteral("ws://127.0.0.1:%1/").arg(server.serverPort());
    };
    class EnterSink : public TrtcCallback
    {
    public:
        void onEnterRoom(int result) override { entered = result; }
        void onExitRoom(int) override { ++exited; }
        std::atomic<int> entered{0};
        std::atomic<int> exited{0};
    } sink;
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->addCallback(&sink);
    auto enter = [trtc] {
        trtc->enterRoom(1400000001, 77, QStringLiteral("u1"), QStringLiteral("sig"),
                        TrtcRoom::cameraStreamId(77, QStringLiteral("u1")));
    };

    // Neither: the room of one, entered at once.
    qunsetenv("BRV_AV_SERVER");
    QCOMPARE(TrtcRoom::avServer(), QString());
    enter();
    QTRY_VERIFY(sink.entered.load() > 0);
    trtc->exitRoom();
    QTRY_COMPARE(sink.exited.load(), 1);
    QVERIFY(contacted.isEmpty());

    AppSettings::setValue(AppSettingsKey::avServer, url(fromSetting));
    enter();
    QTRY_COMPARE(contacted, QStringList{QStringLiteral("setting")});
    trtc->exitRoom();
    QTRY_COMPARE(sink.exited.load(), 2);

    // The environment wins over the setting.
    qputenv("BRV_AV_SERVER", url(fromEnvironment).toUtf8());
    contacted.clear();
    enter();
    QTRY_VERIFY(contacted.contains(QStringLiteral("env")));
    QVERIFY(!contacted.contains(QStringLiteral("setting")));
    trtc->exitRoom();
    QTRY_COMPARE(sink.exited.load(), 3);
    qunsetenv("BRV_AV_SERVER");
    trtc->removeCallback(&sink);
}

#include "tst_trtc.moc"
