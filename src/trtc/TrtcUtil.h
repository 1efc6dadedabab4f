#pragma once

#include "TrtcRoom.h"

// The one access point to the audio/video SDK: a process-wide singleton made of the wrapper
// chain, plus callback registration, the SDK version and the error classifiers. It holds no
// state of its own; the SDK instance is fetched at every call. GUI thread, except instance().
class TrtcUtil : public TrtcRoom
{
public:
    // Created on first use, from any thread; lives until the process ends.
    static TrtcUtil *instance();

    void addCallback(liteav::ITRTCCloudCallback *callback);
    // Once this returns, the SDK calls nothing more on the sink.
    void removeCallback(liteav::ITRTCCloudCallback *callback);
    // Empty when the SDK gives none.
    QString getSDKVersion() const;

    static bool isCameraError(int code);
    static bool isMicError(int code);
    static bool isSpeakerError(int code);
    static bool isEnterRoomError(int code);

private:
    TrtcUtil();
    ~TrtcUtil() override;
    TrtcUtil(const TrtcUtil &) = delete;
    TrtcUtil &operator=(const TrtcUtil &) = delete;
};
