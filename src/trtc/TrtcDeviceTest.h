#pragma once

#include "TrtcDevice.h"

#include <QtGlobal>

// Camera, microphone and speaker tests on the stored devices.
class TrtcDeviceTest : public TrtcDevice
{
public:
    ~TrtcDeviceTest() override;

    // -1 when the camera is disabled or there is no device manager, else the SDK's answer.
    int startCameraTest(quintptr view);
    // 0 when the microphone is disabled, -1 without a device manager, else the SDK's answer.
    int startMicTest();
    // 0 when the speaker is disabled, -1 without a device manager, else the SDK's answer.
    int startSpeakerTest();
    int stopCameraTest();
    int stopMicTest();
    int stopSpeakerTest();

    // The microphone test's reading interval.
    static constexpr uint32_t micTestIntervalMs = 300;
};
