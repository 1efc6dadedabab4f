#include "TrtcAudio.h"

#include "AppSettings.h"
#include "TrtcSdk.h"

TrtcAudio::~TrtcAudio() = default;

TrtcCustom::~TrtcCustom() = default;

void TrtcAudio::startLocalAudio()
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    liteav::ITXDeviceManager *manager = sdk != nullptr ? sdk->getDeviceManager() : nullptr;
    if (!isMicEnabled() || manager == nullptr) {
        return;
    }
    // Straight to the device manager: local audio never changes the stored choice.
    const QString stored = AppSettings::currDeviceId(Mic);
    if (!stored.isEmpty()) {
        manager->setCurrentDevice(liteav::TXMediaDeviceTypeMic, stored.toUtf8().constData());
    }
    liteav::TRTCAudioVolumeEvaluateParams params;
    params.interval = volumeEvaluationIntervalMs;
    params.enableVadDetection = false;
    params.enablePitchCalculation = false;
    params.enableSpectrumCalculation = false;
    sdk->enableAudioVolumeEvaluation(true, params);
    sdk->startLocalAudio(liteav::TRTCAudioQualityDefault);
}

void TrtcAudio::stopLocalAudio()
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk == nullptr) {
        return;
    }
    liteav::TRTCAudioVolumeEvaluateParams off;
    off.interval = 0;
    sdk->enableAudioVolumeEvaluation(false, off);
    sdk->stopLocalAudio();
}

void TrtcAudio::setAudioPlayoutVolume(int volume)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->setAudioPlayoutVolume(volume);
    }
}
