// Group messages through the loopback class server: our SDK (send call to the other instance's
// receive callback) against two bare libstrophe clients on one thread sending the same payload
// through the same server. Prints JSON lines that run.sh turns into ratios.
#include "Message.h"
#include "Sdk.h"
#include "UserSig.h"
#include "Xmpp.h"
#include "XmppWire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <strophe.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

const int count = 1000;
const std::string payload =
    R"({"avatarUrl":"https://example.org/a.png","message":"同学们好，今天我们讲第三章 <b>&</b>","nickname":"王老师","senderId":"teacher1"})";

std::string sig(const std::string &user)
{
    return brvim::signUserSig(user, 3600, brvim::demoUserSigKey(), brvim::nowSeconds());
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void report(const char *who, const std::vector<double> &lat, double burstRate, int burstGot,
            bool inOrder)
{
    std::printf("{\"who\":\"%s\",\"p50_ms\":%.3f,\"p99_ms\":%.3f,\"burst_msg_s\":%.1f,"
                "\"burst_received\":%d,\"in_order\":%s}\n",
                who, percentile(lat, 0.5), percentile(lat, 0.99), burstRate, burstGot,
                inOrder ? "true" : "false");
    std::fflush(stdout);
}

// --- our SDK -----------------------------------------------------------------------------------

struct Receiver
{
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> got;
};

void onRecv(const char *json, const void *ud)
{
    auto *r = static_cast<Receiver *>(const_cast<void *>(ud));
    const QJsonArray arr = QJsonDocument::fromJson(QByteArray(json)).array();
    std::lock_guard<std::mutex> lock(r->m);
    for (const auto &v : arr)
        r->got.push_back(v.toObject()
                             .value(QStringLiteral("message_elem_array"))
                             .toArray()[0]
                             .toObject()
                             .value(QStringLiteral("custom_elem_data"))
                             .toString()
                             .toStdString());
    r->cv.notify_all();
}

void onResult(int code, const char *, const char *, const void *ud)
{
    auto *flag = static_cast<std::atomic<int> *>(const_cast<void *>(ud));
    flag->store(code == 0 ? 1 : -1);
}

bool waitFlag(std::atomic<int> &f)
{
    for (int i = 0; i < 10000 && f.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return f.load() == 1;
}

std::string customJson(const std::string &data)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("message_elem_array"),
                                      QJsonArray{QJsonObject{{QStringLiteral("elem_type"), 3},
                                                             {QStringLiteral("custom_elem_desc"),
                                                              QStringLiteral("ChatMsg")},
                                                             {QStringLiteral("custom_elem_data"),
                                                              QString::fromStdString(data)}}}}})
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

bool runOurs(const std::string &config, const std::string &group)
{
    std::unique_ptr<brvim::Sdk> a, b;
    if (brvim::Sdk::create(1, config.c_str(), a) || brvim::Sdk::create(1, config.c_str(), b))
        return false;
    Receiver rx;
    b->addRecv(onRecv, &rx);
    const std::pair<brvim::Sdk *, const char *> users[] = {{a.get(), "benchsdka"},
                                                           {b.get(), "benchsdkb"}};
    for (const auto &p : users) {
        std::atomic<int> in{0}, joined{0};
        p.first->login(p.second, sig(p.second).c_str(), onResult, &in);
        if (!waitFlag(in))
            return false;
        p.first->join(group.c_str(), onResult, &joined);
        if (!waitFlag(joined))
            return false;
    }
    std::vector<double> lat;
    for (int i = 0; i < count; ++i) {
        const std::string json = customJson(payload + std::to_string(i));
        const auto t0 = Clock::now();
        a->send(group.c_str(), 2, json.c_str(), nullptr, nullptr, nullptr);
        std::unique_lock<std::mutex> lock(rx.m);
        if (!rx.cv.wait_for(lock, std::chrono::seconds(10),
                            [&] { return rx.got.size() > size_t(i); }))
            return false;
        lat.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    rx.got.clear();
    std::vector<std::string> jsons;
    for (int i = 0; i < count; ++i)
        jsons.push_back(customJson(payload + "#" + std::to_string(i)));
    const auto t0 = Clock::now();
    for (const auto &j : jsons)
        a->send(group.c_str(), 2, j.c_str(), nullptr, nullptr, nullptr);
    std::unique_lock<std::mutex> lock(rx.m);
    rx.cv.wait_for(lock, std::chrono::seconds(60), [&] { return rx.got.size() >= size_t(count); });
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    bool inOrder = rx.got.size() == size_t(count);
    for (size_t i = 0; inOrder && i < rx.got.size(); ++i)
        inOrder = rx.got[i] == payload + "#" + std::to_string(i);
    const int got = int(rx.got.size());
    lock.unlock();
    report("sdk", lat, double(got) / secs, got, inOrder);
    return true;
}

// --- bare libstrophe --------------------------------------------------------------------------

struct Bare
{
    xmpp_conn_t *conn = nullptr;
    std::string user;
    bool online = false, joined = false;
    std::vector<std::string> got;
};

int bareSockopt(xmpp_conn_t *, void *sock)
{
    const int one = 1;
    setsockopt(*static_cast<int *>(sock), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 0;
}

int bareCertFail(const xmpp_tlscert_t *, const char *)
{
    return 1;
} // loopback, our own server

void bareConn(xmpp_conn_t *, xmpp_conn_event_t ev, int, xmpp_stream_error_t *, void *ud)
{
    static_cast<Bare *>(ud)->online = ev == XMPP_CONN_CONNECT;
}

int barePresence(xmpp_conn_t *, xmpp_stanza_t *st, void *ud)
{
    auto *b = static_cast<Bare *>(ud);
    const char *from = xmpp_stanza_get_from(st);
    if (from && std::string(from).size() > b->user.size() &&
        std::string(from).compare(std::string(from).size() - b->user.size() - 1, std::string::npos,
                                  "/" + b->user) == 0)
        b->joined = true;
    return 1;
}

int bareMessage(xmpp_conn_t *, xmpp_stanza_t *st, void *ud)
{
    auto *b = static_cast<Bare *>(ud);
    xmpp_stanza_t *brv = xmpp_stanza_get_child_by_name_and_ns(st, "brv", brvim::wireNs);
    const char *from = xmpp_stanza_get_from(st);
    if (!brv || !from || std::string(from).find("/" + b->user) != std::string::npos)
        return 1;
    xmpp_stanza_t *e = xmpp_stanza_get_child_by_name(brv, "e");
    char *t = e ? xmpp_stanza_get_text(e) : nullptr;
    std::string data;
    brvim::fromBase64(t ? t : "", data);
    if (t)
        xmpp_free(xmpp_conn_get_context(b->conn), t);
    b->got.push_back(data);
    return 1;
}

template <typename Pred> bool runUntil(xmpp_ctx_t *ctx, Pred pred, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > end)
            return false;
        xmpp_run_once(ctx, 1);
    }
    return true;
}

