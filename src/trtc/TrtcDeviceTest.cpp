#include "TrtcDeviceTest.h"

#include "AppSettings.h"
#include "TrtcSdk.h"

#include <QDebug>

TrtcDeviceTest::~TrtcDeviceTest() = default;

int TrtcDeviceTest::startCameraTest(quintptr view)
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (!isCameraEnabled() || manager == nullptr) {
        return -1;
    }
    selectStoredDevice(Camera);
    applyBeautyStyle();
    return manager->startCameraDeviceTest(TrtcSdk::view(view));
}

int TrtcDeviceTest::startMicTest()
{
    if (!isMicEnabled()) {
        return 0;
    }
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (manager == nullptr) {
        qWarning() << "TrtcDeviceTest::startMicTest，没有设备";
        return -1;
    }
    const QString stored = AppSettings::currDeviceId(Mic);
    if (!stored.isEmpty()) {
        qDebug() << "TrtcDeviceTest::startMicTest-setCurrentDevice"
                 << setCurrentDevice(Mic, stored);
    }
    return manager->startMicDeviceTest(micTestIntervalMs);
}

int TrtcDeviceTest::startSpeakerTest()
{
    if (!isSpeakerEnabled()) {
        return 0;
    }
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (manager == nullptr) {
        return -1;
    }
    selectStoredDevice(Speaker);
    return manager->startSpeakerDeviceTest("");
}

int TrtcDeviceTest::stopCameraTest()
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    return manager != nullptr ? manager->stopCameraDeviceTest() : -1;
}

int TrtcDeviceTest::stopMicTest()
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    return manager != nullptr ? manager->stopMicDeviceTest() : -1;
}

int TrtcDeviceTest::stopSpeakerTest()
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    return manager != nullptr ? manager->stopSpeakerDeviceTest() : -1;
}
