// The server mode: one XMPP connection (libstrophe) on the SDK's thread. Stream management stays
// off; what makes reconnection lossless is here: an outbox kept until the server confirms each
// message (the room's echo or the server's receipt), a catch-up from the room's archive by the
// server's sequence numbers after every rejoin, and a filter of message ids already delivered.
#include "Xmpp.h"

#include "EventLoop.h"
#include "UserSig.h"
#include "XmppWire.h"
#include "brv_im.h"

#include <QDateTime>
#include <deque>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <strophe.h>
#include <sys/socket.h>
#include <unordered_set>

namespace brvim {

namespace {

const int requestTimeoutMs = 30000;
const int firstRetryMs = 250;
const int lastRetryMs = 8000;
const size_t seenLimit = 8192;
const int maxCatchUpPages = 20;

thread_local class XmppBackend *t_current = nullptr;

class XmppBackend final : public Backend
{
public:
    XmppBackend(BackendHost &host, const ServerAddress &address, uint64_t appId)
        : m_host(host), m_address(address), m_appId(appId)
    {
        xmpp_initialize();
        m_log.handler = &XmppBackend::onLog;
        m_log.userdata = this;
        m_ctx = xmpp_ctx_new(nullptr, &m_log);
    }
    ~XmppBackend() override
    {
        dropConnection();
        if (m_ctx)
            xmpp_ctx_free(m_ctx);
    }

    void login(const std::string &user, const std::string &sig, Done done) override
    {
        // The server tells a forged signature from an expired one only as "refused": judge what
        // can be judged here first.
        UserSigClaims claims;
        if (!readUserSigClaims(sig, claims) || claims.sub != user ||
            (claims.app >= 0 && uint64_t(claims.app) != m_appId))
            return done(TIM_ERR_USERSIG_INVALID, "user signature invalid", "");
        if (claims.exp <= nowSeconds())
            return done(TIM_ERR_USERSIG_EXPIRED, "user signature expired", "");
        m_user = user;
        m_sig = sig;
        m_sigExp = claims.exp;
        m_loginDone = std::move(done);
        m_loginTimer = m_host.loop().addTimer(requestTimeoutMs, [this] {
            m_loginTimer = 0;
            if (m_loginDone)
                finishLogin(TIM_ERR_TIMEOUT, "no answer from the server");
        });
        connect();
    }

    void logout(Done done) override
    {
        endSession(TIM_ERR_NETWORK, "signed out");
        done(TIM_SUCC, "", "");
    }

    void join(const std::string &group, Done done) override
    {
        const std::string json =
            compact({{QStringLiteral("group_id"), QString::fromStdString(group)}});
        if (!m_signedIn)
            return done(TIM_ERR_NOT_LOGGED_IN, "not signed in", json);
        auto it = m_groups.find(group);
        if (it != m_groups.end())
            return done(TIM_ERR_ALREADY_MEMBER, "already a member", json);
        Group &g = m_groups[group];
        g.joinDone = std::move(done);
        g.joinTimer = m_host.loop().addTimer(requestTimeoutMs, [this, group] {
            auto g2 = m_groups.find(group);
            if (g2 == m_groups.end() || !g2->second.joinDone)
                return;
            Done d = std::move(g2->second.joinDone);
            m_groups.erase(g2);
            d(TIM_ERR_TIMEOUT, "no answer from the server", groupJson(group));
        });
        if (m_online)
            sendJoin(group);
    }

    void quit(const std::string &group, Done done) override
    {
        const std::string json = groupJson(group);
        auto it = m_groups.find(group);
        if (!m_signedIn || it == m_groups.end())
            return done(TIM_ERR_NOT_GROUP_MEMBER, "not a member", json);
        if (it->second.joinTimer)
            m_host.loop().cancelTimer(it->second.joinTimer);
        m_groups.erase(it);
        // Messages still waiting for this group will not go out.
        failOutbox(
            [&](const Message &m) { return m.convType == TIM_CONV_GROUP && m.target == group; },
            TIM_ERR_NOT_GROUP_MEMBER, "left the group");
        if (m_online) {
            send("<presence type='unavailable' to='" + xmlEscape(roomJid(group) + "/" + m_user) +
                 "'/>");
        }
        done(TIM_SUCC, "", json);
    }

