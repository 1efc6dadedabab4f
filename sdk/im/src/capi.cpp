// The C interface: one process-wide SDK instance.
#include "Sdk.h"
#include "brv_im.h"

#include <memory>
#include <mutex>

using brvim::Sdk;

namespace {

std::mutex g_mutex;
std::shared_ptr<Sdk> g_sdk;

std::shared_ptr<Sdk> current()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_sdk;
}

} // namespace

extern "C" {

int TIMInit(uint64_t sdk_app_id, const char *json_config)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_sdk)
        return TIM_ERR_ALREADY;
    std::unique_ptr<Sdk> sdk;
    const int code = Sdk::create(sdk_app_id, json_config, sdk);
    if (code == TIM_SUCC)
        g_sdk = std::move(sdk);
    return code;
}

int TIMUninit(void)
{
    std::shared_ptr<Sdk> sdk;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_sdk)
            return TIM_ERR_NOT_INIT;
        if (g_sdk->inSdkThread())
            return TIM_ERR_IN_CALLBACK;
        sdk.swap(g_sdk);
    }
    sdk->close();
    return TIM_SUCC;
}

const char *TIMGetSDKVersion(void)
{
    return BRV_IM_VERSION;
}

int TIMLogin(const char *user_id, const char *user_sig, TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->login(user_id, user_sig, cb, user_data) : TIM_ERR_NOT_INIT;
}

int TIMLogout(TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->logout(cb, user_data) : TIM_ERR_NOT_INIT;
}

int TIMGroupJoin(const char *group_id, const char *, TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->join(group_id, cb, user_data) : TIM_ERR_NOT_INIT;
}

int TIMGroupQuit(const char *group_id, TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->quit(group_id, cb, user_data) : TIM_ERR_NOT_INIT;
}

int TIMMsgSendMessage(const char *conv_id, int conv_type, const char *json_msg, char *msg_id_buf,
                      TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->send(conv_id, conv_type, json_msg, msg_id_buf, cb, user_data)
               : TIM_ERR_NOT_INIT;
}

int TIMConvCleanConversationUnreadMessageCount(const char *conv_id, uint64_t, uint64_t,
                                               TIMResultCb cb, const void *user_data)
{
    auto sdk = current();
    return sdk ? sdk->cleanUnread(conv_id, cb, user_data) : TIM_ERR_NOT_INIT;
}

void TIMAddRecvNewMsgCallback(TIMJsonCb cb, const void *user_data)
{
    if (auto sdk = current())
        sdk->addRecv(cb, user_data);
}

void TIMRemoveRecvNewMsgCallback(TIMJsonCb cb)
{
    if (auto sdk = current())
        sdk->removeRecv(cb);
}

void TIMSetGroupTipsEventCallback(TIMJsonCb cb, const void *user_data)
{
    if (auto sdk = current())
        sdk->setGroupTips(cb, user_data);
}

// Never raised: there are no message updates, receipts, revocations or uploads.
void TIMSetMsgUpdateCallback(TIMJsonCb, const void *) {}
void TIMSetMsgReadedReceiptCallback(TIMJsonCb, const void *) {}
void TIMSetMsgRevokeCallback(TIMJsonCb, const void *) {}
void TIMSetMsgElemUploadProgressCallback(TIMProgressCb, const void *) {}

void TIMSetNetworkStatusListenerCallback(TIMNetworkCb cb, const void *user_data)
{
    if (auto sdk = current())
        sdk->setNetwork(cb, user_data);
}

void TIMSetKickedOfflineCallback(TIMEventCb cb, const void *user_data)
{
    if (auto sdk = current())
        sdk->setKicked(cb, user_data);
}

void TIMSetUserSigExpiredCallback(TIMEventCb cb, const void *user_data)
{
    if (auto sdk = current())
        sdk->setSigExpired(cb, user_data);
}

} // extern "C"
