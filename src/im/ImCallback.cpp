#include "ImCallback.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QMetaObject>
#include <QMutex>
#include <QWaitCondition>

#include <utility>

namespace {
// Which callback objects exist, and which are being called right now. The SDK holds only raw
// pointers, so every delivery is checked here first.
struct Registry
{
    QMutex mutex;
    QWaitCondition idle;
    // Each object gets a serial number, so that an object created at the address of a destroyed
    // one is not handed the callbacks meant for its predecessor.
    QHash<const ImCallback *, quint64> live;
    QHash<const ImCallback *, int> running;
    quint64 lastSerial = 0;
};

Registry &registry()
{
    // Never destroyed: callback objects with static storage may outlive any other static.
    static auto *instance = new Registry;
    return *instance;
}

// The object this thread is calling back right now, so that an object destroyed from inside its
// own callback does not wait for itself.
thread_local const ImCallback *currentTarget = nullptr;

const char *text(const char *s)
{
    return s ? s : "";
}

ImCallback *target(const void *userData)
{
    return static_cast<ImCallback *>(const_cast<void *>(userData));
}

// Calls into cb on this thread if it still is the object with that serial (0: any serial).
template <typename Call> void callIfLive(ImCallback *cb, quint64 serial, Call &&call)
{
    Registry &r = registry();
    {
        QMutexLocker locker(&r.mutex);
        const auto it = r.live.constFind(cb);
        if (it == r.live.constEnd() || (serial != 0 && it.value() != serial)) {
            return;
        }
        ++r.running[cb];
    }
    const ImCallback *previous = currentTarget;
    currentTarget = cb;
    call(cb);
    currentTarget = previous;
    QMutexLocker locker(&r.mutex);
    // cb may be gone by now; it is only a key here.
    auto it = r.running.find(cb);
    if (--it.value() == 0) {
        r.running.erase(it);
    }
    r.idle.wakeAll();
}

// Message callbacks: on the SDK's thread.
template <typename Call> void deliverHere(const void *userData, Call &&call)
{
    if (!userData) {
        return;
    }
    callIfLive(target(userData), 0, std::forward<Call>(call));
}

// Session callbacks change what a window shows: carried to the application object's thread.
// call must own copies of the SDK's strings, which are only valid during the SDK's call.
template <typename Call> void deliverOnGuiThread(const void *userData, Call call)
{
    if (!userData) {
        return;
    }
    ImCallback *cb = target(userData);
    quint64 serial = 0;
    {
        Registry &r = registry();
        QMutexLocker locker(&r.mutex);
        const auto it = r.live.constFind(cb);
        if (it == r.live.constEnd()) {
            return;
        }
        serial = it.value();
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        // Nothing runs an event loop: the only thread there is to deliver on is this one.
        callIfLive(cb, serial, std::move(call));
        return;
    }
    QMetaObject::invokeMethod(
        app, [cb, serial, call]() { callIfLive(cb, serial, call); }, Qt::QueuedConnection);
}

template <typename Method>
void deliverResultOnGuiThread(Method method, int code, const char *desc, const char *json,
                              const void *userData)
{
    deliverOnGuiThread(userData,
                       [method, code, d = QByteArray(text(desc)), j = QByteArray(text(json))](
                           ImCallback *cb) { (cb->*method)(code, d.constData(), j.constData()); });
}
} // namespace

ImCallback::ImCallback()
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    r.live.insert(this, ++r.lastSerial);
}

ImCallback::~ImCallback()
{
    stopImCallbacks();
}

void ImCallback::stopImCallbacks()
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    r.live.remove(this);
    const int own = currentTarget == this ? 1 : 0;
    while (r.running.value(this) > own) {
        r.idle.wait(&r.mutex);
    }
}

void ImCallback::forwardNetworkStatus(int status, int code, const char *desc, const void *userData)
{
    deliverOnGuiThread(userData, [status, code, d = QByteArray(text(desc))](ImCallback *cb) {
        cb->onNetworkStatusListenerCb(status, code, d.constData());
    });
}

