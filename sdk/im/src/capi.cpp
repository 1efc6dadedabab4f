#include "brv_im.h"

// Placeholder until the back ends land: every request is refused.
extern "C" {
int TIMInit(uint64_t, const char *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMUninit(void)
{
    return TIM_ERR_NOT_INIT;
}
const char *TIMGetSDKVersion(void)
{
    return "0.0.0";
}
int TIMLogin(const char *, const char *, TIMResultCb, const void *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMLogout(TIMResultCb, const void *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMGroupJoin(const char *, const char *, TIMResultCb, const void *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMGroupQuit(const char *, TIMResultCb, const void *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMMsgSendMessage(const char *, int, const char *, char *, TIMResultCb, const void *)
{
    return TIM_ERR_NOT_INIT;
}
int TIMConvCleanConversationUnreadMessageCount(const char *, uint64_t, uint64_t, TIMResultCb,
                                               const void *)
{
    return TIM_ERR_NOT_INIT;
}
void TIMAddRecvNewMsgCallback(TIMJsonCb, const void *) {}
void TIMRemoveRecvNewMsgCallback(TIMJsonCb) {}
void TIMSetGroupTipsEventCallback(TIMJsonCb, const void *) {}
void TIMSetMsgUpdateCallback(TIMJsonCb, const void *) {}
void TIMSetMsgReadedReceiptCallback(TIMJsonCb, const void *) {}
void TIMSetMsgRevokeCallback(TIMJsonCb, const void *) {}
void TIMSetMsgElemUploadProgressCallback(TIMProgressCb, const void *) {}
void TIMSetNetworkStatusListenerCallback(TIMNetworkCb, const void *) {}
void TIMSetKickedOfflineCallback(TIMEventCb, const void *) {}
void TIMSetUserSigExpiredCallback(TIMEventCb, const void *) {}
}
