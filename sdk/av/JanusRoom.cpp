#include "JanusRoom.h"

#include <gst/app/gstappsrc.h>
#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#include <gst/webrtc/webrtc.h>
#include <nice/agent.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace brvav {

using namespace liteav;

namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(10);
constexpr unsigned kConnectTimeoutMs = 5000;
constexpr unsigned kRetryMs = 1000;
constexpr const char *kScreen = "screen";

// What a GStreamer thread needs to reach the room: posted to the engine, checked there.
struct Link
{
    Engine *engine;
    JanusRoom *room;
    std::weak_ptr<void> guard;
    uint64_t key;
};

std::string base64UrlDecode(std::string text)
{
    for (char &c : text) {
        if (c == '-')
            c = '+';
        else if (c == '_')
            c = '/';
    }
    while (text.size() % 4)
        text += '=';
    gsize size = 0;
    guchar *data = g_base64_decode(text.c_str(), &size);
    std::string out(reinterpret_cast<const char *>(data), size);
    g_free(data);
    return out;
}

std::string firstMid(const std::string &sdp)
{
    const size_t at = sdp.find("a=mid:");
    if (at == std::string::npos)
        return {};
    const size_t end = sdp.find_first_of("\r\n", at);
    return sdp.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6);
}

GstWebRTCSessionDescription *description(GstWebRTCSDPType type, const std::string &text)
{
    GstSDPMessage *message = nullptr;
    if (gst_sdp_message_new_from_text(text.c_str(), &message) != GST_SDP_OK || !message)
        return nullptr;
    if (gst_sdp_message_medias_len(message) == 0) {
        gst_sdp_message_free(message);
        return nullptr;
    }
    return gst_webrtc_session_description_new(type, message);
}

GstElement *parse(const std::string &description)
{
    GError *error = nullptr;
    GstElement *element = gst_parse_launch(description.c_str(), &error);
    if (error) {
        g_clear_error(&error);
        if (element)
            gst_object_unref(gst_object_ref_sink(element));
        return nullptr;
    }
    return element;
}

// Pushes a tap's samples into an appsrc of another pipeline, restamped there.
struct TapFeed
{
    GstElement *src = nullptr;
    GstCaps *caps = nullptr;
    ~TapFeed()
    {
        if (caps)
            gst_caps_unref(caps);
        if (src)
            gst_object_unref(src);
    }
    void push(GstSample *sample)
    {
        GstCaps *c = gst_sample_get_caps(sample);
        if (c && (!caps || !gst_caps_is_equal(c, caps))) {
            gst_caps_replace(&caps, c);
            gst_app_src_set_caps(GST_APP_SRC(src), c);
        }
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (!buffer)
            return;
        buffer = gst_buffer_copy(buffer); // shares the memory
        GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
        gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
    }
};

MediaTap::Consumer feedInto(GstElement *appsrc)
{
    auto feed = std::make_shared<TapFeed>();
    feed->src = GST_ELEMENT(gst_object_ref(appsrc));
    return [feed](GstSample *sample) {
        feed->push(sample);
    };
}

int qualityOf(double loss, double rttMs)
{
    if (loss < 0.02 && rttMs < 150)
        return TRTCQuality_Excellent;
    if (loss < 0.05 && rttMs < 300)
        return TRTCQuality_Good;
    if (loss < 0.10)
        return TRTCQuality_Poor;
    if (loss < 0.20)
        return TRTCQuality_Bad;
    if (loss < 0.50)
        return TRTCQuality_Vbad;
    return TRTCQuality_Down;
}

} // namespace

struct JanusRoom::Publisher
{
    bool screen = false;
    uint64_t key = 0;
    uint64_t handle = 0;
    bool joined = false;
    bool joining = false;
    bool video = false;
    bool audio = false;
    std::unique_ptr<Pipeline> pipe;
    GstElement *webrtc = nullptr;
    GstElement *encoder = nullptr;
    uint32_t bitrate = 0;
    uint32_t minBitrate = 0;
    uint32_t maxBitrate = 0;
};

struct JanusRoom::Subscriber
{
    uint64_t key = 0;
    uint64_t feed = 0;
    std::string user;
    bool video = false;
    bool screen = false;
    TXView view = nullptr;
    uint64_t handle = 0;
    std::unique_ptr<Pipeline> pipe;
    GstElement *webrtc = nullptr;
    RenderTarget target;
    bool first = false;
    int width = 0;
    int height = 0;
    uint32_t volume = 0;
    uint64_t received = 0;
    uint64_t lost = 0;
    int quality = TRTCQuality_Unknown;
    std::shared_ptr<std::atomic<uint64_t>> frames = std::make_shared<std::atomic<uint64_t>>(0);
    uint64_t framesBefore = 0;
};

JanusRoom::JanusRoom(Engine &engine, Dispatcher &dispatcher, RoomHost &host, MediaTaps &taps,
                     std::string url)
    : engine_(engine), dispatcher_(dispatcher), host_(host), taps_(taps), url_(std::move(url)),
      loopback_(isLoopbackUrl(url_))
{
    // The DTLS certificate is made once per process, on first use; making it now keeps it off
    // the way of the first stream.
    warmUp_ = std::thread([] {
        if (GstElement *dtls = gst_element_factory_make("dtlsdec", nullptr))
            gst_object_unref(gst_object_ref_sink(dtls));
    });
}

JanusRoom::~JanusRoom()
{
    teardownSession(true);
    if (warmUp_.joinable())
        warmUp_.join();
}

std::string JanusRoom::tokenFromSignature(const std::string &userSig)
{
    // The signature is the IM server's JWT; the media server's token rides in its payload.
    // Nothing is verified here: the server checks the token.
    const size_t a = userSig.find('.');
    const size_t b = a == std::string::npos ? a : userSig.find('.', a + 1);
    if (b == std::string::npos)
        return {};
    bool ok = false;
    const Json payload = Json::parse(base64UrlDecode(userSig.substr(a + 1, b - a - 1)), &ok);
    return ok ? payload["janus"].str() : std::string();
}

