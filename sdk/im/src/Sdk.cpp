#include "Sdk.h"

#include "Embedded.h"
#include "Xmpp.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>

namespace brvim {

int Sdk::create(uint64_t appId, const char *jsonConfig, std::unique_ptr<Sdk> &out)
{
    QJsonObject config;
    if (jsonConfig && *jsonConfig) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(jsonConfig), &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject())
            return TIM_ERR_PARAM;
        config = doc.object();
    }
    std::string server = config.value(QStringLiteral("brv_server")).toString().toStdString();
    if (server.empty()) {
        const char *env = std::getenv("BRV_IM_SERVER");
        if (env)
            server = env;
    }
    std::unique_ptr<Sdk> sdk(new Sdk);
    sdk->m_appId = appId;
    const QString logDir = config.value(QStringLiteral("sdk_config_log_file_path")).toString();
    if (!logDir.isEmpty())
        sdk->m_logPath = (logDir + QStringLiteral("/brv_im.log")).toStdString();
    if (server.empty()) {
        sdk->m_backend = makeEmbeddedBackend(*sdk, appId);
    } else {
        ServerAddress address;
        if (!parseServerAddress(server, address))
            return TIM_ERR_SERVER_ADDRESS;
        sdk->m_embedded = false;
        sdk->m_backend = makeXmppBackend(*sdk, address, appId);
        if (!sdk->m_backend)
            return TIM_ERR_SERVER_ADDRESS;
    }
    sdk->log(std::string("init, ") + (server.empty() ? "embedded" : "server " + server));
    sdk->m_loop.start();
    out = std::move(sdk);
    return TIM_SUCC;
}

Sdk::~Sdk()
{
    close();
}

bool Sdk::close()
{
    if (m_loop.inLoopThread())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (m_closed)
            return true;
        m_closed = true;
        m_state = State::Out;
    }
    changeCallbacks([this] {
        m_recv.clear();
        m_tips = {nullptr, nullptr};
        m_network = {nullptr, nullptr};
        m_kicked = {nullptr, nullptr};
        m_sigExpired = {nullptr, nullptr};
        ++m_generation;
    });
    m_loop.post([this] { m_backend->shutdown(); });
    m_loop.stop();
    m_backend.reset();
    log("uninit");
    return true;
}

template <typename F> void Sdk::dispatch(F fn)
{
    std::lock_guard<std::mutex> lock(m_dispatchMutex);
    fn();
}

template <typename F> void Sdk::changeCallbacks(F fn)
{
    if (m_loop.inLoopThread()) {
        // Inside a callback: the dispatch lock is ours already.
        std::lock_guard<std::mutex> reg(m_regMutex);
        fn();
        return;
    }
    std::lock_guard<std::mutex> lock(m_dispatchMutex);
    std::lock_guard<std::mutex> reg(m_regMutex);
    fn();
}

void Sdk::log(const std::string &line)
{
    if (m_logPath.empty())
        return;
    static std::mutex fileMutex;
    std::lock_guard<std::mutex> lock(fileMutex);
    if (FILE *f = std::fopen(m_logPath.c_str(), "a")) {
        const QByteArray when = QDateTime::currentDateTime()
                                    .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                                    .toUtf8();
        std::fprintf(f, "%s %s\n", when.constData(), line.c_str());
        std::fclose(f);
    }
}

int Sdk::postRequest(bool needLogin, std::function<void(Done)> request, TIMResultCb cb,
                     const void *ud)
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (m_closed)
            return TIM_ERR_NOT_INIT;
        if (needLogin && m_state == State::Out)
            return TIM_ERR_NOT_LOGGED_IN;
    }
    uint64_t generation;
    {
        std::lock_guard<std::mutex> reg(m_regMutex);
        generation = m_generation;
    }
    Done done = [this, cb, ud, generation](int code, const std::string &desc,
                                           const std::string &json) {
        if (!cb)
            return;
        dispatch([&] {
            {
                std::lock_guard<std::mutex> reg(m_regMutex);
                if (generation != m_generation)
                    return;
            }
            cb(code, desc.c_str(), json.c_str(), ud);
        });
    };
    if (!m_loop.post([request = std::move(request), done = std::move(done)] { request(done); }))
        return TIM_ERR_NOT_INIT;
    return TIM_SUCC;
}

int Sdk::login(const char *user, const char *sig, TIMResultCb cb, const void *ud)
{
    if (!user || !*user || !sig)
        return TIM_ERR_PARAM;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (m_closed)
            return TIM_ERR_NOT_INIT;
        if (m_state != State::Out)
            return TIM_ERR_ALREADY;
        m_state = State::SigningIn;
    }
    const std::string u = user, s = sig;
    log("login " + u);
    const int code = postRequest(
        false,
        [this, u, s](Done done) {
            m_backend->login(u, s, [this, done](int c, const std::string &d, const std::string &j) {
                {
                    std::lock_guard<std::mutex> lock(m_stateMutex);
                    if (m_state == State::SigningIn)
                        m_state = c == TIM_SUCC ? State::In : State::Out;
                }
                log("login result " + std::to_string(c) + " " + d);
                done(c, d, j);
            });
        },
        cb, ud);
    if (code != TIM_SUCC) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state = State::Out;
    }
    return code;
}