void ImCallback::forwardLogin(int code, const char *desc, const char *json, const void *userData)
{
    deliverResultOnGuiThread(&ImCallback::onLoginCb, code, desc, json, userData);
}

void ImCallback::forwardLogout(int code, const char *desc, const char *json, const void *userData)
{
    deliverResultOnGuiThread(&ImCallback::onLogoutCb, code, desc, json, userData);
}

void ImCallback::forwardKicked(const void *userData)
{
    deliverOnGuiThread(userData, [](ImCallback *cb) { cb->onKickedCb(); });
}

void ImCallback::forwardUserSigExpired(const void *userData)
{
    deliverOnGuiThread(userData, [](ImCallback *cb) { cb->onUserSigExpiredCb(); });
}

void ImCallback::forwardRecvNewMsg(const char *json, const void *userData)
{
    deliverHere(userData, [json](ImCallback *cb) { cb->onRecvNewMsgCb(text(json)); });
}

void ImCallback::forwardSendMessage(int code, const char *desc, const char *json,
                                    const void *userData)
{
    deliverHere(userData,
                [=](ImCallback *cb) { cb->onSendMessageCb(code, text(desc), text(json)); });
}

void ImCallback::forwardCleanConvUnreadCount(int code, const char *desc, const char *json,
                                             const void *userData)
{
    deliverHere(userData, [=](ImCallback *cb) {
        cb->onCleanConvUnreadCountCb(code, text(desc), text(json));
    });
}

void ImCallback::forwardMsgUpdate(const char *json, const void *userData)
{
    deliverHere(userData, [json](ImCallback *cb) { cb->onMsgUpdateCb(text(json)); });
}

void ImCallback::forwardMsgReadedReceipt(const char *json, const void *userData)
{
    deliverHere(userData, [json](ImCallback *cb) { cb->onMsgReadedReceiptCallback(text(json)); });
}

void ImCallback::forwardMsgRevoke(const char *json, const void *userData)
{
    deliverHere(userData, [json](ImCallback *cb) { cb->onMsgRevokeCb(text(json)); });
}

void ImCallback::forwardMsgElemUploadProgress(const char *json, unsigned index, unsigned current,
                                              unsigned total, const void *userData)
{
    deliverHere(userData, [=](ImCallback *cb) {
        cb->onMsgElemUploadProgressCb(text(json), index, current, total);
    });
}

void ImCallback::forwardJoinGroup(int code, const char *desc, const char *json,
                                  const void *userData)
{
    deliverResultOnGuiThread(&ImCallback::onJoinGroupCb, code, desc, json, userData);
}

void ImCallback::forwardQuitGroup(int code, const char *desc, const char *json,
                                  const void *userData)
{
    deliverResultOnGuiThread(&ImCallback::onQuitGroupCb, code, desc, json, userData);
}

void ImCallback::forwardGroupTips(const char *json, const void *userData)
{
    deliverOnGuiThread(userData, [j = QByteArray(text(json))](ImCallback *cb) {
        cb->onGroupTipsEventCallback(j.constData());
    });
}

// The default bodies: one debug line each, the method's name and then its arguments.
#define BRV_IM_LOG_RESULT(name)                                                                    \
    void ImCallback::name(int code, const char *desc, const char *json)                            \
    {                                                                                              \
        qDebug() << "ImCallback::" #name << code << text(desc) << text(json);                      \
    }
#define BRV_IM_LOG_JSON(name)                                                                      \
    void ImCallback::name(const char *json)                                                        \
    {                                                                                              \
        qDebug() << "ImCallback::" #name << text(json);                                            \
    }