bool JanusRoom::isLoopbackUrl(const std::string &url)
{
    bool tls = false;
    std::string host;
    unsigned port = 0;
    std::string path;
    if (!WebSocket::parseUrl(url, tls, host, port, path))
        return false;
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// ---- signalling ---------------------------------------------------------------------------

int JanusRoom::enter(const TRTCParams &params, TRTCAppScene)
{
    if (!params.userId || !*params.userId)
        return ERR_USER_ID_INVALID;
    if (params.roomId == 0)
        return ERR_ROOM_ID_INVALID;
    teardownSession(true);
    userId_ = params.userId;
    roomId_ = params.roomId;
    const std::string sig = params.userSig ? params.userSig : "";
    token_ = tokenFromSignature(sig);
    everEntered_ = false;
    state_ = State::Connecting;
    connect();
    return state_ == State::Connecting ? kPending : ERR_ROOM_ENTER_FAIL;
}

void JanusRoom::connect()
{
    const unsigned generation = ++generation_;
    socket_ = std::make_unique<WebSocket>();
    std::weak_ptr<Guard> guard = guard_;
    Engine *engine = &engine_;
    auto post = [engine, guard, this, generation](std::function<void()> fn) {
        engine->post([guard, this, generation, fn = std::move(fn)] {
            if (guard.lock() && generation == generation_)
                fn();
        });
    };
    socket_->onOpen = [post, this](bool ok, const std::string &error) {
        post([this, ok, error] { socketOpened(ok, error); });
    };
    socket_->onText = [post, this](std::string text) {
        post([this, text = std::move(text)] { socketText(text); });
    };
    socket_->onClosed = [post, this] {
        post([this] { socketClosed(); });
    };
    if (!socket_->open(url_, "janus-protocol", kConnectTimeoutMs)) {
        socket_.reset();
        failEnter(ERR_ROOM_ENTER_FAIL, "the media server address is not a ws:// or wss:// URL");
        return;
    }
    if (!timeouts_)
        timeouts_ = engine_.every(500, [this] {
            checkTimeouts();
            return true;
        });
}

void JanusRoom::socketOpened(bool ok, const std::string &error)
{
    if (!ok) {
        if (state_ == State::Reconnecting) {
            socket_->close(); // its thread has ended; the retry timer tries again
            socket_.reset();
            return;
        }
        failEnter(ERR_ROOM_ENTER_FAIL, "cannot reach the media server: " + error);
        return;
    }
    request(Json::object().set("janus", "create"), [this](const Json &session) {
        session_ = session["data"]["id"].id();
        if (session["janus"].str() != "success" || !session_) {
            failEnter(errorCode(session), "the media server refused a session");
            return;
        }
        keepAlive_ = engine_.every(25000, [this] {
            send(Json::object().set("janus", "keepalive"));
            return true;
        });
        request(Json::object().set("janus", "attach").set("plugin", "janus.plugin.videoroom"),
                [this](const Json &attached) {
                    mainHandle_ = attached["data"]["id"].id();
                    if (attached["janus"].str() != "success" || !mainHandle_) {
                        failEnter(errorCode(attached), "the media server has no video rooms");
                        return;
                    }
                    // Rooms are made on demand; one that exists already (427) is as good.
                    Json create = Json::object()
                                      .set("request", "create")
                                      .set("room", uint64_t(roomId_))
                                      .set("publishers", 16)
                                      .set("notify_joining", true)
                                      .set("bitrate", 0);
                    pluginRequest(mainHandle_, create, [this](const Json &made) {
                        const Json &madeData = made["pluginmadeData"]["madeData"];
                        const int code = int(madeData["error_code"].num());
                        if (made["janus"].str() == "error" || (code && code != 427)) {
                            failEnter(errorCode(made), "the room could not be made");
                            return;
                        }
                        state_ = State::Joining;
                        Json join = Json::object()
                                        .set("request", "join")
                                        .set("ptype", "publisher")
                                        .set("room", uint64_t(roomId_))
                                        .set("display", userId_);
                        pluginRequest(mainHandle_, join, [this](const Json &reply) {
                            const Json &data = reply["plugindata"]["data"];
                            if (data["videoroom"].str() != "joined") {
                                failEnter(errorCode(reply), "the room refused the user");
                                return;
                            }
                            joinedRoom(data);
                        });
                    });
                });
    });
}

int JanusRoom::errorCode(const Json &reply) const
{
    const int core = int(reply["error"]["code"].num());
    const int plugin = int(reply["plugindata"]["data"]["error_code"].num());
    if (core == 403 || plugin == 433 || plugin == 429)
        return ERR_USER_SIG_INVALID;
    if (plugin == 426)
        return ERR_ROOM_ID_INVALID;
    if (reply["janus"].str() == "timeout")
        return ERR_ROOM_REQUEST_IP_TIMEOUT;
    return ERR_ROOM_ENTER_FAIL;
}

void JanusRoom::failEnter(int code, const std::string &why)
{
    if (state_ == State::Reconnecting || (state_ == State::InRoom)) {
        // Lost on the way back in: start over at the next try.
        teardownSession(false);
        state_ = State::Reconnecting;
        return;
    }
    if (state_ == State::Idle)
        return;
    teardownSession(false);
    state_ = State::Idle;
    const std::string text = why;
    dispatcher_.emit([code, text](ITRTCCloudCallback &sink) {
        sink.onError(TXLiteAVError(code), text.c_str(), nullptr);
    });
    host_.roomEntered(code);
}

void JanusRoom::joinedRoom(const Json &data)
{
    ownFeed_ = data["id"].id();
    privateId_ = data["private_id"].id();
    const bool back = everEntered_;
    state_ = State::InRoom;
    everEntered_ = true;
    Engine::removeSource(retry_);
    for (auto &f : feeds_)
        f.second.seen = false;
    for (const Json &a : data["attendees"].items())
        addFeed(a["id"].id(), a["display"].str());
    for (const Json &p : data["publishers"].items())
        publisherListed(p);
    // Who went while we were away has left.
    std::vector<uint64_t> gone;
    for (const auto &f : feeds_) {
        if (!f.second.seen)
            gone.push_back(f.first);
    }
    for (uint64_t id : gone)
        feedLeft(id, 0);
    if (back)
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onConnectionRecovery(); });
    else
        host_.roomEntered(1);
    if (!stats_)
        stats_ = engine_.every(2000, [this] {
            statsTick();
            return true;
        });
    republish();
    for (const auto &f : feeds_)
        refreshSubscriptions(f.second.user);
}

void JanusRoom::send(Json message)
{
    if (session_ && !message.has("session_id") && message["janus"].str() != "create")
        message.set("session_id", session_);
    if (!token_.empty())
        message.set("token", token_);
    if (!message.has("transaction"))
        message.set("transaction", "n" + std::to_string(nextTransaction_++));
    if (socket_)
        socket_->send(message.dump());
}

void JanusRoom::request(Json message, Reply reply)
{
    const std::string transaction = "t" + std::to_string(nextTransaction_++);
    message.set("transaction", transaction);
    pending_[transaction] =
        Pending{std::move(reply), std::chrono::steady_clock::now() + kRequestTimeout};
    send(std::move(message));
}

void JanusRoom::pluginRequest(uint64_t handle, Json body, Reply reply, Json jsep)
{
    Json message =
        Json::object().set("janus", "message").set("handle_id", handle).set("body", body);
    if (!token_.empty() && body["request"].str() == "join")
        body.set("token", token_);
    if (!jsep.isNull())
        message.set("jsep", std::move(jsep));
    request(std::move(message), std::move(reply));
}

void JanusRoom::checkTimeouts()
{
    const auto now = std::chrono::steady_clock::now();
    std::vector<Reply> expired;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.deadline <= now) {
            expired.push_back(std::move(it->second.reply));
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    const Json timeout = Json::object().set("janus", "timeout");
    for (Reply &r : expired) {
        if (r)
            r(timeout);
    }
    if (!expired.empty() && state_ == State::InRoom)
        connectionLost(); // a server that stops answering is as good as gone
}

void JanusRoom::socketText(const std::string &text)
{
    bool ok = false;
    const Json message = Json::parse(text, &ok);
    if (!ok || !message.isObject()) {
        dispatcher_.emit([](ITRTCCloudCallback &sink) {
            sink.onWarning(TXLiteAVWarning(WARNING_ROOM_SIGNALLING_BAD),
                           "the media server sent something that is not JSON", nullptr);
        });
        return;
    }
    const std::string kind = message["janus"].str();
    const std::string transaction = message["transaction"].str();
    auto it = transaction.empty() ? pending_.end() : pending_.find(transaction);
    if (it != pending_.end()) {
        if (kind == "ack")
            return; // the answer follows as an event
        Reply reply = std::move(it->second.reply);
        pending_.erase(it);
        if (reply)
            reply(message);
        return;
    }
    handleEvent(message);
}

