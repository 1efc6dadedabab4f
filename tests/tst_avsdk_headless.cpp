// The audio/video SDK where there is no X display at all (CI machines, offscreen widget tests):
// devices, tests and the room still work, video goes nowhere and screen capture fails cleanly.
#include "PulseServer.h"
#include "ScratchFolders.h"

#include <brv_av.h>

#include <QCoreApplication>
#include <QMutex>
#include <QTest>

#include <atomic>

using namespace liteav;

namespace {

class Sink : public ITRTCCloudCallback
{
public:
    std::atomic<int> micVolumes{0};
    std::atomic<int> firstFrames{0};
    std::atomic<int> errors{0};
    std::atomic<int> lastError{0};
    std::atomic<int> enterResult{0};

    void onTestMicVolume(uint32_t) override { ++micVolumes; }
    void onFirstVideoFrame(const char *, const TRTCVideoStreamType, const int, const int) override
    {
        ++firstFrames;
    }
    void onError(TXLiteAVError code, const char *, void *) override
    {
        lastError = code;
        ++errors;
    }
    void onEnterRoom(int result) override { enterResult = result; }
};

} // namespace

class TestAvSdkHeadless : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qunsetenv("DISPLAY");
        PulseServer::noSoundServer();
    }

    void worksWithoutDisplay()
    {
        ITRTCCloud *cloud = getTRTCShareInstance();
        Sink sink;
        cloud->addCallback(&sink);
        ITXDeviceManager *dm = cloud->getDeviceManager();
        QVERIFY(dm);
        ITXDeviceCollection *cams = dm->getDevicesList(TXMediaDeviceTypeCamera);
        QVERIFY(cams->getCount() >= 1);
        cams->release();

        QCOMPARE(dm->startMicDeviceTest(50), 0);
        QTRY_VERIFY_WITH_TIMEOUT(sink.micVolumes >= 2, 5000);
        dm->stopMicDeviceTest();

        // A window handle that cannot be drawn into: the picture runs, drawn nowhere.
        cloud->startLocalPreview(reinterpret_cast<TXView>(uintptr_t(0x1234567)));
        QTRY_VERIFY_WITH_TIMEOUT(sink.firstFrames >= 1, 5000);
        cloud->stopLocalPreview();
        QCOMPARE(dm->startCameraDeviceTest(nullptr), 0);
        dm->stopCameraDeviceTest();

        ITRTCScreenCaptureSourceList *sources = cloud->getScreenCaptureSources({300, 300}, {0, 0});
        QCOMPARE(sources->getCount(), 0u);
        sources->release();
        cloud->startScreenCapture(nullptr, TRTCVideoStreamTypeSub, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(sink.lastError.load(), int(ERR_SCREEN_CAPTURE_START_FAIL), 5000);
        QCOMPARE(sink.errors.load(), 1);

        TRTCParams params;
        params.userId = "u1";
        params.roomId = 5;
        cloud->enterRoom(params, TRTCAppSceneLIVE);
        QTRY_VERIFY_WITH_TIMEOUT(sink.enterResult > 0, 5000);
        cloud->exitRoom();
        cloud->removeCallback(&sink);
        destroyTRTCShareInstance();
    }
};

int main(int argc, char **argv)
{
    auto scratch = ensureScratchFolders();
    QCoreApplication app(argc, argv);
    TestAvSdkHeadless test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_avsdk_headless.moc"