    void send(Message msg, Done done) override
    {
        if (!m_signedIn)
            return done(TIM_ERR_NOT_LOGGED_IN, "not signed in", "");
        if (msg.convType == TIM_CONV_GROUP && !m_groups.count(msg.target))
            return done(TIM_ERR_NOT_GROUP_MEMBER, "not a member of the group", "");
        msg.sender = m_user;
        m_outbox.push_back(Pending{std::move(msg), std::move(done), false});
        flushOutbox();
    }

    void shutdown() override
    {
        m_loginDone = nullptr;
        for (auto &g : m_groups)
            g.second.joinDone = nullptr;
        for (auto &p : m_outbox)
            p.done = nullptr;
        endSession(TIM_ERR_NETWORK, "shut down");
    }

private:
    struct Group
    {
        Done joinDone;
        uint64_t joinTimer = 0;
        bool joined = false;           // on the current connection
        bool catchingUp = false;       // archive query running; group sends wait for it
        int64_t lastSeq = -1;          // the newest sequence number seen (-1: none yet)
        int64_t lastTime = 0;          // its server time, ms
        std::vector<WireMessage> held; // live messages that came during the catch-up
    };
    struct Pending
    {
        Message msg;
        Done done;
        bool sent; // on the current connection
    };

    static std::string groupJson(const std::string &group)
    {
        return compact({{QStringLiteral("group_id"), QString::fromStdString(group)}});
    }
    std::string roomJid(const std::string &group) const
    {
        return group + "@" + m_address.mucDomain;
    }
    std::string userJid(const std::string &user) const { return user + "@" + m_address.domain; }

    // --- connection -------------------------------------------------------------------------

    void connect()
    {
        dropConnection();
        m_authFailed = false;
        m_conn = xmpp_conn_new(m_ctx);
        xmpp_conn_set_flags(m_conn, XMPP_CONN_FLAG_MANDATORY_TLS | XMPP_CONN_FLAG_DISABLE_SM);
        const std::string jid = userJid(m_user) + "/brv-" + newMessageId().substr(4, 12);
        xmpp_conn_set_jid(m_conn, jid.c_str());
        xmpp_conn_set_pass(m_conn, m_sig.c_str());
        if (!m_address.caFile.empty())
            xmpp_conn_set_cafile(m_conn, m_address.caFile.c_str());
        xmpp_conn_set_certfail_handler(m_conn, &XmppBackend::onCertFail);
        xmpp_conn_set_sockopt_callback(m_conn, &XmppBackend::onSockopt);
        xmpp_handler_add(m_conn, &XmppBackend::onMessage, nullptr, "message", nullptr, this);
        xmpp_handler_add(m_conn, &XmppBackend::onPresence, nullptr, "presence", nullptr, this);
        xmpp_handler_add(m_conn, &XmppBackend::onIq, nullptr, "iq", nullptr, this);
        m_host.networkStatus(TIM_NET_CONNECTING, TIM_SUCC, "connecting");
        t_current = this;
        const int rc = xmpp_connect_client(m_conn, m_address.host.c_str(),
                                           static_cast<unsigned short>(m_address.port),
                                           &XmppBackend::onConn, this);
        if (rc != XMPP_EOK) {
            connectionLost(nullptr);
            return;
        }
        m_tick = m_host.loop().addTimer(100, [this] { tick(); });
        pump();
    }

    void dropConnection()
    {
        if (m_fd >= 0)
            m_host.loop().unwatchFd(m_fd);
        m_fd = -1;
        if (m_tick)
            m_host.loop().cancelTimer(m_tick);
        m_tick = 0;
        if (m_conn) {
            xmpp_conn_t *c = m_conn;
            m_conn = nullptr;
            m_online = false;
            // Closing fires the handler with a disconnect; m_conn is already null so it is ignored.
            if (!xmpp_conn_is_disconnected(c)) {
                xmpp_disconnect(c);
                for (int i = 0; i < 10 && !xmpp_conn_is_disconnected(c); ++i)
                    xmpp_run_once(m_ctx, 0);
            }
            xmpp_conn_release(c);
        }
        m_online = false;
    }

    // Runs libstrophe until it has nothing left to do right now. Decrypted bytes that OpenSSL
    // holds do not wake poll(), so keep going while it keeps making progress.
    void pump()
    {
        if (!m_ctx)
            return;
        t_current = this;
        int idle = 0;
        for (int i = 0; i < 4096 && idle < 4; ++i) {
            const uint64_t before = m_progress;
            xmpp_run_once(m_ctx, 0);
            idle = m_progress == before ? idle + 1 : 0;
        }
        updateWatch();
    }