void JanusRoom::handleEvent(const Json &message)
{
    const std::string kind = message["janus"].str();
    const uint64_t sender = message["sender"].id();
    if (kind == "event") {
        const Json &data = message["plugindata"]["data"];
        if (sender && sender == mainHandle_) {
            roomEvent(data);
            return;
        }
        for (auto &s : subscribers_) {
            if (s.second->handle == sender && message["jsep"].isObject() &&
                data["videoroom"].str() == "updated")
                offerArrived(s.first, message["jsep"]);
        }
        return;
    }
    if (kind == "hangup" || kind == "detached") {
        for (auto &s : subscribers_) {
            if (s.second->handle == sender && sender) {
                // The server ended this stream (its publisher went); the feed events tidy up.
                return;
            }
        }
    }
    // webrtcup, media, slowlink, timeout, keepalive answers and whatever else: nothing to do.
}

void JanusRoom::roomEvent(const Json &data)
{
    const std::string what = data["videoroom"].str();
    if (what == "destroyed") {
        teardownSession(false);
        state_ = State::Idle;
        host_.roomEnded(2);
        return;
    }
    if (what != "event")
        return;
    if (data["leaving"].str() == "ok" && data["reason"].str() == "kicked") {
        teardownSession(false);
        state_ = State::Idle;
        host_.roomEnded(1);
        return;
    }
    if (data["joining"].isObject())
        addFeed(data["joining"]["id"].id(), data["joining"]["display"].str());
    for (const Json &p : data["publishers"].items())
        publisherListed(p);
    if (const uint64_t id = data["unpublished"].id())
        feedUnpublished(id);
    if (const uint64_t id = data["leaving"].id())
        feedLeft(id, data["reason"].str() == "kicked" ? 2 : 0);
    if (const uint64_t id = data["kicked"].id())
        feedLeft(id, 2);
}

void JanusRoom::socketClosed()
{
    if (state_ == State::InRoom || state_ == State::Joining) {
        if (state_ == State::Joining && !everEntered_) {
            failEnter(ERR_ROOM_ENTER_FAIL, "the media server closed the connection");
            return;
        }
        connectionLost();
    } else if (state_ == State::Connecting) {
        failEnter(ERR_ROOM_ENTER_FAIL, "the media server closed the connection");
    }
}

void JanusRoom::connectionLost()
{
    if (state_ == State::Reconnecting || state_ == State::Idle)
        return;
    teardownSession(false);
    state_ = State::Reconnecting;
    dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onConnectionLost(); });
    // Remote users stay as they are until the room answers again; what they show is gone.
    retry_ = engine_.every(kRetryMs, [this] {
        if (state_ != State::Reconnecting)
            return false;
        // An attempt under way is given its time before the next one replaces it.
        const auto now = std::chrono::steady_clock::now();
        if (socket_ && now - attemptStarted_ < std::chrono::milliseconds(kConnectTimeoutMs))
            return true;
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onTryToReconnect(); });
        teardownSession(false);
        attemptStarted_ = now;
        connect();
        return true;
    });
}

void JanusRoom::teardownSession(bool polite)
{
    for (auto &s : subscribers_) {
        if (s.second->pipe)
            s.second->pipe->stop();
    }
    subscribers_.clear();
    if (big_)
        unpublish(*big_, false);
    if (screen_)
        unpublish(*screen_, false);
    big_.reset();
    screen_.reset();
    if (polite && socket_ && session_) {
        if (mainHandle_)
            send(Json::object()
                     .set("janus", "message")
                     .set("handle_id", mainHandle_)
                     .set("body", Json::object().set("request", "leave")));
        send(Json::object().set("janus", "destroy"));
    }
    if (socket_)
        socket_->close();
    socket_.reset();
    ++generation_;
    pending_.clear();
    session_ = 0;
    mainHandle_ = 0;
    privateId_ = 0;
    Engine::removeSource(keepAlive_);
    Engine::removeSource(stats_);
    if (polite) {
        Engine::removeSource(retry_);
        Engine::removeSource(timeouts_);
        Engine::removeSource(volumes_);
    }
}

void JanusRoom::exit()
{
    teardownSession(true);
    state_ = State::Idle;
    // Leaving ends what the others were shown to us, without callbacks: the room is over.
    feeds_.clear();
    users_.clear();
    views_.clear();
}

// ---- remote users -------------------------------------------------------------------------

void JanusRoom::addFeed(uint64_t id, const std::string &display)
{
    if (!id || id == ownFeed_ || display == userId_)
        return; // ourselves, or our own screen handle
    auto it = feeds_.find(id);
    if (it == feeds_.end()) {
        Feed f;
        f.id = id;
        f.user = display.empty() ? std::to_string(id) : display;
        it = feeds_.emplace(id, f).first;
    }
    it->second.seen = true;
    updateUser(it->second.user);
}

void JanusRoom::publisherListed(const Json &publisher)
{
    const uint64_t id = publisher["id"].id();
    addFeed(id, publisher["display"].str());
    auto it = feeds_.find(id);
    if (it == feeds_.end())
        return;
    Feed &f = it->second;
    f.videoMid.clear();
    f.audioMid.clear();
    f.screen = false;
    for (const Json &s : publisher["streams"].items()) {
        if (s["disabled"].boolean())
            continue;
        const std::string type = s["type"].str();
        if (s["description"].str() == kScreen)
            f.screen = true;
        if (type == "video" && f.videoMid.empty())
            f.videoMid = s["mid"].str();
        else if (type == "audio" && f.audioMid.empty())
            f.audioMid = s["mid"].str();
    }
    updateUser(f.user);
    refreshSubscriptions(f.user);
}

void JanusRoom::feedUnpublished(uint64_t id)
{
    auto it = feeds_.find(id);
    if (it == feeds_.end())
        return; // a duplicate, or not ours to know
    it->second.videoMid.clear();
    it->second.audioMid.clear();
    dropSubscribersOf(id);
    updateUser(it->second.user);
}

void JanusRoom::feedLeft(uint64_t id, int reason)
{
    auto it = feeds_.find(id);
    if (it == feeds_.end())
        return;
    const std::string user = it->second.user;
    dropSubscribersOf(id);
    feeds_.erase(it);
    updateUser(user, reason);
}

JanusRoom::Feed *JanusRoom::feedOf(const std::string &user, bool screen)
{
    for (auto &f : feeds_) {
        if (f.second.user == user && f.second.screen == screen && !f.second.videoMid.empty())
            return &f.second;
    }
    if (screen)
        return nullptr;
    for (auto &f : feeds_) {
        if (f.second.user == user && !f.second.screen && !f.second.audioMid.empty())
            return &f.second;
    }
    return nullptr;
}

void JanusRoom::updateUser(const std::string &user, int leaveReason)
{
    bool present = false;
    UserState now;
    for (const auto &f : feeds_) {
        if (f.second.user != user)
            continue;
        present = true;
        if (f.second.screen) {
            now.sub = now.sub || !f.second.videoMid.empty();
        } else {
            now.video = now.video || !f.second.videoMid.empty();
            now.audio = now.audio || !f.second.audioMid.empty();
        }
    }
    auto it = users_.find(user);
    if (it == users_.end()) {
        if (!present)
            return;
        it = users_.emplace(user, UserState()).first;
        dispatcher_.emit(
            [user](ITRTCCloudCallback &sink) { sink.onRemoteUserEnterRoom(user.c_str()); });
    }
    UserState &was = it->second;
    // Only changes are told, so duplicate server events raise nothing.
    if (was.video != now.video) {
        const bool v = now.video;
        dispatcher_.emit(
            [user, v](ITRTCCloudCallback &sink) { sink.onUserVideoAvailable(user.c_str(), v); });
        if (!v && views_.count({user, TRTCVideoStreamTypeBig}))
            dispatcher_.emit([user](ITRTCCloudCallback &sink) {
                sink.onRemoteVideoStatusUpdated(user.c_str(), TRTCVideoStreamTypeBig,
                                                TRTCAVStatusStopped,
                                                TRTCAVStatusChangeReasonRemoteStopped, nullptr);
            });
    }
    if (was.sub != now.sub) {
        const bool v = now.sub;
        dispatcher_.emit([user, v](ITRTCCloudCallback &sink) {
            sink.onUserSubStreamAvailable(user.c_str(), v);
        });
    }
    if (was.audio != now.audio) {
        const bool v = now.audio;
        dispatcher_.emit(
            [user, v](ITRTCCloudCallback &sink) { sink.onUserAudioAvailable(user.c_str(), v); });
        if (!v)
            dispatcher_.emit([user](ITRTCCloudCallback &sink) {
                sink.onRemoteAudioStatusUpdated(user.c_str(), TRTCAVStatusStopped,
                                                TRTCAVStatusChangeReasonRemoteStopped, nullptr);
            });
    }
    was = now;
    if (!present) {
        users_.erase(it);
        const int reason = leaveReason < 0 ? 0 : leaveReason;
        dispatcher_.emit([user, reason](ITRTCCloudCallback &sink) {
            sink.onRemoteUserLeaveRoom(user.c_str(), reason);
        });
    }
}

