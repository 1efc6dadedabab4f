#include "LiveTrtcDlg.h"

#include "AppSettings.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "TrtcSdk.h"
#include "TrtcUtil.h"

#include <QDebug>
#include <QMetaObject>
#include <QThread>

#include <utility>
#include <vector>

using TrtcSdk::fromSdk;

namespace {

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

LiveTrtcDlg::LiveTrtcDlg(QWidget *parent) : LiveImDlg(parent)
{
    TrtcUtil::instance()->addCallback(static_cast<TrtcCallback *>(this));
}

LiveTrtcDlg::~LiveTrtcDlg()
{
    qDebug() << "Live-~LiveTrtcDlg";
    stopTrtcCallbacks();
}

void LiveTrtcDlg::stopTrtcCallbacks()
{
    if (trtcStopped) {
        return;
    }
    // Events already queued for the GUI thread see the flag; the SDK sends none after this.
    trtcStopped = true;
    TrtcUtil::instance()->removeCallback(static_cast<TrtcCallback *>(this));
}

void LiveTrtcDlg::onGuiThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread()) {
        if (!trtcStopped) {
            work();
        }
        return;
    }
    // Queued on this window: a window deleted before the event is handled takes it with it.
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)]() {
            if (!trtcStopped) {
                work();
            }
        },
        Qt::QueuedConnection);
}

bool LiveTrtcDlg::findUser(const QString &userId, LiveUser *user)
{
    if (userId.isEmpty()) {
        return false;
    }
    *user = getLiveUser(userId);
    return !user->userId.isEmpty();
}

void LiveTrtcDlg::enterRoom()
{
    qDebug() << "Live-trtc-enterRoom";
    // A second word to start (the group's and the page's, or a double click) while entering or
    // in the room would enter again and repeat everything that follows the entry.
    if (liveState == LiveState::EnteringRoom || currLiveUser.isEnteredRoom == 1) {
        qDebug() << "Live-trtc-enterRoom already" << liveState;
        return;
    }
    setLiveState(LiveState::EnteringRoom);
    const auto roomId = static_cast<uint32_t>(liveInfo.liveRoomId);
    const QString userId = AppSettings::userId();
    TrtcUtil::instance()->enterRoom(static_cast<uint32_t>(trtcSdkAppId), roomId, userId,
                                    trtcUserSig, TrtcRoom::cameraStreamId(roomId, userId));
}

void LiveTrtcDlg::exitRoom()
{
    qDebug() << "Live-trtc-exitRoom";
    if (currLiveUser.isEnteredRoom != 1) {
        return;
    }
    setLiveState(LiveState::ExitingRoom);
    TrtcUtil::instance()->exitRoom();
}

void LiveTrtcDlg::startLocalVideo()
{
    qDebug() << "Live-trtc-startLocalVideo";
    if (!TrtcUtil::instance()->isCameraEnabled() || currLiveUser.isEnteredRoom != 1) {
        return;
    }
    if (CameraRender *view = getUserCamera(QString())) {
        startCameraVideo(view);
    }
}

void LiveTrtcDlg::stopLocalVideo()
{
    qDebug() << "Live-trtc-stopLocalVideo";
    if (CameraRender *view = getUserCamera(QString())) {
        stopCameraVideo(view);
    }
}

void LiveTrtcDlg::startLocalAudio()
{
    qDebug() << "Live-trtc-startLocalAudio";
    if (!TrtcUtil::instance()->isMicEnabled() || currLiveUser.isEnteredRoom != 1) {
        return;
    }
    TrtcUtil::instance()->startLocalAudio();
}

void LiveTrtcDlg::stopLocalAudio()
{
    qDebug() << "Live-trtc-stopLocalAudio";
    TrtcUtil::instance()->stopLocalAudio();
}

void LiveTrtcDlg::startSpeaker()
{
    qDebug() << "Live-trtc-startSpeaker";
    TrtcUtil::instance()->setAudioPlayoutVolume(100);
}

void LiveTrtcDlg::stopSpeaker()
{
    qDebug() << "Live-trtc-stopSpeaker";
    TrtcUtil::instance()->setAudioPlayoutVolume(0);
}

liteav::TRTCVideoEncParam LiveTrtcDlg::resolutionFor(const QString &key, const QString &defaultName)
{
    const QJsonObject table = JsonUtil::str2Json(liveSettings.liveResolution);
    const auto it = table.constFind(key);
    const QString name = it == table.constEnd() ? defaultName : LiveJson::readString(it.value());
    return TrtcVideo::encoderParamFor(name);
}

