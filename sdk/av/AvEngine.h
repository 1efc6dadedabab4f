// The SDK's two threads: the engine thread runs a private GLib main context for pipeline
// messages and timers, and the callback thread delivers events to the registered sinks.
#pragma once

#include "brv_av.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GSource GSource;

namespace brvav {

class Engine
{
public:
    Engine();
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    GMainContext *context() const { return context_; }
    bool onEngineThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    /// Runs fn on the engine thread and waits for it (runs it at once when already there).
    void run(const std::function<void()> &fn);
    /// Queues fn on the engine thread.
    void post(std::function<void()> fn);
    /// Calls fn on the engine thread every intervalMs until it returns false or the source is
    /// removed. Returns the source; the caller owns one reference.
    GSource *every(unsigned intervalMs, std::function<bool()> fn);
    static void removeSource(GSource *&source);

private:
    GMainContext *context_ = nullptr;
    GMainLoop *loop_ = nullptr;
    std::thread thread_;
};

/// Delivers events to the sinks on a thread of its own, never the caller's.
class Dispatcher
{
public:
    using Event = std::function<void(liteav::ITRTCCloudCallback &)>;

    Dispatcher();
    ~Dispatcher();
    Dispatcher(const Dispatcher &) = delete;
    Dispatcher &operator=(const Dispatcher &) = delete;

    void add(liteav::ITRTCCloudCallback *sink);
    /// Once this returns no event runs in the sink or will.
    void remove(liteav::ITRTCCloudCallback *sink);
    void emit(Event event);
    /// Stops delivering: a running event finishes, queued and later ones are dropped. Not from
    /// inside an event.
    void shutdown();
    /// Waits until every event queued so far has been delivered.
    void drain();

private:
    void loop();

    std::mutex queueMutex_;
    std::condition_variable queueCond_;
    std::deque<Event> queue_;
    bool stopping_ = false;
    bool busy_ = false;
    // Held while a sink runs, so remove() waits for it; recursive so that a sink may remove
    // itself or another sink from inside an event.
    std::recursive_mutex deliverMutex_;
    std::vector<liteav::ITRTCCloudCallback *> sinks_;
    std::thread thread_;
};

} // namespace brvav