void JanusRoom::refreshSubscriptions(const std::string &user)
{
    if (state_ != State::InRoom)
        return;
    // Sound plays without being asked for, as in any call; pictures only into views.
    auto has = [this](uint64_t feed, bool video) {
        for (const auto &s : subscribers_) {
            if (s.second->feed == feed && s.second->video == video)
                return true;
        }
        return false;
    };
    if (Feed *f = feedOf(user, false)) {
        if (!f->audioMid.empty() && !has(f->id, false))
            subscribe(*f, false, nullptr);
    }
    for (const TRTCVideoStreamType type : {TRTCVideoStreamTypeBig, TRTCVideoStreamTypeSub}) {
        auto view = views_.find({user, int(type)});
        if (view == views_.end())
            continue;
        Feed *f = feedOf(user, type == TRTCVideoStreamTypeSub);
        if (f && !f->videoMid.empty() && !has(f->id, true))
            subscribe(*f, true, view->second);
    }
}

// ---- webrtcbin ----------------------------------------------------------------------------

GstElement *JanusRoom::prepareWebrtc(GstElement *element, uint64_t linkKey, bool publisher)
{
    g_object_set(element, "bundle-policy", GST_WEBRTC_BUNDLE_POLICY_MAX_BUNDLE, nullptr);
    if (!publisher)
        g_object_set(element, "latency", 50u, nullptr); // the first frame comes sooner
    GObject *ice = nullptr;
    g_object_get(element, "ice-agent", &ice, nullptr);
    if (ice) {
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(ice), "agent")) {
            NiceAgent *agent = nullptr;
            g_object_get(ice, "agent", &agent, nullptr);
            if (agent) {
                // No UPnP discovery (multicast); on a loopback server, only loopback candidates.
                g_object_set(agent, "upnp", FALSE, nullptr);
                if (loopback_) {
                    NiceAddress address;
                    nice_address_init(&address);
                    nice_address_set_from_string(&address, "127.0.0.1");
                    nice_agent_add_local_address(agent, &address);
                }
                g_object_unref(agent);
            }
        }
        g_object_unref(ice);
    }
    auto connect = [&](const char *signal, GCallback callback) {
        g_signal_connect_data(
            element, signal, callback,
            new Link{&engine_, this, std::weak_ptr<void>(guard_), linkKey},
            [](gpointer data, GClosure *) { delete static_cast<Link *>(data); }, GConnectFlags(0));
    };
    connect("on-ice-candidate", G_CALLBACK(&JanusRoom::iceCandidate));
    if (publisher) {
        connect("on-new-transceiver", G_CALLBACK(+[](GstElement *, GObject *transceiver, gpointer) {
                    g_object_set(transceiver, "direction",
                                 GST_WEBRTC_RTP_TRANSCEIVER_DIRECTION_SENDONLY, nullptr);
                }));
        connect("on-negotiation-needed", G_CALLBACK(&JanusRoom::negotiationNeeded));
    }
    return element;
}

void JanusRoom::iceCandidate(GstElement *, guint mline, gchar *candidate, gpointer data)
{
    auto *link = static_cast<Link *>(data);
    const std::string text = candidate ? candidate : "";
    JanusRoom *room = link->room;
    const uint64_t key = link->key;
    std::weak_ptr<void> guard = link->guard;
    link->engine->post([guard, room, key, mline, text] {
        if (!guard.lock())
            return;
        uint64_t handle = 0;
        for (Publisher *p : {room->big_.get(), room->screen_.get()}) {
            if (p && p->key == key)
                handle = p->handle;
        }
        auto s = room->subscribers_.find(key);
        if (s != room->subscribers_.end())
            handle = s->second->handle;
        if (!handle)
            return;
        room->send(
            Json::object()
                .set("janus", "trickle")
                .set("handle_id", handle)
                .set("candidate",
                     Json::object().set("candidate", text).set("sdpMLineIndex", int(mline))));
    });
}

namespace {
// The SDP of a promise's reply field ("offer" or "answer"); empty when webrtcbin gave none.
std::string promisedSdp(GstPromise *promise, const char *field)
{
    const GstStructure *reply = gst_promise_get_reply(promise);
    GstWebRTCSessionDescription *desc = nullptr;
    if (reply && gst_structure_has_field(reply, field))
        gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &desc, nullptr);
    std::string sdp;
    if (desc && desc->sdp) {
        gchar *text = gst_sdp_message_as_text(desc->sdp);
        sdp = text ? text : "";
        g_free(text);
    }
    if (desc)
        gst_webrtc_session_description_free(desc);
    return sdp;
}

GstPromise *promiseFor(Link *link, GstPromiseChangeFunc done)
{
    return gst_promise_new_with_change_func(done, link,
                                            [](gpointer p) { delete static_cast<Link *>(p); });
}
} // namespace

void JanusRoom::negotiationNeeded(GstElement *element, gpointer data)
{
    GstPromise *promise =
        promiseFor(new Link(*static_cast<Link *>(data)), [](GstPromise *done, gpointer p) {
            auto *link = static_cast<Link *>(p);
            const std::string sdp = promisedSdp(done, "offer");
            JanusRoom *room = link->room;
            const uint64_t key = link->key;
            std::weak_ptr<void> guard = link->guard;
            link->engine->post([guard, room, key, sdp] {
                if (!guard.lock())
                    return;
                for (Publisher *pub : {room->big_.get(), room->screen_.get()}) {
                    if (pub && pub->key == key)
                        room->offerReady(pub, key, sdp);
                }
            });
            gst_promise_unref(done);
        });
    g_signal_emit_by_name(element, "create-offer", nullptr, promise);
}

// ---- publishing ---------------------------------------------------------------------------

void JanusRoom::localMediaChanged(bool camera, bool microphone, bool screen)
{
    wantCamera_ = camera;
    wantMic_ = microphone;
    wantScreen_ = screen;
    if (state_ == State::InRoom)
        republish();
}

void JanusRoom::republish()
{
    if (!big_) {
        big_ = std::make_unique<Publisher>();
        big_->key = nextKey_++;
        big_->handle = mainHandle_;
        big_->joined = true;
    }
    if (big_->video != wantCamera_ || big_->audio != wantMic_ ||
        (!big_->pipe && (wantCamera_ || wantMic_))) {
        unpublish(*big_, true);
        big_->video = wantCamera_;
        big_->audio = wantMic_;
        if (wantCamera_ || wantMic_)
            publish(*big_);
    }
    if (wantScreen_ && !screen_) {
        startScreenHandle();
    } else if (!wantScreen_ && screen_) {
        unpublish(*screen_, false);
        if (screen_->handle)
            send(Json::object().set("janus", "detach").set("handle_id", screen_->handle));
        screen_.reset();
    }
}