    void updateWatch()
    {
        if (m_fd < 0 || !m_conn)
            return;
        short events = POLLIN;
        // A socket still connecting says so by becoming writable.
        if (xmpp_conn_send_queue_len(m_conn) > 0 || xmpp_conn_is_connecting(m_conn))
            events |= POLLOUT;
        m_host.loop().watchFd(m_fd, events, [this](short) { pump(); });
    }

    void send(const std::string &xml)
    {
        if (!m_conn)
            return;
        xmpp_send_raw(m_conn, xml.data(), xml.size());
        ++m_progress;
    }

    static int onSockopt(xmpp_conn_t *, void *sock)
    {
        const int fd = *static_cast<int *>(sock);
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (t_current) {
            t_current->m_fd = fd;
            t_current->updateWatch();
        }
        return 0;
    }

    static int onCertFail(const xmpp_tlscert_t *cert, const char *)
    {
        XmppBackend *self = t_current;
        if (!self || self->m_address.pinSha256.empty())
            return 0;
        const char *fp = xmpp_tlscert_get_string(cert, XMPP_CERT_FINGERPRINT_SHA256);
        std::string hex;
        for (const char *p = fp; p && *p; ++p)
            if (*p != ':')
                hex += char(toupper(static_cast<unsigned char>(*p)));
        return hex == self->m_address.pinSha256 ? 1 : 0;
    }

    static void onLog(void *ud, xmpp_log_level_t level, const char *area, const char *msg)
    {
        // libstrophe reports a refused sign-in only in its log.
        auto *self = static_cast<XmppBackend *>(ud);
        if (!area || !msg)
            return;
        const std::string a = area, m = msg;
        if ((a == "xmpp" && m.find("SASL") != std::string::npos &&
             m.find("auth failed") != std::string::npos) ||
            (a == "auth" && m.find("Cannot authenticate") != std::string::npos))
            self->m_authFailed = true;
        (void)level;
    }

    static void onConn(xmpp_conn_t *conn, xmpp_conn_event_t event, int, xmpp_stream_error_t *se,
                       void *ud)
    {
        auto *self = static_cast<XmppBackend *>(ud);
        if (conn != self->m_conn)
            return;
        ++self->m_progress;
        if (event == XMPP_CONN_CONNECT)
            self->connected();
        else if (event == XMPP_CONN_DISCONNECT || event == XMPP_CONN_FAIL)
            self->m_host.loop().post(
                [self, type = se ? int(se->type) : -1] { self->connectionLost(&type); });
    }

    void connected()
    {
        m_online = true;
        m_retryMs = firstRetryMs;
        send("<presence/>");
        if (m_loginDone)
            finishLogin(TIM_SUCC, "");
        bool waiting = false;
        for (auto &g : m_groups) {
            g.second.joined = false;
            sendJoin(g.first);
            waiting = true;
        }
        if (!waiting)
            m_host.networkStatus(TIM_NET_CONNECTED, TIM_SUCC, "connected");
        flushOutbox();
    }

    // libstrophe's own timers (keep-alive, connect time-out) need it to run now and then.
    void tick()
    {
        m_tick = m_host.loop().addTimer(100, [this] { tick(); });
        pump();
    }

    // The link is gone: the type of the stream error (-1: none, null: no connection at all).
    void connectionLost(const int *streamError)
    {
        const bool wasOnline = m_online;
        dropConnection();
        for (auto &p : m_outbox)
            p.sent = false;
        for (auto &g : m_groups) {
            g.second.joined = false;
            g.second.catchingUp = false;
        }
        const int se = streamError ? *streamError : -1;
        if (m_loginDone) {
            if (m_authFailed) {
                const bool expired = m_sigExp <= nowSeconds();
                finishLogin(expired ? TIM_ERR_USERSIG_EXPIRED : TIM_ERR_USERSIG_INVALID,
                            expired ? "user signature expired" : "user signature refused");
            } else {
                finishLogin(TIM_ERR_NETWORK, "cannot reach the server");
            }
            return;
        }
        if (!m_signedIn)
            return;
        if (se == XMPP_SE_CONFLICT) {
            endSession(TIM_ERR_KICKED, "signed in elsewhere");
            m_host.kickedOffline();
            return;
        }
        if (m_sigExp <= nowSeconds() + 1 || se == XMPP_SE_NOT_AUTHORIZED || m_authFailed) {
            endSession(TIM_ERR_USERSIG_EXPIRED, "user signature expired");
            m_host.userSigExpired();
            return;
        }
        m_host.networkStatus(wasOnline ? TIM_NET_DISCONNECTED : TIM_NET_CONNECT_FAILED,
                             TIM_ERR_NETWORK,
                             wasOnline ? "connection lost" : "cannot reach the server");
        m_retryTimer = m_host.loop().addTimer(m_retryMs, [this] {
            m_retryTimer = 0;
            if (m_signedIn)
                connect();
        });
        m_retryMs = std::min(m_retryMs * 2, lastRetryMs);
    }