BRV_IM_LOG_RESULT(onSetConfig)
BRV_IM_LOG_RESULT(onLoginCb)
BRV_IM_LOG_RESULT(onLogoutCb)
BRV_IM_LOG_RESULT(onGetUserProfileListCb)
BRV_IM_LOG_RESULT(onModifySelfUserProfileCb)
BRV_IM_LOG_RESULT(onConvCreateCb)
BRV_IM_LOG_RESULT(onDeleteConvCb)
BRV_IM_LOG_RESULT(onGetConvListCb)
BRV_IM_LOG_RESULT(onRevokeMsgCb)
BRV_IM_LOG_RESULT(onDownloadMsgElemToPathCb)
BRV_IM_LOG_RESULT(onBatchSendMsgCb)
BRV_IM_LOG_RESULT(onGetHistoryMsgList)
BRV_IM_LOG_RESULT(onCreateGroupCb)
BRV_IM_LOG_RESULT(onDeleteGroupCb)
BRV_IM_LOG_RESULT(onJoinGroupCb)
BRV_IM_LOG_RESULT(onQuitGroupCb)
BRV_IM_LOG_RESULT(onInviteGroupCb)
BRV_IM_LOG_RESULT(onDeleteGroupMemberCb)
BRV_IM_LOG_RESULT(onGetJoinedGroupListCb)
BRV_IM_LOG_RESULT(onGetGroupInfoListCb)
BRV_IM_LOG_RESULT(onModifyGroupInfoCb)
BRV_IM_LOG_RESULT(onModifyGroupMemberInfoListCb)
BRV_IM_LOG_RESULT(onGetGroupOnlineMemberCountCb)
BRV_IM_LOG_RESULT(onGetGroupMemberInfoListCb)
BRV_IM_LOG_RESULT(onGetGroupPendencyListCb)
BRV_IM_LOG_RESULT(onReportGroupPendencyReadedCb)
BRV_IM_LOG_RESULT(onHandleGroupPendencyCb)
BRV_IM_LOG_RESULT(onGetFriendProfileListCb)
BRV_IM_LOG_RESULT(onAddFriendCb)
BRV_IM_LOG_RESULT(onHandleFriendAddRequestCb)
BRV_IM_LOG_RESULT(onModifyFriendProfileCb)
BRV_IM_LOG_RESULT(onCheckFriendTypeCb)
BRV_IM_LOG_RESULT(onDeleteFriendCb)
BRV_IM_LOG_RESULT(onCreateFriendGroupCb)
BRV_IM_LOG_RESULT(onGetFriendGroupListCb)
BRV_IM_LOG_RESULT(onModifyFriendGroupCb)
BRV_IM_LOG_RESULT(onDeleteFriendGroupCb)
BRV_IM_LOG_RESULT(onAddToBlackListCb)
BRV_IM_LOG_RESULT(onGetBlackListCb)
BRV_IM_LOG_RESULT(onDeleteFromBlackListCb)
BRV_IM_LOG_RESULT(onGetFriendshipPendencyListCb)
BRV_IM_LOG_RESULT(onDeleteFriendshipPendencyCb)
BRV_IM_LOG_RESULT(onReportFriendshipPendencyReadedCb)
BRV_IM_LOG_JSON(onRecvNewMsgCb)
BRV_IM_LOG_JSON(onMsgUpdateCb)
BRV_IM_LOG_JSON(onMsgReadedReceiptCallback)
BRV_IM_LOG_JSON(onMsgRevokeCb)
BRV_IM_LOG_JSON(onGroupTipsEventCallback)

// The send and clean-up results are frequent and carry nothing a client must know by default.
void ImCallback::onSendMessageCb(int, const char *, const char *) {}
void ImCallback::onCleanConvUnreadCountCb(int, const char *, const char *) {}

void ImCallback::onLogCb(int level, const char *log)
{
    qDebug() << "ImCallback::onLogCb" << level << text(log);
}

void ImCallback::onNetworkStatusListenerCb(int status, int code, const char *desc)
{
    qDebug() << "ImCallback::onNetworkStatusListenerCb" << status << code << text(desc);
}

void ImCallback::onKickedCb()
{
    qDebug() << "ImCallback::onKickedCb";
}

void ImCallback::onUserSigExpiredCb()
{
    qDebug() << "ImCallback::onUserSigExpiredCb";
}

void ImCallback::onConvEventCb(int event, const char *json)
{
    qDebug() << "ImCallback::onConvEventCb" << event << text(json);
}

void ImCallback::onMsgElemUploadProgressCb(const char *json, unsigned index, unsigned current,
                                           unsigned total)
{
    qDebug() << "ImCallback::onMsgElemUploadProgressCb" << text(json) << index << current << total;
}