void JanusRoom::startScreenHandle()
{
    screen_ = std::make_unique<Publisher>();
    screen_->screen = true;
    screen_->key = nextKey_++;
    screen_->video = true;
    const uint64_t key = screen_->key;
    request(Json::object().set("janus", "attach").set("plugin", "janus.plugin.videoroom"),
            [this, key](const Json &attached) {
                if (!screen_ || screen_->key != key)
                    return;
                screen_->handle = attached["data"]["id"].id();
                if (!screen_->handle) {
                    screen_.reset();
                    return;
                }
                Json join = Json::object()
                                .set("request", "join")
                                .set("ptype", "publisher")
                                .set("room", uint64_t(roomId_))
                                .set("display", userId_);
                pluginRequest(screen_->handle, join, [this, key](const Json &reply) {
                    if (!screen_ || screen_->key != key)
                        return;
                    if (reply["plugindata"]["data"]["videoroom"].str() != "joined") {
                        dispatcher_.emit([](ITRTCCloudCallback &sink) {
                            sink.onError(ERR_SCREEN_CAPTURE_START_FAIL,
                                         "the room refused the shared screen", nullptr);
                        });
                        return;
                    }
                    screen_->joined = true;
                    publish(*screen_);
                });
            });
}

void JanusRoom::publish(Publisher &pub)
{
    const TRTCVideoEncParam &enc = pub.screen ? screenEncoder_ : cameraEncoder_;
    int w = 640;
    int h = 360;
    resolutionSize(enc.videoResolution, w, h);
    if (enc.resMode == TRTCVideoResolutionModePortrait)
        std::swap(w, h);
    const int fps = int(std::clamp<uint32_t>(enc.videoFps, 1, 60));
    pub.maxBitrate = std::max<uint32_t>(enc.videoBitrate, 50);
    pub.minBitrate = std::min(pub.maxBitrate, std::max<uint32_t>(enc.minVideoBitrate, 50));
    pub.bitrate = pub.maxBitrate;
    std::string desc = "webrtcbin name=wb ";
    if (pub.video) {
        desc += "appsrc name=vsrc is-live=true format=time do-timestamp=true max-buffers=4 "
                "leaky-type=downstream caps=video/x-raw,format=I420,width=" +
                std::to_string(w) + ",height=" + std::to_string(h) +
                ",framerate=" + std::to_string(fps) +
                "/1 ! queue max-size-buffers=2 leaky=downstream ! videoconvert ! "
                "vp8enc name=venc deadline=1 cpu-used=8 threads=1 end-usage=cbr target-bitrate=" +
                std::to_string(pub.bitrate * 1000) + " keyframe-max-dist=" + std::to_string(fps) +
                " error-resilient=default ! rtpvp8pay picture-id-mode=15-bit ! "
                "application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000,"
                "rtcp-fb-nack-pli=true,rtcp-fb-ccm-fir=true ! "
                "wb. ";
    }
    if (pub.audio) {
        desc += "appsrc name=asrc is-live=true format=time do-timestamp=true max-buffers=8 "
                "leaky-type=downstream "
                "caps=audio/x-raw,format=S16LE,layout=interleaved,rate=48000,channels=1 ! "
                "queue ! audioconvert ! audioresample ! opusenc bitrate=32000 ! rtpopuspay ! "
                "application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000 ! "
                "wb. ";
    }
    GstElement *pipeline = parse(desc);
    if (!pipeline) {
        dispatcher_.emit([](ITRTCCloudCallback &sink) {
            sink.onError(ERR_ROOM_ENTER_FAIL, "the media engine cannot publish", nullptr);
        });
        return;
    }
    pub.pipe = std::make_unique<Pipeline>(engine_, pipeline);
    pub.webrtc = pub.pipe->byName("wb");
    pub.encoder = pub.pipe->byName("venc");
    prepareWebrtc(pub.webrtc, pub.key, true);
    pub.pipe->onError = [this](GstElement *, const std::string &text) {
        dispatcher_.emit([text](ITRTCCloudCallback &sink) {
            sink.onWarning(TXLiteAVWarning(WARNING_ROOM_MEDIA), text.c_str(), nullptr);
        });
    };
    if (GstElement *v = pub.pipe->byName("vsrc"))
        (pub.screen ? taps_.screen : taps_.camera).set(feedInto(v));
    if (GstElement *a = pub.pipe->byName("asrc"))
        taps_.microphone.set(feedInto(a));
    pub.pipe->play();
}

void JanusRoom::offerReady(Publisher *pub, uint64_t key, const std::string &sdp)
{
    if (!pub->pipe || sdp.empty() || !pub->handle)
        return;
    GstWebRTCSessionDescription *offer = description(GST_WEBRTC_SDP_TYPE_OFFER, sdp);
    if (!offer)
        return;
    g_signal_emit_by_name(pub->webrtc, "set-local-description", offer, nullptr);
    gst_webrtc_session_description_free(offer);
    Json body = Json::object().set("request", "publish");
    if (pub->screen) {
        body.set("descriptions",
                 Json::array().push(
                     Json::object().set("mid", firstMid(sdp)).set("description", kScreen)));
    }
    pluginRequest(
        pub->handle, body,
        [this, key](const Json &reply) {
            Publisher *p = nullptr;
            for (Publisher *q : {big_.get(), screen_.get()}) {
                if (q && q->key == key)
                    p = q;
            }
            if (!p || !p->pipe)
                return;
            const Json &jsep = reply["jsep"];
            GstWebRTCSessionDescription *answer =
                jsep["type"].str() == "answer"
                    ? description(GST_WEBRTC_SDP_TYPE_ANSWER, jsep["sdp"].str())
                    : nullptr;
            if (!answer) {
                const bool screen = p->screen;
                dispatcher_.emit([screen](ITRTCCloudCallback &sink) {
                    sink.onError(screen ? ERR_SCREEN_CAPTURE_START_FAIL : ERR_ROOM_ENTER_FAIL,
                                 "the media server did not take the published stream", nullptr);
                });
                return;
            }
            g_signal_emit_by_name(p->webrtc, "set-remote-description", answer, nullptr);
            gst_webrtc_session_description_free(answer);
        },
        Json::object().set("type", "offer").set("sdp", sdp));
}

void JanusRoom::unpublish(Publisher &pub, bool tellServer)
{
    if (!pub.pipe)
        return;
    // The taps stop feeding before the pipeline goes.
    if (pub.video)
        (pub.screen ? taps_.screen : taps_.camera).set(nullptr);
    if (pub.audio)
        taps_.microphone.set(nullptr);
    if (tellServer && pub.handle)
        pluginRequest(pub.handle, Json::object().set("request", "unpublish"), nullptr);
    pub.pipe->stop();
    pub.pipe.reset();
    pub.webrtc = nullptr;
    pub.encoder = nullptr;
    pub.key = nextKey_++; // what the old pipeline still posts is not for the new one
}

void JanusRoom::setEncoder(const TRTCVideoEncParam &camera, const TRTCVideoEncParam &screen)
{
    const bool cameraChanged = camera.videoBitrate != cameraEncoder_.videoBitrate ||
                               camera.minVideoBitrate != cameraEncoder_.minVideoBitrate;
    cameraEncoder_ = camera;
    screenEncoder_ = screen;
    if (cameraChanged && big_ && big_->encoder) {
        big_->maxBitrate = std::max<uint32_t>(camera.videoBitrate, 50);
        big_->minBitrate =
            std::min(big_->maxBitrate, std::max<uint32_t>(camera.minVideoBitrate, 50));
        big_->bitrate = std::clamp(big_->bitrate, big_->minBitrate, big_->maxBitrate);
        g_object_set(big_->encoder, "target-bitrate", int(big_->bitrate * 1000), nullptr);
    }
}

