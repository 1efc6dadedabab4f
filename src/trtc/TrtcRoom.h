#pragma once

#include "TrtcScreenShare.h"

// Entering and leaving the class's room.
class TrtcRoom : public TrtcLocalRecording
{
public:
    ~TrtcRoom() override;

    // Every participant enters as an anchor of a live scene; onEnterRoom follows.
    void enterRoom(uint32_t sdkAppId, uint32_t roomId, const QString &userId,
                   const QString &userSig, const QString &streamId);
    void exitRoom();

    // The stream id of a user's camera in a room.
    static QString cameraStreamId(uint32_t roomId, const QString &userId);
};
