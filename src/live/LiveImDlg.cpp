#include "LiveImDlg.h"

#include "AppSettings.h"
#include "ImUtil.h"
#include "JsonUtil.h"
#include "RecvImMsgTask.h"
#include "SendImMsgTask.h"

#include <QDebug>
#include <QJsonArray>
#include <QThreadPool>

namespace {

const QString commandKey = QStringLiteral("command");
const QString liveIdKey = QStringLiteral("liveId");
const QString requestIdKey = QStringLiteral("requestId");

QString text(const char *s)
{
    return QString::fromUtf8(s ? s : "");
}

QJsonObject sendTask(int convType, const QString &convId, const QString &msgType,
                     const QJsonValue &msgData)
{
    return QJsonObject{{QStringLiteral("convType"), convType},
                       {QStringLiteral("convId"), convId},
                       {QStringLiteral("msgType"), msgType},
                       {QStringLiteral("msgData"), msgData}};
}

bool isStudentType(const QString &type)
{
    return type.compare(LiveUserType::Student, Qt::CaseInsensitive) == 0;
}

} // namespace

LiveImDlg::LiveImDlg(QWidget *parent) : LiveUserDlg(parent) {}

LiveImDlg::~LiveImDlg()
{
    qDebug() << "Live-~LiveImDlg";
    qDebug() << "Live-im-uninitIm";
    // First: no callback may run while this layer's members go away.
    stopImCallbacks();
    if (!imStarted) {
        return;
    }
    registerImCallbacks(nullptr);
    ImUtil *im = ImUtil::instance();
    const int code = im->uninit();
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImUninitError);
    } else {
        setLiveState(LiveState::ImUninitSuccess);
    }
}

void LiveImDlg::registerImCallbacks(ImCallback *cb)
{
    ImUtil *im = ImUtil::instance();
    im->setUserStatusCallback(cb);
    im->setNetworkStatusListenerCallback(cb);
    im->setMessageCallback(cb);
    im->setGroupTipsEventCallback(cb);
}

void LiveImDlg::initIm()
{
    qDebug() << "Live-im-initIm" << trtcSdkAppId;
    const int code = ImUtil::instance()->init(trtcSdkAppId);
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImInitError);
        return;
    }
    imStarted = true;
    setLiveState(LiveState::ImInitSuccess);
    registerImCallbacks(this);
}

void LiveImDlg::loginIm()
{
    qDebug() << "Live-im-loginIm";
    const int code = ImUtil::instance()->login(AppSettings::userId(), trtcUserSig, this);
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImLoginError);
    }
}

void LiveImDlg::joinGroup()
{
    qDebug() << "Live-im-joinGroup";
    setLiveState(LiveState::JoinGrouping);
    const int code = ImUtil::instance()->joinGroup(liveId, this);
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::JoinGroupError);
    }
}

void LiveImDlg::quitGroup()
{
    qDebug() << "Live-im-quitGroup";
    setLiveState(LiveState::QuitGrouping);
    const int code = ImUtil::instance()->quitGroup(liveId, this);
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::QuitGroupError);
    }
}

void LiveImDlg::logoutIm()
{
    qDebug() << "Live-im-logoutIm";
    setLiveState(LiveState::ImLogouting);
    const int code = ImUtil::instance()->logout(this);
    if (code != 0) {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImLogoutError);
    }
}

void LiveImDlg::onLoginCb(int code, const char *desc, const char *json)
{
    qDebug() << "Live-im-onLoginCb" << code << text(desc) << text(json);
    if (code == 0) {
        setLiveState(LiveState::ImLoginSuccess);
    } else {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImLoginError);
    }
}

void LiveImDlg::onLogoutCb(int code, const char *desc, const char *json)
{
    qDebug() << "Live-im-onLogoutCb" << code << text(desc) << text(json);
    if (code == 0) {
        setLiveState(LiveState::ImLogoutSuccess);
    } else {
        setErrorInfo(code, QString());
        setLiveState(LiveState::ImLogoutError);
    }
}

void LiveImDlg::onJoinGroupCb(int code, const char *desc, const char *json)
{
    qDebug() << "Live-im-onJoinGroupCb" << code << text(desc) << text(json);
    if (!isImError(code)) {
        setLiveState(LiveState::JoinGroupSuccess);
    } else {
        setErrorInfo(code, QString());
        setLiveState(LiveState::JoinGroupError);
    }
}

void LiveImDlg::onQuitGroupCb(int code, const char *desc, const char *json)
{
    qDebug() << "Live-im-onQuitGroupCb" << code << text(desc) << text(json);
    // Whatever the answer, this user is no longer in the group for the class's purposes.
    setLiveState(LiveState::QuitGroupSuccess);
}

void LiveImDlg::onSendMessageCb(int code, const char *desc, const char *json)
{
    // On the SDK's thread: logging only.
    qDebug() << "live-im-onSendMessageCb" << code << text(desc) << text(json);
}

void LiveImDlg::onRecvNewMsgCb(const char *json)
{
    // On the SDK's thread: the task publishes on the event bus, which reaches the window queued.
    const QString messages = text(json);
    qDebug() << "Live-im-onRecvNewMsgCb" << messages;
    const QJsonArray array = JsonUtil::str2JsonAarry(messages);
    if (!array.isEmpty()) {
        QThreadPool::globalInstance()->start(new RecvImMsgTask(array));
    }
}

void LiveImDlg::createSendMsgTask(const QJsonObject &task)
{
    qDebug() << "live-im-createSendMsgTask" << task;
    auto *sender = new SendImMsgTask(task, this);
    sender->setAutoDelete(true);
    QThreadPool::globalInstance()->start(sender, 0);
}

