#pragma once

#include "TrtcVideo.h"

// Local audio with volume evaluation, and the playout volume.
class TrtcAudio : public TrtcSubStream
{
public:
    ~TrtcAudio() override;

    // Volume readings while local audio runs.
    static constexpr uint32_t volumeEvaluationIntervalMs = 500;

    // Nothing when the microphone is disabled or there is no device manager.
    void startLocalAudio();
    void stopLocalAudio();
    // 100 for on, 0 for off.
    void setAudioPlayoutVolume(int volume);
};

// Custom capture and rendering are not used.
class TrtcCustom : public TrtcAudio
{
public:
    ~TrtcCustom() override;
};