int Sdk::logout(TIMResultCb cb, const void *ud)
{
    const int code = postRequest(
        true, [this](Done done) { m_backend->logout(std::move(done)); }, cb, ud);
    if (code == TIM_SUCC) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state = State::Out;
        log("logout");
    }
    return code;
}

int Sdk::join(const char *group, TIMResultCb cb, const void *ud)
{
    if (!group || !*group)
        return TIM_ERR_PARAM;
    const std::string g = group;
    return postRequest(
        true, [this, g](Done done) { m_backend->join(g, std::move(done)); }, cb, ud);
}

int Sdk::quit(const char *group, TIMResultCb cb, const void *ud)
{
    if (!group || !*group)
        return TIM_ERR_PARAM;
    const std::string g = group;
    return postRequest(
        true, [this, g](Done done) { m_backend->quit(g, std::move(done)); }, cb, ud);
}

int Sdk::send(const char *conv, int convType, const char *json, char *idBuf, TIMResultCb cb,
              const void *ud)
{
    if (!conv || !*conv || (convType != TIM_CONV_C2C && convType != TIM_CONV_GROUP))
        return TIM_ERR_PARAM;
    Message msg;
    const int parsed = parseOutgoing(json, msg);
    if (parsed != TIM_SUCC)
        return parsed;
    msg.convType = convType;
    msg.target = conv;
    msg.msgId = newMessageId();
    msg.rand = newRand();
    const std::string id = msg.msgId;
    const int code = postRequest(
        true,
        [this, msg = std::move(msg)](Done done) mutable {
            m_backend->send(std::move(msg), std::move(done));
        },
        cb, ud);
    if (code == TIM_SUCC && idBuf)
        std::snprintf(idBuf, TIM_MSG_ID_BUF_SIZE, "%s", id.c_str());
    return code;
}

int Sdk::cleanUnread(const char *conv, TIMResultCb cb, const void *ud)
{
    if (!conv)
        return TIM_ERR_PARAM;
    const std::string c = conv;
    if (c.rfind("c2c_", 0) != 0 && c.rfind("group_", 0) != 0)
        return TIM_ERR_PARAM;
    // Unread counts are not kept: every message is delivered as it arrives.
    return postRequest(
        true, [](Done done) { done(TIM_SUCC, "", ""); }, cb, ud);
}

void Sdk::addRecv(TIMJsonCb cb, const void *ud)
{
    if (cb)
        changeCallbacks([&] { m_recv[cb] = ud; });
}

void Sdk::removeRecv(TIMJsonCb cb)
{
    changeCallbacks([&] { m_recv.erase(cb); });
}

void Sdk::setGroupTips(TIMJsonCb cb, const void *ud)
{
    changeCallbacks([&] { m_tips = {cb, ud}; });
}

void Sdk::setNetwork(TIMNetworkCb cb, const void *ud)
{
    changeCallbacks([&] { m_network = {cb, ud}; });
}

void Sdk::setKicked(TIMEventCb cb, const void *ud)
{
    changeCallbacks([&] { m_kicked = {cb, ud}; });
}

void Sdk::setSigExpired(TIMEventCb cb, const void *ud)
{
    changeCallbacks([&] { m_sigExpired = {cb, ud}; });
}

void Sdk::deliverMessages(const QJsonArray &messages)
{
    const std::string text = QJsonDocument(messages).toJson(QJsonDocument::Compact).toStdString();
    dispatch([&] {
        std::map<TIMJsonCb, const void *> targets;
        {
            std::lock_guard<std::mutex> reg(m_regMutex);
            targets = m_recv;
        }
        for (const auto &t : targets) {
            {
                // A callback may remove a later one.
                std::lock_guard<std::mutex> reg(m_regMutex);
                if (!m_recv.count(t.first))
                    continue;
            }
            t.first(text.c_str(), t.second);
        }
    });
}

void Sdk::deliverGroupTips(const QJsonObject &tips)
{
    const std::string text = compact(tips);
    dispatch([&] {
        std::pair<TIMJsonCb, const void *> t;
        {
            std::lock_guard<std::mutex> reg(m_regMutex);
            t = m_tips;
        }
        if (t.first)
            t.first(text.c_str(), t.second);
    });
}

void Sdk::networkStatus(int status, int code, const std::string &desc)
{
    log("network " + std::to_string(status) + " " + std::to_string(code) + " " + desc);
    dispatch([&] {
        std::pair<TIMNetworkCb, const void *> t;
        {
            std::lock_guard<std::mutex> reg(m_regMutex);
            t = m_network;
        }
        if (t.first)
            t.first(status, code, desc.c_str(), t.second);
    });
}

void Sdk::kickedOffline()
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state = State::Out;
    }
    log("kicked offline");
    dispatch([&] {
        std::pair<TIMEventCb, const void *> t;
        {
            std::lock_guard<std::mutex> reg(m_regMutex);
            t = m_kicked;
        }
        if (t.first)
            t.first(t.second);
    });
}

void Sdk::userSigExpired()
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state = State::Out;
    }
    log("user signature expired");
    dispatch([&] {
        std::pair<TIMEventCb, const void *> t;
        {
            std::lock_guard<std::mutex> reg(m_regMutex);
            t = m_sigExpired;
        }
        if (t.first)
            t.first(t.second);
    });
}

} // namespace brvim