    void finishLogin(int code, const std::string &desc)
    {
        if (m_loginTimer)
            m_host.loop().cancelTimer(m_loginTimer);
        m_loginTimer = 0;
        Done done = std::move(m_loginDone);
        m_loginDone = nullptr;
        if (code == TIM_SUCC) {
            m_signedIn = true;
            // The server ends the session when the signature runs out.
            const int64_t left = m_sigExp - nowSeconds();
            m_expiryTimer = m_host.loop().addTimer(
                left > 86400 * 7 ? 86400 * 7 * 1000 : int(left * 1000) + 1500, [this] {
                    m_expiryTimer = 0;
                    if (!m_signedIn)
                        return;
                    endSession(TIM_ERR_USERSIG_EXPIRED, "user signature expired");
                    m_host.userSigExpired();
                });
        } else {
            dropConnection();
            m_host.networkStatus(TIM_NET_CONNECT_FAILED, code, desc);
        }
        if (done)
            done(code, desc,
                 code == TIM_SUCC
                     ? compact({{QStringLiteral("user_id"), QString::fromStdString(m_user)}})
                     : std::string());
    }

    // Signs out locally: requests in flight fail with code.
    void endSession(int code, const std::string &desc)
    {
        m_signedIn = false;
        if (m_retryTimer)
            m_host.loop().cancelTimer(m_retryTimer);
        m_retryTimer = 0;
        if (m_expiryTimer)
            m_host.loop().cancelTimer(m_expiryTimer);
        m_expiryTimer = 0;
        if (m_loginTimer)
            m_host.loop().cancelTimer(m_loginTimer);
        m_loginTimer = 0;
        if (m_conn && m_online) {
            send("<presence type='unavailable'/>");
            pump();
        }
        dropConnection();
        auto groups = std::move(m_groups);
        m_groups.clear();
        for (auto &g : groups) {
            if (g.second.joinTimer)
                m_host.loop().cancelTimer(g.second.joinTimer);
            if (g.second.joinDone)
                g.second.joinDone(code, desc, groupJson(g.first));
        }
        failOutbox([](const Message &) { return true; }, code, desc);
        m_queries.clear();
    }

    template <typename Pred> void failOutbox(Pred pred, int code, const std::string &desc)
    {
        std::deque<Pending> keep, failed;
        for (auto &p : m_outbox)
            (pred(p.msg) ? failed : keep).push_back(std::move(p));
        m_outbox.swap(keep);
        for (auto &p : failed)
            if (p.done)
                p.done(code, desc, "");
    }

    // --- groups -----------------------------------------------------------------------------

    void sendJoin(const std::string &group)
    {
        send(
            "<presence to='" + xmlEscape(roomJid(group) + "/" + m_user) +
            "'><x xmlns='http://jabber.org/protocol/muc'><history maxstanzas='0'/></x></presence>");
        pump();
    }

    static int onPresence(xmpp_conn_t *, xmpp_stanza_t *st, void *ud)
    {
        auto *self = static_cast<XmppBackend *>(ud);
        ++self->m_progress;
        self->handlePresence(st);
        return 1;
    }