void LiveImDlg::sendC2CChatMsg(const QString &userId, const QString &msg)
{
    qDebug() << "live-im-sendC2CChatMsg" << userId << msg;
    createSendMsgTask(sendTask(ImConvC2C, userId, ImMsgType::ChatMsg, msg));
}

void LiveImDlg::sendGroupChatMsg(const QString &msg)
{
    qDebug() << "live-im-sendGroupChatMsg" << msg;
    createSendMsgTask(sendTask(ImConvGroup, liveId, ImMsgType::ChatMsg, msg));
}

void LiveImDlg::sendC2CLiveCommand(const QString &userId, const QString &command)
{
    qDebug() << "live-im-sendC2CLiveCommand" << userId << command;
    QJsonObject obj{{commandKey, command}};
    if (command == QLatin1String("GetOnlineLiveUser")) {
        obj.insert(requestIdKey, requestId);
    }
    sendC2CLiveCommand(userId, obj);
}

void LiveImDlg::sendC2CLiveCommand(const QString &userId, const QJsonObject &command)
{
    qDebug() << "live-im-sendC2CLiveCommand" << userId << command;
    QJsonObject data = command;
    data.insert(liveIdKey, liveId);
    createSendMsgTask(sendTask(ImConvC2C, userId, ImMsgType::LiveCommand, data));
}

void LiveImDlg::sendC2CBoardCommand(const QString &userId, const QString &command)
{
    qDebug() << "live-im-sendC2CBoardCommand" << userId << command;
    QJsonObject data{{commandKey, command}, {liveIdKey, liveId}};
    if (command == QLatin1String("GetHistoryBoardMsg")) {
        data.insert(requestIdKey, requestId);
    }
    createSendMsgTask(sendTask(ImConvC2C, userId, ImMsgType::BoardCommand, data));
}

void LiveImDlg::sendC2CImCommand(const QString &userId, const QString &command)
{
    qDebug() << "live-im-sendC2CImCommand" << userId << command;
    QJsonObject data{{commandKey, command}, {liveIdKey, liveId}};
    if (command == QLatin1String("GetHistoryChatMsg")) {
        data.insert(requestIdKey, requestId);
    }
    createSendMsgTask(sendTask(ImConvC2C, userId, ImMsgType::ImCommand, data));
}

void LiveImDlg::sendGroupLiveCommand(const QJsonObject &command)
{
    qDebug() << "live-im-sendGroupLiveCommand" << command;
    QJsonObject data = command;
    data.insert(liveIdKey, liveId);
    createSendMsgTask(sendTask(ImConvGroup, liveId, ImMsgType::LiveCommand, data));
}

void LiveImDlg::sendGroupLiveCommand(const QString &command)
{
    qDebug() << "live-im-sendGroupLiveCommand" << command;
    sendGroupLiveCommand(QJsonObject{{commandKey, command}});
}

void LiveImDlg::sendGroupBoardCommand(const QJsonObject &command)
{
    qDebug() << "live-im-sendGroupBoardCommand" << command;
    QJsonObject data = command;
    data.insert(liveIdKey, liveId);
    createSendMsgTask(sendTask(ImConvGroup, liveId, ImMsgType::BoardCommand, data));
}

void LiveImDlg::handleGroupMemberJoin(LiveUser user)
{
    qDebug() << "live-im-handleGroupMemberJoin" << user.userId;
    if (user.userId.isEmpty() || isStudentType(currLiveUser.userType) ||
        !isStudentType(user.userType)) {
        return;
    }
    offlineStudentList.remove(user.userId);
    user.isJoinedGroup = 1;
    onlineStudentList.insert(user.userId, user);
    updateLiveUser(user);
}

void LiveImDlg::handleGroupMemberExit(const QString &userId)
{
    qDebug() << "live-im-handleGroupMemberExit" << userId;
    if (userId.isEmpty()) {
        return;
    }
    LiveUser user = getLiveUser(userId);
    if (user.userId.isEmpty()) {
        return;
    }
    if (!isStudentType(currLiveUser.userType) && isStudentType(user.userType)) {
        onlineStudentList.remove(userId);
        user.isJoinedGroup = 0;
        user.isEnteredRoom = 0;
        offlineStudentList.insert(userId, user);
    }
    updateLiveUser(user);
}

void LiveImDlg::onGroupTipsEventCallback(const char *json)
{
    const QString tip = text(json);
    qDebug() << "Live-im-onGroupTipsEventCallback" << tip;
    const QJsonObject obj = JsonUtil::str2Json(tip);
    if (obj.isEmpty()) {
        return;
    }
    const QString groupId =
        JsonUtil::getString(obj, QStringLiteral("group_tips_elem_group_id"), QString());
    if (!groupId.isEmpty() && groupId.compare(liveId, Qt::CaseInsensitive) != 0) {
        return;
    }
    const double type = JsonUtil::getDouble(obj, QStringLiteral("group_tips_elem_tip_type"), 0);
    // 2: a member left, 3: members were removed.
    if (type < 2 || type >= 4) {
        return;
    }
    const QJsonArray users = JsonUtil::getArray(obj, QStringLiteral("group_tips_elem_user_array"));
    if (users.isEmpty()) {
        handleGroupMemberExit(
            JsonUtil::getString(obj, QStringLiteral("group_tips_elem_op_user"), QString()));
        return;
    }
    for (const QJsonValue &user : users) {
        handleGroupMemberExit(user.toString());
    }
}