void JanusRoom::adaptBitrate(Publisher &pub, double loss, double rttMs)
{
    if (!pub.encoder)
        return;
    // Back off quickly on loss or a long queue, come back slowly: within the encoder's bounds.
    uint32_t next = pub.bitrate;
    if (loss > 0.10 || rttMs > 400)
        next = uint32_t(pub.bitrate * 0.7);
    else if (loss > 0.03)
        next = uint32_t(pub.bitrate * 0.9);
    else if (loss < 0.01)
        next = uint32_t(pub.bitrate * 1.08) + 1;
    next = std::clamp(next, pub.minBitrate, pub.maxBitrate);
    if (next != pub.bitrate) {
        pub.bitrate = next;
        g_object_set(pub.encoder, "target-bitrate", int(next * 1000), nullptr);
    }
}

// ---- subscribing --------------------------------------------------------------------------

void JanusRoom::startRemoteView(const std::string &userId, TRTCVideoStreamType type, TXView view)
{
    if (type == TRTCVideoStreamTypeSmall)
        type = TRTCVideoStreamTypeBig; // one video per camera here
    stopRemoteView(userId, type);
    views_[{userId, int(type)}] = view;
    refreshSubscriptions(userId);
}

void JanusRoom::stopRemoteView(const std::string &userId, TRTCVideoStreamType type)
{
    if (type == TRTCVideoStreamTypeSmall)
        type = TRTCVideoStreamTypeBig;
    views_.erase({userId, int(type)});
    std::vector<uint64_t> drop;
    for (const auto &s : subscribers_) {
        if (s.second->video && s.second->user == userId &&
            s.second->screen == (type == TRTCVideoStreamTypeSub))
            drop.push_back(s.first);
    }
    for (uint64_t key : drop)
        dropSubscriber(key);
}

void JanusRoom::stopAllRemoteView()
{
    views_.clear();
    std::vector<uint64_t> drop;
    for (const auto &s : subscribers_) {
        if (s.second->video)
            drop.push_back(s.first);
    }
    for (uint64_t key : drop)
        dropSubscriber(key);
}

void JanusRoom::subscribe(Feed &feed, bool video, TXView view)
{
    auto sub = std::make_unique<Subscriber>();
    sub->key = nextKey_++;
    sub->feed = feed.id;
    sub->user = feed.user;
    sub->video = video;
    sub->screen = feed.screen;
    sub->view = view;
    const std::string mid = video ? feed.videoMid : feed.audioMid;

    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *webrtc = gst_element_factory_make("webrtcbin", "wb");
    GError *error = nullptr;
    GstElement *branch = gst_parse_bin_from_description(
        video ? "queue ! rtpvp8depay ! vp8dec ! videoconvert"
              : "queue ! rtpopusdepay ! opusdec plc=true ! audioconvert ! audioresample ! "
                "level name=level post-messages=true ! volume name=volume ! audioconvert ! "
                "audioresample",
        TRUE, &error);
    g_clear_error(&error);
    GstElement *out = video ? host_.makeWindowRender(view, sub->target) : host_.makeSpeakerSink();
    if (!webrtc || !branch || !out) {
        for (GstElement *e : {webrtc, branch, out, pipeline}) {
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        }
        return;
    }
    gst_bin_add_many(GST_BIN(pipeline), webrtc, branch, out, nullptr);
    gst_element_link(branch, out);
    sub->pipe = std::make_unique<Pipeline>(engine_, pipeline);
    sub->webrtc = webrtc;
    if (video)
        host_.followWindow(*sub->pipe, sub->target);
    prepareWebrtc(webrtc, sub->key, false);
    if (GstElement *level = sub->pipe->byName("level"))
        g_object_set(level, "interval", guint64(volumeInterval_) * GST_MSECOND, nullptr);
    if (GstElement *volume = sub->pipe->byName("volume")) {
        const bool muted = allMuted_ || mutedUsers_.count(sub->user);
        g_object_set(volume, "volume", muted ? 0.0 : playoutVolume_ / 100.0, nullptr);
    }

    // webrtcbin's pad comes once media flows; the branch behind it waits, ready.
    GstPad *branchPad = gst_element_get_static_pad(branch, "sink");
    g_signal_connect_data(
        webrtc, "pad-added", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
            if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
                return;
            auto *sink = static_cast<GstPad *>(data);
            if (!gst_pad_is_linked(sink))
                gst_pad_link(pad, sink);
        }),
        branchPad, [](gpointer data, GClosure *) { gst_object_unref(static_cast<GstPad *>(data)); },
        GConnectFlags(0));

    // First frame, frame count, size changes and first sound, seen where the picture or sound
    // leaves.
    struct Probe
    {
        Link link;
        std::shared_ptr<std::atomic<uint64_t>> frames;
        bool first = true; // streaming thread only
    };
    GstPad *outPad = gst_element_get_static_pad(out, "sink");
    gst_pad_add_probe(
        outPad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad *pad, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            auto *probe = static_cast<Probe *>(data);
            JanusRoom *room = probe->link.room;
            const uint64_t key = probe->link.key;
            std::weak_ptr<void> guard = probe->link.guard;
            if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
                probe->frames->fetch_add(1, std::memory_order_relaxed);
                if (!probe->first)
                    return GST_PAD_PROBE_OK;
                probe->first = false;
                GstCaps *caps = gst_pad_get_current_caps(pad);
                int w = 0;
                int h = 0;
                GstVideoInfo vinfo;
                const bool isVideo =
                    caps && gst_structure_has_name(gst_caps_get_structure(caps, 0), "video/x-raw");
                if (isVideo && gst_video_info_from_caps(&vinfo, caps)) {
                    w = GST_VIDEO_INFO_WIDTH(&vinfo);
                    h = GST_VIDEO_INFO_HEIGHT(&vinfo);
                }
                if (caps)
                    gst_caps_unref(caps);
                probe->link.engine->post([guard, room, key, isVideo, w, h] {
                    if (!guard.lock())
                        return;
                    if (isVideo)
                        room->subscriberFirstFrame(key, w, h);
                    else
                        room->subscriberFirstAudio(key);
                });
                return GST_PAD_PROBE_OK;
            }
            GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
            if (event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
                GstCaps *caps = nullptr;
                gst_event_parse_caps(event, &caps);
                GstVideoInfo vinfo;
                if (caps && gst_video_info_from_caps(&vinfo, caps)) {
                    const int w = GST_VIDEO_INFO_WIDTH(&vinfo);
                    const int h = GST_VIDEO_INFO_HEIGHT(&vinfo);
                    probe->link.engine->post([guard, room, key, w, h] {
                        if (guard.lock())
                            room->subscriberSize(key, w, h);
                    });
                }
            }
            return GST_PAD_PROBE_OK;
        },
        new Probe{Link{&engine_, this, std::weak_ptr<void>(guard_), sub->key}, sub->frames},
        [](gpointer data) { delete static_cast<Probe *>(data); });
    gst_object_unref(outPad);

    const uint64_t key = sub->key;
    sub->pipe->onElementMessage = [this, key](GstMessage *message) {
        const GstStructure *s = gst_message_get_structure(message);
        auto it = subscribers_.find(key);
        if (!s || !gst_structure_has_name(s, "level") || it == subscribers_.end())
            return;
        const GValue *rms = gst_structure_get_value(s, "rms");
        if (!rms)
            return;
        double loudest = -200;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        auto *array = static_cast<GValueArray *>(g_value_get_boxed(rms));
        for (guint i = 0; array && i < array->n_values; ++i)
            loudest = std::max(loudest, g_value_get_double(g_value_array_get_nth(array, i)));
        G_GNUC_END_IGNORE_DEPRECATIONS
        it->second->volume =
            uint32_t(std::lround(std::clamp((loudest + 60.0) * 100.0 / 60.0, 0.0, 100.0)));
    };
    sub->pipe->onError = [this, key](GstElement *, const std::string &text) {
        auto it = subscribers_.find(key);
        if (it == subscribers_.end())
            return;
        dispatcher_.emit([text](ITRTCCloudCallback &sink) {
            sink.onWarning(WARNING_VIDEO_RENDER_FAIL, text.c_str(), nullptr);
        });
    };
    sub->pipe->play();
    subscribers_[key] = std::move(sub);

    request(Json::object().set("janus", "attach").set("plugin", "janus.plugin.videoroom"),
            [this, key, mid](const Json &attached) {
                auto it = subscribers_.find(key);
                if (it == subscribers_.end())
                    return;
                Subscriber &s = *it->second;
                s.handle = attached["data"]["id"].id();
                if (!s.handle) {
                    dropSubscriber(key);
                    return;
                }
                Json stream = Json::object().set("feed", s.feed);
                if (!mid.empty())
                    stream.set("mid", mid);
                Json join = Json::object()
                                .set("request", "join")
                                .set("ptype", "subscriber")
                                .set("room", uint64_t(roomId_))
                                .set("streams", Json::array().push(stream))
                                .set("private_id", privateId_);
                pluginRequest(s.handle, join, [this, key](const Json &reply) {
                    if (!subscribers_.count(key))
                        return;
                    if (reply["plugindata"]["data"]["videoroom"].str() != "attached" ||
                        !reply["jsep"].isObject()) {
                        dropSubscriber(key);
                        return;
                    }
                    offerArrived(key, reply["jsep"]);
                });
            });
}