    void handlePresence(xmpp_stanza_t *st)
    {
        const char *fromAttr = xmpp_stanza_get_from(st);
        if (!fromAttr)
            return;
        const std::string from = fromAttr;
        const size_t at = from.find('@'), slash = from.find('/');
        if (at == std::string::npos || slash == std::string::npos || slash < at ||
            from.compare(at + 1, slash - at - 1, m_address.mucDomain) != 0)
            return;
        const std::string group = from.substr(0, at), nick = from.substr(slash + 1);
        auto it = m_groups.find(group);
        if (it == m_groups.end())
            return;
        Group &g = it->second;
        const char *typeAttr = xmpp_stanza_get_type(st);
        const std::string type = typeAttr ? typeAttr : "";
        if (type == "error") {
            if (nick != m_user)
                return;
            int code = TIM_ERR_MSG_REFUSED;
            xmpp_stanza_t *err = xmpp_stanza_get_child_by_name(st, "error");
            if (err && (xmpp_stanza_get_child_by_name(err, "registration-required") ||
                        xmpp_stanza_get_child_by_name(err, "forbidden")))
                code = TIM_ERR_GROUP_FORBIDDEN;
            Done d = std::move(g.joinDone);
            if (g.joinTimer)
                m_host.loop().cancelTimer(g.joinTimer);
            m_groups.erase(it);
            if (d)
                d(code, "the group refused the join", groupJson(group));
            return;
        }
        bool self110 = false, kicked307 = false;
        std::string actor;
        xmpp_stanza_t *x =
            xmpp_stanza_get_child_by_name_and_ns(st, "x", "http://jabber.org/protocol/muc#user");
        for (xmpp_stanza_t *c = x ? xmpp_stanza_get_children(x) : nullptr; c;
             c = xmpp_stanza_get_next(c)) {
            if (!xmpp_stanza_is_tag(c))
                continue;
            const char *name = xmpp_stanza_get_name(c);
            const char *code = xmpp_stanza_get_attribute(c, "code");
            if (name && std::string(name) == "status" && code) {
                self110 |= std::string(code) == "110";
                kicked307 |= std::string(code) == "307";
            }
            if (name && std::string(name) == "item") {
                if (xmpp_stanza_t *a = xmpp_stanza_get_child_by_name(c, "actor"))
                    if (const char *an = xmpp_stanza_get_attribute(a, "nick"))
                        actor = an;
            }
        }
        if (nick == m_user && self110) {
            if (type == "unavailable")
                return;
            if (g.joined)
                return;
            g.joined = true;
            int64_t roomSeq = -1;
            if (xmpp_stanza_t *srv = xmpp_stanza_get_child_by_name_and_ns(st, "srv", wireNs))
                if (const char *s = xmpp_stanza_get_attribute(srv, "seq"))
                    roomSeq = std::atoll(s);
            if (g.joinDone) {
                // A first join: history before it is not ours to deliver.
                g.lastSeq = roomSeq;
                g.lastTime = nowMillis();
                if (g.joinTimer)
                    m_host.loop().cancelTimer(g.joinTimer);
                g.joinTimer = 0;
                Done d = std::move(g.joinDone);
                g.joinDone = nullptr;
                d(TIM_SUCC, "", groupJson(group));
                flushOutbox();
            } else if (roomSeq > g.lastSeq) {
                startCatchUp(group, "");
            } else {
                flushOutbox();
            }
            if (allJoined())
                m_host.networkStatus(TIM_NET_CONNECTED, TIM_SUCC, "connected");
            return;
        }
        if (!g.joined || nick == m_user)
            return;
        QJsonObject tips{
            {QStringLiteral("group_tips_elem_group_id"), QString::fromStdString(group)},
            {QStringLiteral("group_tips_elem_time"), double(nowSeconds())}};
        if (type == "unavailable") {
            tips.insert(QStringLiteral("group_tips_elem_tip_type"),
                        kicked307 ? TIM_GROUP_TIP_KICKED : TIM_GROUP_TIP_QUIT);
            tips.insert(QStringLiteral("group_tips_elem_op_user"),
                        QString::fromStdString(kicked307 && !actor.empty() ? actor : nick));
        } else {
            if (!m_occupants[group].insert(nick).second)
                return; // a status change, not a join
            tips.insert(QStringLiteral("group_tips_elem_tip_type"), TIM_GROUP_TIP_JOIN);
            tips.insert(QStringLiteral("group_tips_elem_op_user"), QString::fromStdString(nick));
        }
        if (type == "unavailable")
            m_occupants[group].erase(nick);
        tips.insert(QStringLiteral("group_tips_elem_user_array"),
                    QJsonArray{QString::fromStdString(nick)});
        m_host.deliverGroupTips(tips);
    }

