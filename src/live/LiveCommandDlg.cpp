#include "LiveCommandDlg.h"

#include "AppSettings.h"
#include "GlobalSignal.h"
#include "JsonUtil.h"
#include "RecvImMsgTask.h"
#include "TrtcUtil.h"

#include <QDebug>

namespace {

const QString signalLiveCommand = QStringLiteral("Signal_LiveCommand");
const QString signalChatMsg = QStringLiteral("Signal_ChatMsg");

QString cmd(const QJsonObject &object)
{
    return JsonUtil::getString(object, QStringLiteral("command"));
}

int liveTimeOf(const QJsonObject &object)
{
    return static_cast<int>(JsonUtil::getDouble(object, QStringLiteral("liveTime"), 0));
}

} // namespace

LiveCommandDlg::LiveCommandDlg(QWidget *parent) : LiveScreenDlg(parent)
{
    qDebug() << "Live-command-LiveCommandDlg";
    GlobalSignal *bus = GlobalSignal::Instance();
    bus->add(signalLiveCommand, this, SLOT(slotLiveCommand(QString)));
    bus->add(signalChatMsg, this, SLOT(slotChatMsg(QString)));
    bus->add(ImSignal::RemoteLiveCommand, this, SLOT(slotRemoteLiveCommand(QString)));
    bus->add(ImSignal::RemoteBoardCommand, this, SLOT(slotRemoteBoardCommand(QString)));
    bus->add(ImSignal::RemoteImCommand, this, SLOT(slotRemoteImCommand(QString)));
    bus->add(ImSignal::RecvLiveChatMsg, this, SLOT(slotRecvChatMsg(QString)));
}

LiveCommandDlg::~LiveCommandDlg()
{
    qDebug() << "Live-command-～LiveCommandDlg";
    GlobalSignal *bus = GlobalSignal::Instance();
    bus->remove(signalLiveCommand, this);
    bus->remove(signalChatMsg, this);
    bus->remove(ImSignal::RemoteLiveCommand, this);
    bus->remove(ImSignal::RemoteBoardCommand, this);
    bus->remove(ImSignal::RemoteImCommand, this);
    bus->remove(ImSignal::RecvLiveChatMsg, this);
}

bool LiveCommandDlg::isStudent() const
{
    return currLiveUser.userType.compare(LiveUserType::Student, Qt::CaseInsensitive) == 0;
}

bool LiveCommandDlg::isTeacher() const
{
    return currLiveUser.userType.compare(LiveUserType::Teacher, Qt::CaseInsensitive) == 0;
}

void LiveCommandDlg::setUserMaxVideo(const QString &userId, bool isMax)
{
    LiveUser user = getLiveUser(userId);
    user.isMaxVideo = isMax ? 1 : 0;
    updateLiveUser(user);
}

void LiveCommandDlg::stopRecord()
{
    if (recordState != RecordState::RecordStartSuccess &&
        recordState != RecordState::RecordStarting) {
        return;
    }
    if (liveInfo.isScreenSharing == 1 && !isRecordingToFile()) {
        // The share goes on; only the recording of it ends.
        setRecordState(RecordState::RecordStopSuccess);
        return;
    }
    setRecordState(RecordState::RecordStoping);
    stopRecordCapture();
}