bool runBare(const std::string &host, int port, const std::string &group)
{
    xmpp_initialize();
    xmpp_ctx_t *ctx = xmpp_ctx_new(nullptr, nullptr);
    Bare a, b;
    a.user = "benchbarea";
    b.user = "benchbareb";
    for (Bare *x : {&a, &b}) {
        x->conn = xmpp_conn_new(ctx);
        xmpp_conn_set_flags(x->conn, XMPP_CONN_FLAG_MANDATORY_TLS | XMPP_CONN_FLAG_DISABLE_SM);
        xmpp_conn_set_jid(x->conn, (x->user + "@im.local/bench").c_str());
        xmpp_conn_set_pass(x->conn, sig(x->user).c_str());
        xmpp_conn_set_certfail_handler(x->conn, bareCertFail);
        xmpp_conn_set_sockopt_callback(x->conn, bareSockopt);
        xmpp_handler_add(x->conn, bareMessage, nullptr, "message", nullptr, x);
        xmpp_handler_add(x->conn, barePresence, nullptr, "presence", nullptr, x);
        xmpp_connect_client(x->conn, host.c_str(), static_cast<unsigned short>(port), bareConn, x);
        if (!runUntil(
                ctx, [&] { return x->online; }, 10000))
            return false;
        const std::string join = "<presence to='" + group + "@conference.im.local/" + x->user +
                                 "'><x xmlns='http://jabber.org/protocol/muc'><history "
                                 "maxstanzas='0'/></x></presence>";
        xmpp_send_raw(x->conn, join.data(), join.size());
        if (!runUntil(
                ctx, [&] { return x->joined; }, 10000))
            return false;
    }
    auto stanza = [&](const std::string &data) {
        brvim::Message m;
        m.convType = 2;
        m.msgId = brvim::newMessageId();
        m.rand = 1;
        m.elems.push_back(brvim::Element{3, data, "ChatMsg", ""});
        return brvim::encodeMessageStanza(m, group + "@conference.im.local");
    };
    std::vector<double> lat;
    for (int i = 0; i < count; ++i) {
        const std::string xml = stanza(payload + std::to_string(i));
        const auto t0 = Clock::now();
        xmpp_send_raw(a.conn, xml.data(), xml.size());
        if (!runUntil(
                ctx, [&] { return b.got.size() > size_t(i); }, 10000))
            return false;
        lat.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    b.got.clear();
    std::vector<std::string> xmls;
    for (int i = 0; i < count; ++i)
        xmls.push_back(stanza(payload + "#" + std::to_string(i)));
    const auto t0 = Clock::now();
    for (const auto &x : xmls)
        xmpp_send_raw(a.conn, x.data(), x.size());
    runUntil(
        ctx, [&] { return b.got.size() >= size_t(count); }, 60000);
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    bool inOrder = b.got.size() == size_t(count);
    for (size_t i = 0; inOrder && i < b.got.size(); ++i)
        inOrder = b.got[i] == payload + "#" + std::to_string(i);
    report("bare_libstrophe", lat, double(b.got.size()) / secs, int(b.got.size()), inOrder);
    for (Bare *x : {&a, &b}) {
        xmpp_disconnect(x->conn);
        runUntil(
            ctx, [&] { return !x->online; }, 2000);
        xmpp_conn_release(x->conn);
    }
    xmpp_ctx_free(ctx);
    return true;
}

} // namespace

int main()
{
    const char *server = std::getenv("BRV_IM_SERVER");
    brvim::ServerAddress address;
    if (!server || !brvim::parseServerAddress(server, address)) {
        std::fprintf(stderr, "bench_im: BRV_IM_SERVER is not set\n");
        return 2;
    }
    const std::string config = std::string("{\"brv_server\":\"") + server + "\"}";
    const std::string suffix = std::to_string(brvim::nowMillis());
    // The peer first, then ours, each in a room of its own.
    if (!runBare(address.host, address.port, "benchbare" + suffix)) {
        std::fprintf(stderr, "bench_im: the bare clients failed\n");
        return 1;
    }
    if (!runOurs(config, "benchsdk" + suffix)) {
        std::fprintf(stderr, "bench_im: the SDK run failed\n");
        return 1;
    }
    return 0;
}