void JanusRoom::offerArrived(uint64_t key, const Json &jsep)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end() || jsep["type"].str() != "offer")
        return;
    GstWebRTCSessionDescription *offer = description(GST_WEBRTC_SDP_TYPE_OFFER, jsep["sdp"].str());
    if (!offer) {
        dropSubscriber(key);
        return;
    }
    GstElement *webrtc = it->second->webrtc;
    g_signal_emit_by_name(webrtc, "set-remote-description", offer, nullptr);
    gst_webrtc_session_description_free(offer);
    GstPromise *promise = promiseFor(new Link{&engine_, this, std::weak_ptr<void>(guard_), key},
                                     [](GstPromise *done, gpointer p) {
                                         auto *link = static_cast<Link *>(p);
                                         const std::string sdp = promisedSdp(done, "answer");
                                         JanusRoom *room = link->room;
                                         const uint64_t linkKey = link->key;
                                         std::weak_ptr<void> guard = link->guard;
                                         link->engine->post([guard, room, linkKey, sdp] {
                                             if (guard.lock())
                                                 room->answerReady(linkKey, sdp);
                                         });
                                         gst_promise_unref(done);
                                     });
    g_signal_emit_by_name(webrtc, "create-answer", nullptr, promise);
}

void JanusRoom::answerReady(uint64_t key, const std::string &answerSdp)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end())
        return;
    if (answerSdp.empty()) {
        dropSubscriber(key); // webrtcbin may fail to answer; the next view tries again
        return;
    }
    // Janus then opens DTLS at once instead of waiting for our hello: the picture comes sooner.
    std::string sdp = answerSdp;
    for (size_t at = sdp.find("a=setup:active"); at != std::string::npos;
         at = sdp.find("a=setup:active", at))
        sdp.replace(at, 14, "a=setup:passive");
    GstWebRTCSessionDescription *answer = description(GST_WEBRTC_SDP_TYPE_ANSWER, sdp);
    if (!answer) {
        dropSubscriber(key);
        return;
    }
    g_signal_emit_by_name(it->second->webrtc, "set-local-description", answer, nullptr);
    gst_webrtc_session_description_free(answer);
    pluginRequest(it->second->handle,
                  Json::object().set("request", "start").set("room", uint64_t(roomId_)), nullptr,
                  Json::object().set("type", "answer").set("sdp", sdp));
}

void JanusRoom::subscriberFirstFrame(uint64_t key, int width, int height)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end() || it->second->first)
        return;
    Subscriber &s = *it->second;
    s.first = true;
    s.width = width;
    s.height = height;
    const std::string user = s.user;
    const TRTCVideoStreamType type = s.screen ? TRTCVideoStreamTypeSub : TRTCVideoStreamTypeBig;
    dispatcher_.emit([user, type, width, height](ITRTCCloudCallback &sink) {
        sink.onFirstVideoFrame(user.c_str(), type, width, height);
        sink.onRemoteVideoStatusUpdated(user.c_str(), type, TRTCAVStatusPlaying,
                                        TRTCAVStatusChangeReasonRemoteStarted, nullptr);
    });
}

void JanusRoom::subscriberSize(uint64_t key, int width, int height)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end() || !it->second->first)
        return;
    Subscriber &s = *it->second;
    if (s.width == width && s.height == height)
        return;
    s.width = width;
    s.height = height;
    const std::string user = s.user;
    const TRTCVideoStreamType type = s.screen ? TRTCVideoStreamTypeSub : TRTCVideoStreamTypeBig;
    dispatcher_.emit([user, type, width, height](ITRTCCloudCallback &sink) {
        sink.onUserVideoSizeChanged(user.c_str(), type, width, height);
    });
}

void JanusRoom::subscriberFirstAudio(uint64_t key)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end() || it->second->first)
        return;
    it->second->first = true;
    const std::string user = it->second->user;
    dispatcher_.emit([user](ITRTCCloudCallback &sink) {
        sink.onFirstAudioFrame(user.c_str());
        sink.onRemoteAudioStatusUpdated(user.c_str(), TRTCAVStatusPlaying,
                                        TRTCAVStatusChangeReasonRemoteStarted, nullptr);
    });
}

void JanusRoom::dropSubscriber(uint64_t key)
{
    auto it = subscribers_.find(key);
    if (it == subscribers_.end())
        return;
    std::unique_ptr<Subscriber> sub = std::move(it->second);
    subscribers_.erase(it);
    if (sub->pipe)
        sub->pipe->stop();
    if (sub->handle && socket_)
        send(Json::object().set("janus", "detach").set("handle_id", sub->handle));
}

void JanusRoom::dropSubscribersOf(uint64_t feedId)
{
    std::vector<uint64_t> drop;
    for (const auto &s : subscribers_) {
        if (s.second->feed == feedId)
            drop.push_back(s.first);
    }
    for (uint64_t key : drop)
        dropSubscriber(key);
}

// ---- audio --------------------------------------------------------------------------------

void JanusRoom::muteRemoteAudio(const std::string &userId, bool mute)
{
    if (mute)
        mutedUsers_.insert(userId);
    else
        mutedUsers_.erase(userId);
    setPlayoutVolume(playoutVolume_);
}

void JanusRoom::muteAllRemoteAudio(bool mute)
{
    allMuted_ = mute;
    setPlayoutVolume(playoutVolume_);
}

