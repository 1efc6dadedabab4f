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

    // The media server the room is on: the environment variable BRV_AV_SERVER, else the settings
    // key "avServer"; empty for the SDK's room of one.
    static QString avServer();
};
