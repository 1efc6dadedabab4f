#include "TrtcRoom.h"

#include "TrtcSdk.h"

#include "AppSettings.h"
#include "JsonUtil.h"

#include <QJsonObject>

TrtcRoom::~TrtcRoom() = default;

QString TrtcRoom::cameraStreamId(uint32_t roomId, const QString &userId)
{
    return QStringLiteral("Camera_%1_%2").arg(roomId).arg(userId);
}

QString TrtcRoom::avServer()
{
    // The environment is the per-run choice (a test or a demo pointed at its own server), so it
    // wins over the stored setting.
    QString server = qEnvironmentVariable("BRV_AV_SERVER").trimmed();
    if (server.isEmpty()) {
        server = AppSettings::value(AppSettingsKey::avServer).toString().trimmed();
    }
    return server;
}

void TrtcRoom::enterRoom(uint32_t sdkAppId, uint32_t roomId, const QString &userId,
                         const QString &userSig, const QString &streamId)
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk == nullptr) {
        return;
    }
    // The server is read at every entry, so that a changed setting counts from the next class.
    const QJsonObject server{
        {QStringLiteral("api"), QStringLiteral("setServer")},
        {QStringLiteral("params"), QJsonObject{{QStringLiteral("url"), avServer()}}}};
    sdk->callExperimentalAPI(JsonUtil::toCompactString(server).toUtf8().constData());
    // The texts live until the call returns, which is all the SDK asks for.
    const QByteArray user = userId.toUtf8();
    const QByteArray sig = userSig.toUtf8();
    const QByteArray stream = streamId.toUtf8();
    liteav::TRTCParams params;
    params.sdkAppId = sdkAppId;
    params.userId = user.constData();
    params.userSig = sig.constData();
    params.roomId = roomId;
    params.strRoomId = nullptr;
    params.role = liteav::TRTCRoleAnchor;
    params.streamId = stream.constData();
    params.userDefineRecordId = nullptr;
    params.privateMapKey = nullptr;
    params.businessInfo = nullptr;
    sdk->enterRoom(params, liteav::TRTCAppSceneLIVE);
}

void TrtcRoom::exitRoom()
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->exitRoom();
    }
}
