#pragma once

#include "Backend.h"
#include "EventLoop.h"
#include "brv_im.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace brvim {

// One SDK instance: its thread, its back end and the caller's callbacks. The C interface drives
// the process's default instance; tests make more to play other users in the same process.
class BRV_IM_API Sdk final : private BackendHost
{
public:
    ~Sdk() override;
    // 0 and a started instance, or a TIM_ERR_* code.
    static int create(uint64_t appId, const char *jsonConfig, std::unique_ptr<Sdk> &out);

    // Stops the thread; false when called from one of this instance's callbacks.
    bool close();
    bool inSdkThread() const { return m_loop.inLoopThread(); }
    bool isEmbedded() const { return m_embedded; }

    int login(const char *user, const char *sig, TIMResultCb cb, const void *ud);
    int logout(TIMResultCb cb, const void *ud);
    int join(const char *group, TIMResultCb cb, const void *ud);
    int quit(const char *group, TIMResultCb cb, const void *ud);
    int send(const char *conv, int convType, const char *json, char *idBuf, TIMResultCb cb,
             const void *ud);
    int cleanUnread(const char *conv, TIMResultCb cb, const void *ud);

    void addRecv(TIMJsonCb cb, const void *ud);
    void removeRecv(TIMJsonCb cb);
    void setGroupTips(TIMJsonCb cb, const void *ud);
    void setNetwork(TIMNetworkCb cb, const void *ud);
    void setKicked(TIMEventCb cb, const void *ud);
    void setSigExpired(TIMEventCb cb, const void *ud);

private:
    Sdk() = default;

    // BackendHost
    EventLoop &loop() override { return m_loop; }
    void deliverMessages(const QJsonArray &messages) override;
    void deliverGroupTips(const QJsonObject &tips) override;
    void networkStatus(int status, int code, const std::string &desc) override;
    void kickedOffline() override;
    void userSigExpired() override;

    int postRequest(bool needLogin, std::function<void(Done)> request, TIMResultCb cb,
                    const void *ud);
    // Runs fn with the dispatch lock held, so that removals from other threads wait for it.
    template <typename F> void dispatch(F fn);
    // Takes the registration lock the right way for the calling thread.
    template <typename F> void changeCallbacks(F fn);
    void log(const std::string &line);

    EventLoop m_loop;
    std::unique_ptr<Backend> m_backend;
    bool m_embedded = true;
    uint64_t m_appId = 0;
    std::string m_logPath;

    enum class State { Out, SigningIn, In };
    std::mutex m_stateMutex;
    State m_state = State::Out;
    bool m_closed = false;

    std::mutex m_dispatchMutex; // held while a callback runs on the SDK thread
    std::mutex m_regMutex;      // guards the registrations below
    std::map<TIMJsonCb, const void *> m_recv;
    std::pair<TIMJsonCb, const void *> m_tips{nullptr, nullptr};
    std::pair<TIMNetworkCb, const void *> m_network{nullptr, nullptr};
    std::pair<TIMEventCb, const void *> m_kicked{nullptr, nullptr};
    std::pair<TIMEventCb, const void *> m_sigExpired{nullptr, nullptr};
    uint64_t m_generation = 0; // bumped by close(): results of older requests are dropped
};

} // namespace brvim