void JanusRoom::setPlayoutVolume(int volume)
{
    playoutVolume_ = std::clamp(volume, 0, 100);
    for (auto &s : subscribers_) {
        GstElement *v = s.second->pipe ? s.second->pipe->byName("volume") : nullptr;
        if (!v)
            continue;
        const bool muted = allMuted_ || mutedUsers_.count(s.second->user);
        g_object_set(v, "volume", muted ? 0.0 : playoutVolume_ / 100.0, nullptr);
    }
}

void JanusRoom::setVolumeEvaluation(bool enable, unsigned intervalMs)
{
    volumeEvaluation_ = enable;
    volumeInterval_ = std::max(intervalMs, 10u);
    Engine::removeSource(volumes_);
    for (auto &s : subscribers_) {
        if (GstElement *level = s.second->pipe ? s.second->pipe->byName("level") : nullptr)
            g_object_set(level, "interval", guint64(volumeInterval_) * GST_MSECOND, nullptr);
    }
    if (enable)
        volumes_ = engine_.every(volumeInterval_, [this] {
            volumeTick();
            return true;
        });
}

void JanusRoom::volumeTick()
{
    struct Entry
    {
        std::string user;
        uint32_t volume;
    };
    std::vector<Entry> entries;
    for (const auto &s : subscribers_) {
        if (!s.second->video && s.second->first)
            entries.push_back({s.second->user, s.second->volume});
    }
    if (entries.empty())
        return;
    dispatcher_.emit([entries](ITRTCCloudCallback &sink) {
        std::vector<TRTCVolumeInfo> infos(entries.size());
        uint32_t total = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            infos[i].userId = entries[i].user.c_str();
            infos[i].volume = entries[i].volume;
            total = std::max(total, entries[i].volume);
        }
        sink.onUserVoiceVolume(infos.data(), uint32_t(infos.size()), total);
    });
}

// ---- statistics ---------------------------------------------------------------------------

void JanusRoom::statsTick()
{
    auto ask = [this](GstElement *element, uint64_t key) {
        if (!element)
            return;
        GstPromise *promise = promiseFor(new Link{&engine_, this, std::weak_ptr<void>(guard_), key},
                                         &JanusRoom::statsCreated);
        g_signal_emit_by_name(element, "get-stats", nullptr, promise);
    };
    if (big_ && big_->webrtc)
        ask(big_->webrtc, big_->key);
    if (screen_ && screen_->webrtc)
        ask(screen_->webrtc, screen_->key);
    for (const auto &s : subscribers_)
        ask(s.second->webrtc, s.first);

    // The report of this round carries what the last round measured.
    struct Remote
    {
        std::string user;
        int quality;
    };
    std::vector<Remote> remotes;
    for (const auto &s : subscribers_) {
        bool listed = false;
        for (Remote &r : remotes) {
            if (r.user == s.second->user) {
                r.quality = std::max(r.quality, s.second->quality);
                listed = true;
            }
        }
        if (!listed)
            remotes.push_back({s.second->user, s.second->quality});
    }
    const int own = localQuality_;
    // Frame rates and sizes of what is shown, over the last period.
    struct Shown
    {
        std::string user;
        TRTCVideoStreamType type;
        uint32_t fps, width, height;
    };
    std::vector<Shown> shown;
    for (auto &s : subscribers_) {
        Subscriber &sub = *s.second;
        if (!sub.video)
            continue;
        const uint64_t frames = sub.frames->load(std::memory_order_relaxed);
        shown.push_back({sub.user, sub.screen ? TRTCVideoStreamTypeSub : TRTCVideoStreamTypeBig,
                         uint32_t((frames - sub.framesBefore + 1) / 2), uint32_t(sub.width),
                         uint32_t(sub.height)});
        sub.framesBefore = frames;
    }
    const uint32_t rtt = uint32_t(localRtt_);
    dispatcher_.emit([shown, rtt](ITRTCCloudCallback &sink) {
        std::vector<TRTCRemoteStatistics> remote(shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            remote[i].userId = shown[i].user.c_str();
            remote[i].streamType = shown[i].type;
            remote[i].frameRate = shown[i].fps;
            remote[i].width = shown[i].width;
            remote[i].height = shown[i].height;
        }
        TRTCStatistics stats;
        stats.rtt = rtt;
        stats.remoteStatisticsArray = remote.empty() ? nullptr : remote.data();
        stats.remoteStatisticsArraySize = uint32_t(remote.size());
        sink.onStatistics(stats);
    });
    dispatcher_.emit([own, remotes](ITRTCCloudCallback &sink) {
        TRTCQualityInfo mine;
        mine.userId = "";
        mine.quality = TRTCQuality(own);
        std::vector<TRTCQualityInfo> others(remotes.size());
        for (size_t i = 0; i < remotes.size(); ++i) {
            others[i].userId = remotes[i].user.c_str();
            others[i].quality = TRTCQuality(remotes[i].quality);
        }
        sink.onNetworkQuality(mine, others.empty() ? nullptr : others.data(),
                              uint32_t(others.size()));
    });
}

namespace {
struct StatsSum
{
    double loss = -1;
    double rtt = 0;
    uint64_t received = 0;
    uint64_t lost = 0;
};

gboolean addStats(GQuark, const GValue *value, gpointer data)
{
    auto *sum = static_cast<StatsSum *>(data);
    if (!GST_VALUE_HOLDS_STRUCTURE(value))
        return TRUE;
    const GstStructure *s = gst_value_get_structure(value);
    gint type = 0;
    if (!gst_structure_get_enum(s, "type", GST_TYPE_WEBRTC_STATS_TYPE, &type))
        return TRUE;
    if (type == GST_WEBRTC_STATS_REMOTE_INBOUND_RTP) {
        double v = 0;
        if (gst_structure_get_double(s, "fraction-lost", &v))
            sum->loss = std::max(sum->loss, v);
        if (gst_structure_get_double(s, "round-trip-time", &v))
            sum->rtt = std::max(sum->rtt, v * 1000);
    } else if (type == GST_WEBRTC_STATS_INBOUND_RTP) {
        guint64 r = 0;
        gint64 l = 0;
        if (gst_structure_get_uint64(s, "packets-received", &r))
            sum->received += r;
        if (gst_structure_get_int64(s, "packets-lost", &l) && l > 0)
            sum->lost += uint64_t(l);
    }
    return TRUE;
}
} // namespace

void JanusRoom::statsCreated(GstPromise *promise, gpointer data)
{
    auto *link = static_cast<Link *>(data);
    StatsSum sum;
    if (const GstStructure *reply = gst_promise_get_reply(promise))
        gst_structure_foreach(reply, addStats, &sum);
    JanusRoom *room = link->room;
    const uint64_t key = link->key;
    std::weak_ptr<void> guard = link->guard;
    link->engine->post([guard, room, key, sum] {
        if (guard.lock())
            room->statsArrived(key, sum.loss, sum.rtt, sum.received, sum.lost);
    });
    gst_promise_unref(promise);
}

void JanusRoom::statsArrived(uint64_t key, double loss, double rttMs, uint64_t received,
                             uint64_t lost)
{
    for (Publisher *p : {big_.get(), screen_.get()}) {
        if (p && p->key == key && loss >= 0) {
            adaptBitrate(*p, loss, rttMs);
            if (!p->screen) {
                localQuality_ = qualityOf(loss, rttMs);
                localRtt_ = rttMs;
            }
        }
    }
    auto it = subscribers_.find(key);
    if (it == subscribers_.end())
        return;
    Subscriber &s = *it->second;
    const uint64_t dr = received >= s.received ? received - s.received : 0;
    const uint64_t dl = lost >= s.lost ? lost - s.lost : 0;
    s.received = received;
    s.lost = lost;
    if (dr + dl > 0)
        s.quality = qualityOf(double(dl) / double(dr + dl), 0);
}

} // namespace brvav
