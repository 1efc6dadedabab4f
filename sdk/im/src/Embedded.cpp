// The embedded mode: all SDK instances of the process meet in one hub, with the "admin" service
// account built in. Each instance's events are posted into its own loop, so callbacks keep coming
// from the SDK's thread as with a server.
#include "Embedded.h"

#include "Admin.h"
#include "EventLoop.h"
#include "FileServer.h"
#include "UserSig.h"
#include "brv_im.h"

#include <QJsonDocument>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace brvim {

namespace {

const size_t maxHistory = 5000;
const size_t maxOffline = 1000;

struct Inbox
{
    EventLoop *loop = nullptr;
    BackendHost *host = nullptr;
    bool open = true; // read and written on the inbox's loop only
};
using InboxPtr = std::shared_ptr<Inbox>;

class Hub
{
public:
    static Hub &instance()
    {
        static Hub hub;
        return hub;
    }

    std::mutex mutex;
    std::map<std::string, InboxPtr> sessions;
    struct Group
    {
        std::set<std::string> members;
        int64_t seq = 0;
        std::vector<Message> history;
    };
    std::map<std::string, Group> groups;
    std::map<std::pair<std::string, std::string>, int64_t> c2cSeq;
    std::map<std::string, std::vector<Message>> offline;
    int instances = 0;
    FileServer files;

    // Posts fn into the inbox's loop, where it runs only while the inbox is open.
    static void post(const InboxPtr &inbox, std::function<void(BackendHost &)> fn)
    {
        inbox->loop->post([inbox, fn = std::move(fn)] {
            if (inbox->open)
                fn(*inbox->host);
        });
    }

    void tipToMembers(const std::string &group, int type, const std::string &user)
    {
        auto g = groups.find(group);
        if (g == groups.end())
            return;
        QJsonObject tips{
            {QStringLiteral("group_tips_elem_group_id"), QString::fromStdString(group)},
            {QStringLiteral("group_tips_elem_tip_type"), type},
            {QStringLiteral("group_tips_elem_op_user"), QString::fromStdString(user)},
            {QStringLiteral("group_tips_elem_user_array"),
             QJsonArray{QString::fromStdString(user)}},
            {QStringLiteral("group_tips_elem_time"), double(nowSeconds())}};
        for (const std::string &m : g->second.members) {
            auto s = sessions.find(m);
            if (m != user && s != sessions.end())
                post(s->second, [tips](BackendHost &h) { h.deliverGroupTips(tips); });
        }
    }

    void deliver(const std::string &user, const Message &msg)
    {
        auto s = sessions.find(user);
        if (s == sessions.end()) {
            auto &queue = offline[user];
            if (queue.size() < maxOffline)
                queue.push_back(msg);
            return;
        }
        const QJsonArray arr{msg.toJson(user)};
        post(s->second, [arr](BackendHost &h) { h.deliverMessages(arr); });
    }

    // Ends a session's memberships, telling the other members.
    void leaveAll(const std::string &user)
    {
        for (auto &g : groups) {
            if (g.second.members.count(user)) {
                tipToMembers(g.first, TIM_GROUP_TIP_QUIT, user);
                g.second.members.erase(user);
            }
        }
    }
};

class EmbeddedBackend final : public Backend
{
public:
    EmbeddedBackend(BackendHost &host, uint64_t appId) : m_host(host), m_appId(appId)
    {
        Hub &hub = Hub::instance();
        std::lock_guard<std::mutex> lock(hub.mutex);
        if (hub.instances++ == 0)
            hub.files.start();
    }
    ~EmbeddedBackend() override
    {
        Hub &hub = Hub::instance();
        std::lock_guard<std::mutex> lock(hub.mutex);
        if (--hub.instances == 0)
            hub.files.stop();
    }

    void login(const std::string &user, const std::string &sig, Done done) override
    {
        m_host.networkStatus(TIM_NET_CONNECTING, TIM_SUCC, "connecting");
        UserSigClaims claims;
        const int code = judgeUserSig(sig, demoUserSigKey(), user, m_appId, nowSeconds(), claims);
        if (code != TIM_SUCC) {
            m_host.networkStatus(TIM_NET_CONNECT_FAILED, code,
                                 code == TIM_ERR_USERSIG_EXPIRED ? "user signature expired"
                                                                 : "user signature invalid");
            done(code,
                 code == TIM_ERR_USERSIG_EXPIRED ? "user signature expired"
                                                 : "user signature invalid",
                 "");
            return;
        }
        Hub &hub = Hub::instance();
        std::vector<Message> pending;
        {
            std::lock_guard<std::mutex> lock(hub.mutex);
            auto old = hub.sessions.find(user);
            if (old != hub.sessions.end()) {
                hub.leaveAll(user);
                InboxPtr gone = old->second;
                hub.sessions.erase(old);
                Hub::post(gone, [gone](BackendHost &h) {
                    gone->open = false;
                    h.kickedOffline();
                });
            }
            m_inbox = std::make_shared<Inbox>();
            m_inbox->loop = &m_host.loop();
            m_inbox->host = &m_host;
            hub.sessions[user] = m_inbox;
            pending.swap(hub.offline[user]);
            hub.offline.erase(user);
        }
        m_user = user;
        // The session ends when its signature does.
        const int64_t left = claims.exp - nowSeconds();
        const int ms = left > 86400 * 7 ? 86400 * 7 * 1000 : int(left * 1000);
        m_expiryTimer = m_host.loop().addTimer(ms, [this] {
            m_expiryTimer = 0;
            if (!signedIn())
                return;
            endSession();
            m_host.userSigExpired();
        });
        m_host.networkStatus(TIM_NET_CONNECTED, TIM_SUCC, "connected");
        done(TIM_SUCC, "", compact({{QStringLiteral("user_id"), QString::fromStdString(user)}}));
        if (!pending.empty()) {
            QJsonArray arr;
            for (const Message &m : pending)
                arr.append(m.toJson(user));
            m_host.deliverMessages(arr);
        }
    }