void LiveCommandDlg::slotLiveCommand(QString param)
{
    const QJsonObject object = JsonUtil::str2Json(param);
    const QString command = cmd(object);
    const QString userId = JsonUtil::getString(object, QStringLiteral("userId"));
    qDebug() << "live-command-slotLiveCommand" << command << userId;
    const auto device = [command](const QString &on, const QString &off, int type,
                                  LiveCommandDlg *self) {
        if (command != on && command != off) {
            return false;
        }
        const bool enable = command == on;
        AppSettings::setDeviceEnabled(type, enable);
        self->enableDevice(type, enable);
        return true;
    };
    if (device(QStringLiteral("EnableCamera"), QStringLiteral("DisableCamera"), TrtcDevice::Camera,
               this) ||
        device(QStringLiteral("EnableMic"), QStringLiteral("DisableMic"), TrtcDevice::Mic, this) ||
        device(QStringLiteral("EnableSpeaker"), QStringLiteral("DisableSpeaker"),
               TrtcDevice::Speaker, this)) {
        return;
    }
    if (command == QLatin1String("ChangeUiMode")) {
        sendWebMsg(QStringLiteral("LiveCommand"),
                   QJsonObject{{QStringLiteral("command"), QStringLiteral("ChangeUiMode")}});
    } else if (command == QLatin1String("SetBasicBeauty")) {
        AppSettings::setBeautyStyle(BeautyStyle::fromJson(object));
        TrtcUtil::instance()->applyBeautyStyle();
    } else if (command == QLatin1String("StopBasicBeauty")) {
        BeautyStyle style = AppSettings::beautyStyle();
        style.isEnable = false;
        AppSettings::setBeautyStyle(style);
        TrtcUtil::instance()->applyBeautyStyle();
    } else if (command == QLatin1String("StartLive")) {
        liveTime = liveTimeOf(object);
        enterRoom();
    } else if (command == QLatin1String("CloseLive") && !isStudent()) {
        // A teacher's or assistant's "CloseLive" ends the class for everyone: the others are told
        // first, then this window runs its own close sequence.
        liveTime = liveTimeOf(object);
        sendGroupLiveCommand(QJsonObject{{QStringLiteral("command"), QStringLiteral("CloseLive")},
                                         {QStringLiteral("liveTime"), liveTime}});
        closeEx();
    } else if (command == QLatin1String("StopLive") || command == QLatin1String("CloseLive")) {
        liveTime = liveTimeOf(object);
        exitRoom();
    } else if (command == QLatin1String("LiveWatch")) {
        liveTime = liveTimeOf(object);
        sendGroupLiveCommand(QJsonObject{{QStringLiteral("command"), QStringLiteral("LiveWatch")},
                                         {QStringLiteral("liveTime"), liveTime},
                                         {QStringLiteral("watchData"), getWatchData()}});
    } else if (command == QLatin1String("MaxVideo") || command == QLatin1String("NormalVideo")) {
        setUserMaxVideo(userId, command == QLatin1String("MaxVideo"));
    } else if (command == QLatin1String("StartScreenShare")) {
        showShareOption();
    } else if (command == QLatin1String("StopScreenShare")) {
        stopScreenShare();
    } else if (command == QLatin1String("StartRecord")) {
        startRecord();
    } else if (command == QLatin1String("StopRecord")) {
        stopRecord();
    } else if (command.isEmpty()) {
        return;
    } else if (!userId.isEmpty()) {
        sendC2CLiveCommand(userId, command);
    } else {
        sendGroupLiveCommand(command);
    }
}

void LiveCommandDlg::slotChatMsg(QString param)
{
    qDebug() << "live-command-slotChatMsg" << param;
    const QJsonObject object = JsonUtil::str2Json(param);
    const QString userId = JsonUtil::getString(object, QStringLiteral("userId"));
    const QString message = JsonUtil::getString(object, QStringLiteral("message"));
    if (!userId.isEmpty()) {
        sendC2CChatMsg(userId, message);
    } else {
        sendGroupChatMsg(message);
    }
}

QString LiveCommandDlg::refusalOf(const QString &command, const QString &sender,
                                  const QJsonObject &data)
{
    static const QStringList classBound = {QStringLiteral("OpenCameraMic"),
                                           QStringLiteral("OpenCamera"), QStringLiteral("OpenMic"),
                                           QStringLiteral("StopLive"), QStringLiteral("CloseLive")};
    static const QStringList opening = {QStringLiteral("OpenCameraMic"),
                                        QStringLiteral("OpenCamera"), QStringLiteral("OpenMic")};
    if (!classBound.contains(command)) {
        return QString();
    }
    if (liveId.isEmpty() || JsonUtil::getString(data, QStringLiteral("liveId")) != liveId) {
        return QStringLiteral("another class");
    }
    if (opening.contains(command)) {
        const bool fromStaff =
            !sender.isEmpty() && (sender == teacherInfo.userId || sender == assistantInfo.userId);
        if (!fromStaff) {
            return QStringLiteral("not from the class's teacher or assistant");
        }
    }
    return QString();
}