    bool allJoined() const
    {
        for (const auto &g : m_groups)
            if (!g.second.joined || g.second.catchingUp)
                return false;
        return true;
    }

    // --- catch-up ---------------------------------------------------------------------------

    void startCatchUp(const std::string &group, const std::string &after, int page = 0)
    {
        auto it = m_groups.find(group);
        if (it == m_groups.end())
            return;
        it->second.catchingUp = true;
        const std::string id = "mam-" + newMessageId().substr(4, 16);
        m_queries[id] = Query{group, page};
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(it->second.lastTime - 2000, Qt::UTC);
        std::string xml =
            "<iq type='set' id='" + id + "' to='" + xmlEscape(roomJid(group)) +
            "'><query xmlns='urn:xmpp:mam:2' queryid='" + id +
            "'><x xmlns='jabber:x:data' type='submit'><field var='FORM_TYPE' "
            "type='hidden'><value>urn:xmpp:mam:2</value></field><field "
            "var='start'><value>" +
            start.toString(Qt::ISODate).toStdString() +
            "</value></field></x><set xmlns='http://jabber.org/protocol/rsm'><max>200</max>";
        if (!after.empty())
            xml += "<after>" + xmlEscape(after) + "</after>";
        xml += "</set></query></iq>";
        send(xml);
        pump();
    }

    static int onIq(xmpp_conn_t *, xmpp_stanza_t *st, void *ud)
    {
        auto *self = static_cast<XmppBackend *>(ud);
        ++self->m_progress;
        const char *id = xmpp_stanza_get_id(st);
        auto q = id ? self->m_queries.find(id) : self->m_queries.end();
        if (q == self->m_queries.end())
            return 1;
        const Query query = q->second;
        self->m_queries.erase(q);
        auto g = self->m_groups.find(query.group);
        if (g == self->m_groups.end())
            return 1;
        xmpp_stanza_t *fin = xmpp_stanza_get_child_by_name_and_ns(st, "fin", "urn:xmpp:mam:2");
        const char *complete = fin ? xmpp_stanza_get_attribute(fin, "complete") : nullptr;
        std::string last;
        if (xmpp_stanza_t *set = fin ? xmpp_stanza_get_child_by_name(fin, "set") : nullptr)
            if (xmpp_stanza_t *l = xmpp_stanza_get_child_by_name(set, "last")) {
                char *t = xmpp_stanza_get_text(l);
                last = t ? t : "";
                if (t)
                    xmpp_free(self->m_ctx, t);
            }
        const std::string type = xmpp_stanza_get_type(st) ? xmpp_stanza_get_type(st) : "";
        if (type == "result" && fin && !(complete && std::string(complete) == "true") &&
            !last.empty() && query.page + 1 < maxCatchUpPages) {
            self->startCatchUp(query.group, last, query.page + 1);
            return 1;
        }
        g->second.catchingUp = false;
        std::vector<WireMessage> held = std::move(g->second.held);
        g->second.held.clear();
        for (WireMessage &w : held)
            self->acceptGroup(std::move(w));
        self->flushOutbox();
        if (self->allJoined())
            self->m_host.networkStatus(TIM_NET_CONNECTED, TIM_SUCC, "connected");
        return 1;
    }

    // --- messages ---------------------------------------------------------------------------

    void flushOutbox()
    {
        if (!m_online)
            return;
        bool any = false;
        for (auto &p : m_outbox) {
            if (p.sent)
                continue;
            if (p.msg.convType == TIM_CONV_GROUP) {
                auto g = m_groups.find(p.msg.target);
                if (g == m_groups.end() || !g->second.joined || g->second.catchingUp)
                    continue;
                send(encodeMessageStanza(p.msg, roomJid(p.msg.target)));
            } else {
                send(encodeMessageStanza(p.msg, userJid(p.msg.target)));
            }
            p.sent = true;
            any = true;
        }
        if (any)
            pump();
    }

    static int onMessage(xmpp_conn_t *, xmpp_stanza_t *st, void *ud)
    {
        auto *self = static_cast<XmppBackend *>(ud);
        ++self->m_progress;
        self->handleMessage(st);
        return 1;
    }

