#pragma once

// The sink of every IM SDK callback the program registers. A client derives from it, overrides
// what it cares about and passes itself as the user data of each request; the default bodies only
// log.
//
// Threads: the SDK calls back on its own thread. The callbacks that change a client's session
// state (login, logout, join, quit, group tips, kicked offline, signature expired, network status)
// are carried over to the thread of the application object (the GUI thread) before they reach the
// client. The message callbacks (new messages, send and clean-up results, update, receipt, revoke,
// upload progress) run on the SDK's thread: they must not wait for the GUI thread.
//
// Lifetime: a callback for an object that has been destroyed, or destroyed and replaced by another
// at the same address, is dropped. A derived class should call stopImCallbacks() first thing in
// its destructor, so that no callback runs while its own members are being destroyed; the base
// destructor does it otherwise.
class ImCallback
{
public:
    ImCallback();
    ImCallback(const ImCallback &) = delete;
    ImCallback &operator=(const ImCallback &) = delete;
    // Virtual: clients are windows that may be deleted through either base.
    virtual ~ImCallback();

    virtual void onSetConfig(int code, const char *desc, const char *json);
    virtual void onLogCb(int level, const char *log);
    virtual void onNetworkStatusListenerCb(int status, int code, const char *desc);
    virtual void onLoginCb(int code, const char *desc, const char *json);
    virtual void onLogoutCb(int code, const char *desc, const char *json);
    virtual void onGetUserProfileListCb(int code, const char *desc, const char *json);
    virtual void onModifySelfUserProfileCb(int code, const char *desc, const char *json);
    virtual void onKickedCb();
    virtual void onUserSigExpiredCb();
    virtual void onConvEventCb(int event, const char *json);
    virtual void onConvCreateCb(int code, const char *desc, const char *json);
    virtual void onDeleteConvCb(int code, const char *desc, const char *json);
    virtual void onGetConvListCb(int code, const char *desc, const char *json);
    virtual void onRecvNewMsgCb(const char *json);
    virtual void onSendMessageCb(int code, const char *desc, const char *json);
    virtual void onCleanConvUnreadCountCb(int code, const char *desc, const char *json);
    virtual void onRevokeMsgCb(int code, const char *desc, const char *json);
    virtual void onDownloadMsgElemToPathCb(int code, const char *desc, const char *json);
    virtual void onBatchSendMsgCb(int code, const char *desc, const char *json);
    virtual void onMsgUpdateCb(const char *json);
    virtual void onMsgReadedReceiptCallback(const char *json);
    virtual void onMsgRevokeCb(const char *json);
    virtual void onMsgElemUploadProgressCb(const char *json, unsigned index, unsigned current,
                                           unsigned total);
    virtual void onGetHistoryMsgList(int code, const char *desc, const char *json);
    virtual void onCreateGroupCb(int code, const char *desc, const char *json);
    virtual void onDeleteGroupCb(int code, const char *desc, const char *json);
    virtual void onJoinGroupCb(int code, const char *desc, const char *json);
    virtual void onQuitGroupCb(int code, const char *desc, const char *json);
    virtual void onInviteGroupCb(int code, const char *desc, const char *json);
    virtual void onDeleteGroupMemberCb(int code, const char *desc, const char *json);
    virtual void onGetJoinedGroupListCb(int code, const char *desc, const char *json);
    virtual void onGetGroupInfoListCb(int code, const char *desc, const char *json);
    virtual void onModifyGroupInfoCb(int code, const char *desc, const char *json);
    virtual void onModifyGroupMemberInfoListCb(int code, const char *desc, const char *json);
    virtual void onGetGroupOnlineMemberCountCb(int code, const char *desc, const char *json);
    virtual void onGetGroupMemberInfoListCb(int code, const char *desc, const char *json);
    virtual void onGetGroupPendencyListCb(int code, const char *desc, const char *json);
    virtual void onReportGroupPendencyReadedCb(int code, const char *desc, const char *json);
    virtual void onHandleGroupPendencyCb(int code, const char *desc, const char *json);
    virtual void onGroupTipsEventCallback(const char *json);
    virtual void onGetFriendProfileListCb(int code, const char *desc, const char *json);
    virtual void onAddFriendCb(int code, const char *desc, const char *json);
    virtual void onHandleFriendAddRequestCb(int code, const char *desc, const char *json);
    virtual void onModifyFriendProfileCb(int code, const char *desc, const char *json);
    virtual void onCheckFriendTypeCb(int code, const char *desc, const char *json);
    virtual void onDeleteFriendCb(int code, const char *desc, const char *json);
    virtual void onCreateFriendGroupCb(int code, const char *desc, const char *json);
    virtual void onGetFriendGroupListCb(int code, const char *desc, const char *json);
    virtual void onModifyFriendGroupCb(int code, const char *desc, const char *json);
    virtual void onDeleteFriendGroupCb(int code, const char *desc, const char *json);
    virtual void onAddToBlackListCb(int code, const char *desc, const char *json);
    virtual void onGetBlackListCb(int code, const char *desc, const char *json);
    virtual void onDeleteFromBlackListCb(int code, const char *desc, const char *json);
    virtual void onGetFriendshipPendencyListCb(int code, const char *desc, const char *json);
    virtual void onDeleteFriendshipPendencyCb(int code, const char *desc, const char *json);
    virtual void onReportFriendshipPendencyReadedCb(int code, const char *desc, const char *json);

    // The functions whose addresses go to the SDK, one per registered callback kind. Each takes
    // the SDK's arguments and the user data; null user data is ignored.
    static void forwardNetworkStatus(int status, int code, const char *desc, const void *userData);
    static void forwardLogin(int code, const char *desc, const char *json, const void *userData);
    static void forwardLogout(int code, const char *desc, const char *json, const void *userData);
    static void forwardKicked(const void *userData);
    static void forwardUserSigExpired(const void *userData);
    static void forwardRecvNewMsg(const char *json, const void *userData);
    static void forwardSendMessage(int code, const char *desc, const char *json,
                                   const void *userData);
    static void forwardCleanConvUnreadCount(int code, const char *desc, const char *json,
                                            const void *userData);
    static void forwardMsgUpdate(const char *json, const void *userData);
    static void forwardMsgReadedReceipt(const char *json, const void *userData);
    static void forwardMsgRevoke(const char *json, const void *userData);
    static void forwardMsgElemUploadProgress(const char *json, unsigned index, unsigned current,
                                             unsigned total, const void *userData);
    static void forwardJoinGroup(int code, const char *desc, const char *json,
                                 const void *userData);
    static void forwardQuitGroup(int code, const char *desc, const char *json,
                                 const void *userData);
    static void forwardGroupTips(const char *json, const void *userData);

protected:
    // From here on no callback reaches this object; waits for one that is running on another
    // thread. Called again by the base destructor; calling it twice is harmless.
    void stopImCallbacks();
};