liteav::TRTCVideoEncParam LiveTrtcDlg::getUserResolution()
{
    qDebug() << "Live-trtc-getUserResolution";
    if (sameText(liveSettings.liveUiMode, LiveUiMode::Record)) {
        qDebug() << "Live-trtc-getRecordResolution";
        return resolutionFor(QStringLiteral("recordResolution"), LiveResolution::HD);
    }
    const QString &type = currLiveUser.userType;
    if (sameText(type, LiveUserType::Teacher) || sameText(type, LiveUserType::Assistant)) {
        qDebug() << "Live-trtc-getTeacherResolution";
        return resolutionFor(QStringLiteral("teacherResolution"), LiveResolution::SD);
    }
    if (sameText(type, LiveUserType::Student)) {
        qDebug() << "Live-trtc-getStudentResolution";
        return resolutionFor(QStringLiteral("studentResolution"), LiveResolution::SD);
    }
    return TrtcVideo::encoderParamFor(LiveResolution::SD);
}

liteav::TRTCVideoEncParam LiveTrtcDlg::getRecordResolution()
{
    qDebug() << "Live-trtc-getRecordResolution";
    return resolutionFor(QStringLiteral("recordResolution"), LiveResolution::HD);
}

liteav::TRTCVideoEncParam LiveTrtcDlg::getScreenResolution()
{
    qDebug() << "Live-trtc-getScreenResolution";
    return resolutionFor(QStringLiteral("screenResolution"), LiveResolution::HD);
}

void LiveTrtcDlg::updateNetQuality(const QString &userId, int quality)
{
    LiveUser user;
    if (!findUser(userId, &user) || user.netQuality == quality) {
        return;
    }
    user.netQuality = quality;
    updateLiveUser(user);
    if (CameraRender *view = getUserCamera(userId)) {
        setCameraNetQuality(view, quality);
    }
}

void LiveTrtcDlg::onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo)
{
    qDebug() << "Live-trtc-onError" << errCode << fromSdk(errMsg) << extraInfo;
    const int code = errCode;
    onGuiThread([this, code]() {
        if (TrtcUtil::isCameraError(code)) {
            setErrorInfo(code, QString());
        }
        if (TrtcUtil::isMicError(code)) {
            setErrorInfo(code, QString());
        }
        if (TrtcUtil::isSpeakerError(code)) {
            setErrorInfo(code, QString());
        }
    });
}

void LiveTrtcDlg::onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo)
{
    qDebug() << "Live-trtc-onWarning" << warningCode << fromSdk(warningMsg) << extraInfo;
}

void LiveTrtcDlg::onEnterRoom(int result)
{
    qDebug() << "Live-trtc-onEnterRoom" << result;
    onGuiThread([this, result]() {
        if (TrtcUtil::isEnterRoomError(result)) {
            setErrorInfo(result, QString());
            setLiveState(LiveState::EnterRoomError);
        } else {
            setLiveState(LiveState::EnterRoomSuccess);
        }
    });
}

void LiveTrtcDlg::onExitRoom(int reason)
{
    qDebug() << "Live-trtc-onExitRoom" << reason;
    onGuiThread([this, reason]() {
        if (reason == 1 || reason == 2) {
            // Kept before the state: the closing chain it may start hands the text on.
            closeMsg = LangUtil::tr(QStringLiteral("TrtcError"), reason == 1
                                                                     ? QStringLiteral("exitRoom1")
                                                                     : QStringLiteral("exitRoom2"));
            setLiveState(LiveState::ExitRoomSuccess);
        } else if (reason == 0) {
            setLiveState(LiveState::ExitRoomSuccess);
        }
    });
}

void LiveTrtcDlg::onRemoteUserEnterRoom(const char *userId)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onRemoteUserEnterRoom" << id;
    onGuiThread([this, id]() {
        if (sameText(currLiveUser.userType, LiveUserType::Teacher) && !id.isEmpty() &&
            getUserCamera(id)) {
            sendC2CLiveCommand(id, QStringLiteral("OpenCameraMic"));
        }
    });
}