    void handleMessage(xmpp_stanza_t *st)
    {
        // Archive results wrap the original message.
        if (xmpp_stanza_t *result =
                xmpp_stanza_get_child_by_name_and_ns(st, "result", "urn:xmpp:mam:2")) {
            const char *from = xmpp_stanza_get_from(st);
            const char *qid = xmpp_stanza_get_attribute(result, "queryid");
            auto q = qid ? m_queries.find(qid) : m_queries.end();
            if (q == m_queries.end() || !from || roomJid(q->second.group) != from)
                return;
            xmpp_stanza_t *fwd =
                xmpp_stanza_get_child_by_name_and_ns(result, "forwarded", "urn:xmpp:forward:0");
            xmpp_stanza_t *inner = fwd ? xmpp_stanza_get_child_by_name(fwd, "message") : nullptr;
            WireMessage w = decodeMessageStanza(m_ctx, inner, m_address.mucDomain);
            if (w.kind == WireKind::Group && w.room == q->second.group)
                acceptGroup(std::move(w));
            return;
        }
        WireMessage w = decodeMessageStanza(m_ctx, st, m_address.mucDomain);
        switch (w.kind) {
        case WireKind::Ack:
            confirm(w.msg.msgId, w.msg.seq, w.msg.serverTime);
            break;
        case WireKind::Group: {
            auto g = m_groups.find(w.room);
            if (g == m_groups.end() || !g->second.joined)
                break;
            if (g->second.catchingUp)
                g->second.held.push_back(std::move(w));
            else
                acceptGroup(std::move(w));
            break;
        }
        case WireKind::Direct:
            w.msg.target = m_user;
            deliverOnce(w.msg);
            break;
        case WireKind::None:
            break;
        }
    }

    void acceptGroup(WireMessage w)
    {
        Group &g = m_groups[w.room];
        if (w.msg.seq <= g.lastSeq && !(w.msg.sender == m_user)) {
            // Already had it, or it predates our membership.
            return;
        }
        if (w.msg.seq > g.lastSeq) {
            g.lastSeq = w.msg.seq;
            g.lastTime = w.msg.serverTime * 1000;
        }
        if (w.msg.sender == m_user) {
            confirm(w.msg.msgId, w.msg.seq, w.msg.serverTime);
            return;
        }
        deliverOnce(w.msg);
    }

    void confirm(const std::string &msgId, int64_t seq, int64_t serverTime)
    {
        for (auto it = m_outbox.begin(); it != m_outbox.end(); ++it) {
            if (it->msg.msgId != msgId)
                continue;
            Pending p = std::move(*it);
            m_outbox.erase(it);
            p.msg.seq = seq;
            p.msg.serverTime = serverTime;
            if (p.done)
                p.done(TIM_SUCC, "", compact(p.msg.toJson(m_user)));
            return;
        }
    }

    void deliverOnce(const Message &m)
    {
        const std::string key = m.sender + "\n" + m.msgId;
        if (!m_seen.insert(key).second)
            return;
        m_seenOrder.push_back(key);
        if (m_seenOrder.size() > seenLimit) {
            m_seen.erase(m_seenOrder.front());
            m_seenOrder.pop_front();
        }
        m_host.deliverMessages(QJsonArray{m.toJson(m_user)});
    }

    struct Query
    {
        std::string group;
        int page = 0;
    };

    BackendHost &m_host;
    ServerAddress m_address;
    uint64_t m_appId;
    xmpp_log_t m_log{};
    xmpp_ctx_t *m_ctx = nullptr;
    xmpp_conn_t *m_conn = nullptr;
    int m_fd = -1;
    uint64_t m_progress = 0;
    bool m_online = false;
    bool m_signedIn = false;
    bool m_authFailed = false;
    std::string m_user, m_sig;
    int64_t m_sigExp = 0;
    Done m_loginDone;
    uint64_t m_loginTimer = 0, m_retryTimer = 0, m_expiryTimer = 0, m_tick = 0;
    int m_retryMs = firstRetryMs;
    std::map<std::string, Group> m_groups;
    std::map<std::string, std::set<std::string>> m_occupants;
    std::deque<Pending> m_outbox;
    std::map<std::string, Query> m_queries;
    std::unordered_set<std::string> m_seen;
    std::deque<std::string> m_seenOrder;
};

} // namespace

std::unique_ptr<Backend> makeXmppBackend(BackendHost &host, const ServerAddress &address,
                                         uint64_t appId)
{
    return std::make_unique<XmppBackend>(host, address, appId);
}

} // namespace brvim
