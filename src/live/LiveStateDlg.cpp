#include "LiveStateDlg.h"

#include "TrtcUtil.h"

#include <QDebug>

namespace {

const QString command = QStringLiteral("command");

QJsonObject liveCommand(const QString &name, int liveTime, const QJsonObject &watchData)
{
    return QJsonObject{{command, name},
                       {QStringLiteral("liveTime"), liveTime},
                       {QStringLiteral("watchData"), watchData}};
}

} // namespace

LiveStateDlg::LiveStateDlg(QWidget *parent) : LiveBaseDlg(parent) {}

LiveStateDlg::~LiveStateDlg() = default;

bool LiveStateDlg::isTeacher() const
{
    return currLiveUser.userType.compare(LiveUserType::Teacher, Qt::CaseInsensitive) == 0;
}

bool LiveStateDlg::isStudent() const
{
    return currLiveUser.userType.compare(LiveUserType::Student, Qt::CaseInsensitive) == 0;
}

void LiveStateDlg::setLiveState(const QString &state)
{
    qDebug() << "Live-state-setLiveState" << state;
    liveState = state;
    // The page hears of a state before the steps it starts: those report states of their own,
    // which must reach the page after this one, not before it.
    sendWebMsg(QStringLiteral("SetLiveState"), state);

    if (state == LiveState::ImInitSuccess) {
        loginIm();
    } else if (state == LiveState::ImLoginSuccess) {
        sendC2CImCommand(LiveUserType::Admin, QStringLiteral("GetHistoryChatMsg"));
        sendC2CBoardCommand(LiveUserType::Admin, QStringLiteral("GetHistoryBoardMsg"));
        if (!isStudent()) {
            sendC2CLiveCommand(LiveUserType::Admin, QStringLiteral("GetOnlineLiveUser"));
        }
        joinGroup();
    } else if (state == LiveState::JoinGroupSuccess) {
        currLiveUser.isJoinedGroup = 1;
        updateLiveUser(currLiveUser);
        if (!isStudent()) {
            liveInfo.imGroupState = ImGroupState::Created;
            sendGroupLiveCommand(QJsonObject{{command, QStringLiteral("GroupMemberJoin")},
                                             {QStringLiteral("liveUser"), currLiveUser.toJson()}});
        }
        if (liveInfo.liveRoomState.compare(LiveRoomState::Living, Qt::CaseInsensitive) == 0) {
            enterRoom();
        }
    } else if (state == LiveState::EnterRoomSuccess) {
        liveInfo.liveRoomState = LiveRoomState::Living;
        currLiveUser.isEnteredRoom = 1;
        updateLiveUser(currLiveUser);
        if (isTeacher()) {
            updateLiveInfo();
            startLocalVideo();
            startLocalAudio();
            if (liveSettings.autoRecord == 1) {
                startRecord();
            }
            sendGroupLiveCommand(
                liveCommand(QStringLiteral("StartLive"), liveTime, getWatchData()));
        }
        if (liveInfo.isScreenSharing == 1) {
            showScreenRender(liveInfo.screenShareUserId);
        }
    } else if (state == LiveState::ExitRoomSuccess) {
        currLiveUser.isEnteredRoom = 0;
        currLiveUser.cameraState = LiveDeviceState::Unknown;
        currLiveUser.micState = LiveDeviceState::Unknown;
        liveInfo.liveRoomState = LiveRoomState::Stop;
        if (isTeacher()) {
            sendGroupLiveCommand(liveCommand(QStringLiteral("StopLive"), liveTime, getWatchData()));
        }
        updateLiveInfo();
        updateLiveUser(currLiveUser);
        stopLocalVideo();
        stopLocalAudio();
        hideScreenRender();
        TrtcUtil::instance()->stopAllRemoteView();
        if (isClosing) {
            quitGroup();
        }
    } else if (state == LiveState::QuitGroupSuccess || state == LiveState::QuitGroupError) {
        currLiveUser.isJoinedGroup = 0;
        updateLiveUser(currLiveUser);
        if (isTeacher()) {
            liveInfo.imGroupState = ImGroupState::Close;
        }
        if (isClosing) {
            logoutIm();
        }
    } else if (state == LiveState::ImLogoutSuccess || state == LiveState::ImLogoutError) {
        if (isClosing) {
            closeEx();
        }
    }
}

void LiveStateDlg::setRecordState(const QString &state)
{
    qDebug() << "Live-state-setRecordState" << state;
    recordState = state;
    if (state == RecordState::RecordStartSuccess) {
        liveInfo.isRecording = 1;
        updateLiveInfo();
    } else if (state == RecordState::RecordStopSuccess) {
        liveInfo.isRecording = 0;
        updateLiveInfo();
    }
    sendWebMsg(QStringLiteral("SetRecordState"), state);
}

void LiveStateDlg::setScreenShareState(const QString &state)
{
    qDebug() << "Live-state-setScreenShareState" << state;
    screenShareState = state;
    if (state == ScreenShareState::ScreenShareStartSuccess) {
        liveInfo.screenShareUserId = currLiveUser.userId;
        liveInfo.isScreenSharing = 1;
        updateLiveInfo();
    } else if (state == ScreenShareState::ScreenShareStopSuccess) {
        liveInfo.isScreenSharing = 0;
        updateLiveInfo();
    }
    sendWebMsg(QStringLiteral("SetScreenShareState"), state);
}