    void logout(Done done) override
    {
        endSession();
        done(TIM_SUCC, "", "");
    }

    void join(const std::string &group, Done done) override
    {
        const std::string json = groupJson(group);
        if (!signedIn())
            return done(TIM_ERR_NOT_LOGGED_IN, "not signed in", json);
        Hub &hub = Hub::instance();
        std::lock_guard<std::mutex> lock(hub.mutex);
        auto &g = hub.groups[group];
        if (g.members.count(m_user))
            return done(TIM_ERR_ALREADY_MEMBER, "already a member", json);
        g.members.insert(m_user);
        hub.tipToMembers(group, TIM_GROUP_TIP_JOIN, m_user);
        done(TIM_SUCC, "", json);
    }

    void quit(const std::string &group, Done done) override
    {
        const std::string json = groupJson(group);
        if (!signedIn())
            return done(TIM_ERR_NOT_LOGGED_IN, "not signed in", json);
        Hub &hub = Hub::instance();
        std::lock_guard<std::mutex> lock(hub.mutex);
        auto g = hub.groups.find(group);
        if (g == hub.groups.end() || !g->second.members.count(m_user))
            return done(TIM_ERR_NOT_GROUP_MEMBER, "not a member", json);
        hub.tipToMembers(group, TIM_GROUP_TIP_QUIT, m_user);
        g->second.members.erase(m_user);
        done(TIM_SUCC, "", json);
    }

    void send(Message msg, Done done) override
    {
        if (!signedIn())
            return done(TIM_ERR_NOT_LOGGED_IN, "not signed in", "");
        msg.sender = m_user;
        msg.serverTime = nowSeconds();
        Hub &hub = Hub::instance();
        std::unique_lock<std::mutex> lock(hub.mutex);
        if (msg.convType == TIM_CONV_GROUP) {
            auto g = hub.groups.find(msg.target);
            if (g == hub.groups.end() || !g->second.members.count(m_user))
                return done(TIM_ERR_NOT_GROUP_MEMBER, "not a member of the group", "");
            msg.seq = ++g->second.seq;
            if (g->second.history.size() >= maxHistory)
                g->second.history.erase(g->second.history.begin());
            g->second.history.push_back(msg);
            for (const std::string &m : g->second.members)
                if (m != m_user)
                    hub.deliver(m, msg);
            lock.unlock();
            return done(TIM_SUCC, "", compact(msg.toJson(m_user)));
        }
        msg.seq = ++hub.c2cSeq[std::minmax(m_user, msg.target)];
        std::vector<Message> answers;
        if (msg.target == adminUserId) {
            AdminView view{[&](const std::string &group) {
                               std::vector<Message> out;
                               auto g = hub.groups.find(group);
                               if (g != hub.groups.end())
                                   out = g->second.history;
                               return out;
                           },
                           [&](const std::string &group) {
                               std::vector<std::string> out;
                               auto g = hub.groups.find(group);
                               if (g != hub.groups.end())
                                   out.assign(g->second.members.begin(), g->second.members.end());
                               return out;
                           },
                           [&](const std::string &name, const std::string &body) {
                               return hub.files.publish(name, "application/json; charset=utf-8",
                                                        body);
                           }};
            for (Message &a : adminAnswers(msg, view)) {
                a.seq = ++hub.c2cSeq[std::minmax(m_user, std::string(adminUserId))];
                answers.push_back(std::move(a));
            }
        } else {
            hub.deliver(msg.target, msg);
        }
        lock.unlock();
        done(TIM_SUCC, "", compact(msg.toJson(m_user)));
        if (!answers.empty()) {
            QJsonArray arr;
            for (const Message &a : answers)
                arr.append(a.toJson(m_user));
            m_host.deliverMessages(arr);
        }
    }

    void shutdown() override { endSession(); }

private:
    // A session ended from elsewhere (kicked offline) has its inbox closed.
    bool signedIn() const { return m_inbox && m_inbox->open; }

    static std::string groupJson(const std::string &group)
    {
        return compact({{QStringLiteral("group_id"), QString::fromStdString(group)}});
    }

    void endSession()
    {
        if (m_expiryTimer)
            m_host.loop().cancelTimer(m_expiryTimer);
        m_expiryTimer = 0;
        if (!m_inbox)
            return;
        Hub &hub = Hub::instance();
        std::lock_guard<std::mutex> lock(hub.mutex);
        auto s = hub.sessions.find(m_user);
        if (s != hub.sessions.end() && s->second == m_inbox) {
            hub.leaveAll(m_user);
            hub.sessions.erase(s);
        }
        m_inbox->open = false;
        m_inbox.reset();
    }

    BackendHost &m_host;
    uint64_t m_appId;
    std::string m_user;
    InboxPtr m_inbox;
    uint64_t m_expiryTimer = 0;
};

} // namespace

std::unique_ptr<Backend> makeEmbeddedBackend(BackendHost &host, uint64_t appId)
{
    return std::make_unique<EmbeddedBackend>(host, appId);
}

} // namespace brvim