void LiveTrtcDlg::onRemoteUserLeaveRoom(const char *userId, int reason)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onRemoteUserLeaveRoom" << id << reason;
    onGuiThread([this, id]() {
        LiveUser user;
        if (!findUser(id, &user)) {
            return;
        }
        if (sameText(user.userType, LiveUserType::Teacher)) {
            // The class ends with its teacher.
            exitRoom();
            return;
        }
        user.isEnteredRoom = 0;
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onUserVideoAvailable(const char *userId, bool available)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onUserVideoAvailable" << id << available;
    onGuiThread([this, id, available]() {
        LiveUser user;
        const QString state = available ? LiveDeviceState::Opened : LiveDeviceState::Closed;
        if (!findUser(id, &user) || user.cameraState == state) {
            return;
        }
        user.cameraState = state;
        updateLiveUser(user);
        if (CameraRender *view = getUserCamera(id)) {
            if (available) {
                startCameraVideo(view);
            } else {
                stopCameraVideo(view);
            }
        }
    });
}

void LiveTrtcDlg::onUserSubStreamAvailable(const char *userId, bool available)
{
    qDebug() << "Live-trtc-onUserSubStreamAvailable" << fromSdk(userId) << available;
}

void LiveTrtcDlg::onUserAudioAvailable(const char *userId, bool available)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onUserAudioAvailable" << id << available;
    onGuiThread([this, id, available]() {
        LiveUser user;
        const QString state = available ? LiveDeviceState::Opened : LiveDeviceState::Closed;
        if (!findUser(id, &user) || user.micState == state) {
            return;
        }
        user.micState = state;
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onFirstVideoFrame(const char *userId, const TRTCVideoStreamType streamType,
                                    const int width, const int height)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onFirstVideoFrame" << id << streamType << width << height;
    onGuiThread([this, id]() {
        LiveUser user;
        if (!findUser(id, &user) || user.cameraState == LiveDeviceState::Opened) {
            return;
        }
        user.cameraState = LiveDeviceState::Opened;
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onFirstAudioFrame(const char *userId)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onFirstAudioFrame" << id;
    onGuiThread([this, id]() {
        LiveUser user;
        if (!findUser(id, &user) || user.micState == LiveDeviceState::Opened) {
            return;
        }
        user.micState = LiveDeviceState::Opened;
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onSendFirstLocalVideoFrame(const TRTCVideoStreamType streamType)
{
    qDebug() << "Live-trtc-onSendFirstLocalVideoFrame" << streamType;
    onGuiThread([this]() {
        if (currLiveUser.cameraState == LiveDeviceState::Opened) {
            return;
        }
        currLiveUser.cameraState = LiveDeviceState::Opened;
        updateLiveUser(currLiveUser);
    });
}

void LiveTrtcDlg::onSendFirstLocalAudioFrame()
{
    qDebug() << "Live-trtc-onSendFirstLocalAudioFrame";
    onGuiThread([this]() {
        currLiveUser.micState = LiveDeviceState::Opened;
        updateLiveUser(currLiveUser);
    });
}

void LiveTrtcDlg::onRemoteVideoStatusUpdated(const char *userId, TRTCVideoStreamType streamType,
                                             TRTCAVStatusType status,
                                             TRTCAVStatusChangeReason reason, void *extrainfo)
{
    const QString id = fromSdk(userId);
    qDebug() << "Live-trtc-onRemoteVideoStatusUpdated" << id << streamType << status << reason
             << extrainfo;
    onGuiThread([this, id, streamType, status]() {
        LiveUser user;
        if (!findUser(id, &user)) {
            return;
        }
        const bool playing = status == liteav::TRTCAVStatusPlaying;
        if (streamType == liteav::TRTCVideoStreamTypeBig) {
            user.cameraState = playing ? LiveDeviceState::Opened : LiveDeviceState::Closed;
        } else if (streamType == liteav::TRTCVideoStreamTypeSub) {
            user.isScreenSharing = playing ? 1 : 0;
        }
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onRemoteAudioStatusUpdated(const char *userId, TRTCAVStatusType status,
                                             TRTCAVStatusChangeReason reason, void *extrainfo)
{
    const QString id = fromSdk(userId);
    qDebug() << "TrtcCallback::onRemoteAudioStatusUpdated" << id << status << reason << extrainfo;
    onGuiThread([this, id, status]() {
        LiveUser user;
        if (!findUser(id, &user)) {
            return;
        }
        user.micState = status == liteav::TRTCAVStatusPlaying ? LiveDeviceState::Opened
                                                              : LiveDeviceState::Closed;
        updateLiveUser(user);
    });
}

void LiveTrtcDlg::onUserVideoSizeChanged(const char *userId, TRTCVideoStreamType streamType,
                                         int newWidth, int newHeight)
{
    qDebug() << "Live-trtc-onUserVideoSizeChanged" << fromSdk(userId) << streamType << newWidth
             << newHeight;
}

void LiveTrtcDlg::onNetworkQuality(TRTCQualityInfo localQuality, TRTCQualityInfo *remoteQuality,
                                   uint32_t remoteQualityCount)
{
    qDebug() << "Live-trtc-onNetworkQuality" << localQuality.quality << remoteQualityCount;
    const int local = localQuality.quality;
    // The SDK's array lives only during this call.
    std::vector<std::pair<QString, int>> remote;
    if (remoteQuality != nullptr) {
        remote.reserve(remoteQualityCount);
        for (uint32_t i = 0; i < remoteQualityCount; ++i) {
            remote.emplace_back(fromSdk(remoteQuality[i].userId), remoteQuality[i].quality);
        }
    }
    onGuiThread([this, local, remote = std::move(remote)]() {
        updateNetQuality(currLiveUser.userId, local);
        for (const auto &entry : remote) {
            if (!entry.first.isEmpty()) {
                updateNetQuality(entry.first, entry.second);
            }
        }
    });
}

void LiveTrtcDlg::onUserVoiceVolume(TRTCVolumeInfo *userVolumes, uint32_t userVolumesCount,
                                    uint32_t totalVolume)
{
    Q_UNUSED(totalVolume)
    // A list with no entries has no first entry to read.
    if (userVolumes == nullptr || userVolumesCount == 0) {
        return;
    }
    const QString id = fromSdk(userVolumes[0].userId);
    // Volumes run from 0 to 100; a larger reading is taken as full.
    const auto volume = static_cast<int>(qMin<uint32_t>(userVolumes[0].volume, 100));
    onGuiThread([this, id, volume]() {
        if (liveInfo.liveRoomState != LiveRoomState::Living) {
            return;
        }
        if (CameraRender *view = getUserCamera(id)) {
            setCameraVolume(view, volume);
        }
    });
}

void LiveTrtcDlg::onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                                 TXMediaDeviceState state)
{
    qDebug() << "Live-trtc-onDeviceChange" << type << state << fromSdk(deviceId);
    const int deviceType = type;
    onGuiThread([this, deviceType]() { refreshDeviceMenu(deviceType); });
}

void LiveTrtcDlg::onScreenCaptureCovered()
{
    qDebug() << "Live-trtc-onScreenCaptureCovered";
}

void LiveTrtcDlg::onScreenCaptureStarted()
{
    qDebug() << "Live-trtc-onScreenCaptureStarted";
    onGuiThread([this]() {
        sendWebMsg(QStringLiteral("isRecording"), QStringLiteral("1"));
        if (liveInfo.isScreenSharing == 1) {
            setScreenShareState(ScreenShareState::ScreenShareStartSuccess);
        } else {
            setRecordState(RecordState::RecordStartSuccess);
        }
    });
}

void LiveTrtcDlg::onScreenCapturePaused(int reason)
{
    qDebug() << "Live-trtc-onScreenCapturePaused" << reason;
}

void LiveTrtcDlg::onScreenCaptureResumed(int reason)
{
    qDebug() << "Live-trtc-onScreenCaptureResumed" << reason;
}

void LiveTrtcDlg::onScreenCaptureStoped(int reason)
{
    qDebug() << "Live-trtc-onScreenCaptureStoped" << reason;
    onGuiThread([this]() {
        sendWebMsg(QStringLiteral("isRecording"), QStringLiteral("0"));
        if (liveInfo.isScreenSharing == 1) {
            setScreenShareState(ScreenShareState::ScreenShareStopSuccess);
        } else {
            setRecordState(RecordState::RecordStopSuccess);
        }
    });
}

void LiveTrtcDlg::onLocalRecordBegin(int errCode, const char *storagePath)
{
    const QString path = fromSdk(storagePath);
    qDebug() << "Live-trtc-onLocalRecordBegin" << errCode << path;
    onGuiThread([this, errCode, path]() { localRecordBegan(errCode, path); });
}

void LiveTrtcDlg::onLocalRecordComplete(int errCode, const char *storagePath)
{
    const QString path = fromSdk(storagePath);
    qDebug() << "Live-trtc-onLocalRecordComplete" << errCode << path;
    onGuiThread([this, errCode, path]() { localRecordFinished(errCode, path); });
}

void LiveTrtcDlg::onRenderVideoFrame(const char *userId, liteav::TRTCVideoStreamType streamType,
                                     liteav::TRTCVideoFrame *frame)
{
    Q_UNUSED(userId)
    Q_UNUSED(streamType)
    Q_UNUSED(frame)
}
