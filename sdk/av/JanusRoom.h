// The room on a Janus VideoRoom server (an SFU): signalling over Janus' WebSocket API, media over
// webrtcbin. The camera and microphone go out on one publisher handle (the big stream), the
// screen on a second one (the sub stream, marked "screen"); each remote stream that is played
// has a subscriber handle of its own. Everything here runs on the engine thread; what GStreamer
// threads and the socket's thread report is posted there and checked against what still lives.
#pragma once

#include "AvEngine.h"
#include "AvJson.h"
#include "AvPipeline.h"
#include "AvRoom.h"
#include "AvVideo.h"
#include "AvWebSocket.h"

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

typedef struct _GstPromise GstPromise;

namespace brvav {

class JanusRoom : public RoomBackend
{
public:
    JanusRoom(Engine &engine, Dispatcher &dispatcher, RoomHost &host, MediaTaps &taps,
              std::string url);
    ~JanusRoom() override;

    int enter(const liteav::TRTCParams &params, liteav::TRTCAppScene scene) override;
    void exit() override;
    void localMediaChanged(bool camera, bool microphone, bool screen) override;
    void startRemoteView(const std::string &userId, liteav::TRTCVideoStreamType type,
                         liteav::TXView view) override;
    void stopRemoteView(const std::string &userId, liteav::TRTCVideoStreamType type) override;
    void stopAllRemoteView() override;
    void setEncoder(const liteav::TRTCVideoEncParam &camera,
                    const liteav::TRTCVideoEncParam &screen) override;
    void muteRemoteAudio(const std::string &userId, bool mute) override;
    void muteAllRemoteAudio(bool mute) override;
    void setPlayoutVolume(int volume) override;
    void setVolumeEvaluation(bool enable, unsigned intervalMs) override;

    /// The Janus token carried by a user signature: a JWT whose payload has a "janus" claim.
    static std::string tokenFromSignature(const std::string &userSig);
    /// Host part of a ws:// or wss:// URL is a loopback address.
    static bool isLoopbackUrl(const std::string &url);

private:
    struct Guard
    {};
    enum class State { Idle, Connecting, Joining, InRoom, Reconnecting };
    struct Feed
    {
        uint64_t id = 0;
        std::string user;
        bool screen = false;
        std::string videoMid;
        std::string audioMid;
        bool seen = true; // still listed after a reconnection
    };
    struct UserState
    {
        bool video = false;
        bool sub = false;
        bool audio = false;
    };
    struct Publisher;
    struct Subscriber;
    using Reply = std::function<void(const Json &)>;
    struct Pending
    {
        Reply reply;
        std::chrono::steady_clock::time_point deadline;
    };

    // Signalling
    void connect();
    void socketOpened(bool ok, const std::string &error);
    void socketText(const std::string &text);
    void socketClosed();
    void send(Json message);
    void request(Json message, Reply reply);
    void pluginRequest(uint64_t handle, Json body, Reply reply, Json jsep = {});
    void checkTimeouts();
    void handleEvent(const Json &message);
    void roomEvent(const Json &data);
    void joinedRoom(const Json &data);
    void failEnter(int code, const std::string &why);
    void connectionLost();
    void teardownSession(bool polite);
    int errorCode(const Json &reply) const;

    // Remote users
    void addFeed(uint64_t id, const std::string &display);
    void publisherListed(const Json &publisher);
    void feedUnpublished(uint64_t id);
    void feedLeft(uint64_t id, int reason);
    void updateUser(const std::string &user, int leaveReason = -1);
    Feed *feedOf(const std::string &user, bool screen);
    void refreshSubscriptions(const std::string &user);

    // Publishing
    void republish();
    void publish(Publisher &pub);
    void unpublish(Publisher &pub, bool tellServer);
    void startScreenHandle();
    void offerReady(Publisher *pub, uint64_t serial, const std::string &sdp);
    void adaptBitrate(Publisher &pub, double loss, double rttMs);

    // Subscribing
    void subscribe(Feed &feed, bool video, liteav::TXView view);
    void dropSubscriber(uint64_t key);
    void dropSubscribersOf(uint64_t feedId);
    void offerArrived(uint64_t key, const Json &jsep);
    void answerReady(uint64_t key, const std::string &sdp);
    void subscriberFirstFrame(uint64_t key, int width, int height);
    void subscriberSize(uint64_t key, int width, int height);
    void subscriberFirstAudio(uint64_t key);

    // Statistics
    void statsTick();
    void statsArrived(uint64_t key, double loss, double rttMs, uint64_t received, uint64_t lost);
    void volumeTick();

    // webrtcbin plumbing shared by publishers and subscribers
    GstElement *prepareWebrtc(GstElement *element, uint64_t linkKey, bool publisher);
    // Called on GStreamer threads with a Link; they post to the engine.
    static void iceCandidate(GstElement *element, guint mline, gchar *candidate, gpointer data);
    static void negotiationNeeded(GstElement *element, gpointer data);
    static void statsCreated(GstPromise *promise, gpointer data);

    Engine &engine_;
    Dispatcher &dispatcher_;
    RoomHost &host_;
    MediaTaps &taps_;
    const std::string url_;
    const bool loopback_;
    std::shared_ptr<Guard> guard_ = std::make_shared<Guard>();
    std::thread warmUp_;

    std::unique_ptr<WebSocket> socket_;
    unsigned generation_ = 0; // one per connection; late posts of an old one are dropped
    State state_ = State::Idle;
    bool everEntered_ = false;
    uint64_t session_ = 0;
    uint64_t mainHandle_ = 0;
    uint64_t privateId_ = 0;
    uint64_t ownFeed_ = 0;
    std::map<std::string, Pending> pending_;
    uint64_t nextTransaction_ = 1;
    GSource *keepAlive_ = nullptr;
    GSource *timeouts_ = nullptr;
    GSource *retry_ = nullptr;
    std::chrono::steady_clock::time_point attemptStarted_;
    GSource *stats_ = nullptr;
    GSource *volumes_ = nullptr;

    std::string userId_;
    uint32_t roomId_ = 0;
    std::string token_;
    std::string pin_;

    std::map<uint64_t, Feed> feeds_;
    std::map<std::string, UserState> users_;
    std::map<std::pair<std::string, int>, liteav::TXView> views_;

    std::unique_ptr<Publisher> big_;
    std::unique_ptr<Publisher> screen_;
    bool wantCamera_ = false;
    bool wantMic_ = false;
    bool wantScreen_ = false;
    liteav::TRTCVideoEncParam cameraEncoder_;
    liteav::TRTCVideoEncParam screenEncoder_;

    std::map<uint64_t, std::unique_ptr<Subscriber>> subscribers_;
    uint64_t nextKey_ = 1;
    std::set<std::string> mutedUsers_;
    bool allMuted_ = false;
    int playoutVolume_ = 100;
    int localQuality_ = 0;
    double localRtt_ = 0;
    bool volumeEvaluation_ = false;
    unsigned volumeInterval_ = 300;
};

} // namespace brvav