void LiveCommandDlg::slotRemoteLiveCommand(QString param)
{
    qDebug() << "live-command-slotRemoteLiveCommand" << param;
    const QJsonObject envelope = JsonUtil::str2Json(param);
    const QJsonObject data = JsonUtil::getObject(envelope, QStringLiteral("data"));
    const QString sender = JsonUtil::getString(envelope, QStringLiteral("sender"));
    const QString command = cmd(data);
    const QString refusal = refusalOf(command, sender, data);
    if (!refusal.isEmpty()) {
        qWarning() << "live-command-slotRemoteLiveCommand refused" << command << "from" << sender
                   << "liveId" << JsonUtil::getString(data, QStringLiteral("liveId")) << "-"
                   << refusal;
        return;
    }
    if (command == QLatin1String("OnlineLiveUser")) {
        const QString fileUrl = JsonUtil::getString(data, QStringLiteral("fileUrl"));
        if (!fileUrl.isEmpty() && fileUrl.contains(requestId)) {
            hanleOnlineUser(fileUrl);
        }
    } else if (command == QLatin1String("GroupMemberJoin")) {
        if (!isStudent()) {
            LiveUser user;
            user.fromJson(JsonUtil::getObject(data, QStringLiteral("liveUser")));
            handleGroupMemberJoin(user);
        }
    } else if (command == QLatin1String("SyncLiveUser")) {
        LiveUser user;
        user.fromJson(JsonUtil::getObject(data, QStringLiteral("liveUser")));
        updateLiveUser(user);
    } else if (command == QLatin1String("StartLive")) {
        updateLiveTime(liveTimeOf(data));
        enterRoom();
    } else if (command == QLatin1String("StopLive")) {
        updateLiveTime(liveTimeOf(data));
        exitRoom();
    } else if (command == QLatin1String("CloseLive")) {
        updateLiveTime(liveTimeOf(data));
        closeEx();
    } else if (command == QLatin1String("LiveWatch")) {
        if (!isTeacher()) {
            updateLiveTime(liveTimeOf(data));
        }
    } else if (command == QLatin1String("OpenCameraMic")) {
        startLocalVideo();
        startLocalAudio();
    } else if (command == QLatin1String("OpenCamera")) {
        startLocalVideo();
    } else if (command == QLatin1String("OpenMic")) {
        startLocalAudio();
    } else if (command == QLatin1String("CloseAllCameras") ||
               command == QLatin1String("CloseCamera")) {
        stopLocalVideo();
    } else if (command == QLatin1String("CloseAllMics") || command == QLatin1String("CloseMic")) {
        stopLocalAudio();
    } else if (command == QLatin1String("MaxVideo") || command == QLatin1String("NormalVideo")) {
        setUserMaxVideo(JsonUtil::getString(data, QStringLiteral("userId")),
                        command == QLatin1String("MaxVideo"));
    } else if (command == QLatin1String("StartScreenShare") ||
               command == QLatin1String("StopScreenShare")) {
        const bool start = command == QLatin1String("StartScreenShare");
        liveInfo.isScreenSharing = start ? 1 : 0;
        // The sharer is the one who said so; the view of the share follows.
        if (start && !sender.isEmpty()) {
            liveInfo.screenShareUserId = sender;
        }
        updateLiveInfo();
        if (start && currLiveUser.isEnteredRoom == 1) {
            showScreenRender(liveInfo.screenShareUserId);
        } else if (!start) {
            hideScreenRender();
        }
    }
}

void LiveCommandDlg::forwardRemote(const QString &param, const QString &historyCommand,
                                   const QString &funcName)
{
    const QJsonObject envelope = JsonUtil::str2Json(param);
    const QJsonObject data = JsonUtil::getObject(envelope, QStringLiteral("data"));
    if (JsonUtil::getString(data, QStringLiteral("liveId")) != liveId || liveId.isEmpty()) {
        return;
    }
    if (cmd(data) == historyCommand) {
        const QString fileUrl = JsonUtil::getString(data, QStringLiteral("fileUrl"));
        if (fileUrl.isEmpty() || !fileUrl.contains(requestId)) {
            return;
        }
    }
    sendWebMsg(funcName, data);
}

void LiveCommandDlg::slotRemoteBoardCommand(QString param)
{
    qDebug() << "live-command-slotRemoteBoardCommand" << param;
    forwardRemote(param, QStringLiteral("HistoryBoardMsg"), QStringLiteral("BoardCommand"));
}

void LiveCommandDlg::slotRemoteImCommand(QString param)
{
    qDebug() << "live-command-slotRemoteImCommand" << param;
    forwardRemote(param, QStringLiteral("HistoryChatMsg"), QStringLiteral("ImCommand"));
}

void LiveCommandDlg::slotRecvChatMsg(QString param)
{
    qDebug() << "live-command-slotRecvChatMsg" << param;
    sendWebMsg(QStringLiteral("ChatMsg"), param);
}
