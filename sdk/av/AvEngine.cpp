#include "AvEngine.h"

#include <glib.h>

#include <algorithm>
#include <future>

namespace brvav {

namespace {

struct Call
{
    std::function<bool()> fn;
};

gboolean runCall(gpointer data)
{
    return static_cast<Call *>(data)->fn() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void freeCall(gpointer data)
{
    delete static_cast<Call *>(data);
}

} // namespace

Engine::Engine()
{
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    std::promise<void> started;
    thread_ = std::thread([this, &started] {
        g_main_context_push_thread_default(context_);
        GSource *idle = g_idle_source_new();
        g_source_set_callback(
            idle,
            [](gpointer p) -> gboolean {
                static_cast<std::promise<void> *>(p)->set_value();
                return G_SOURCE_REMOVE;
            },
            &started, nullptr);
        g_source_attach(idle, context_);
        g_source_unref(idle);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
    started.get_future().wait();
}

Engine::~Engine()
{
    post([this] { g_main_loop_quit(loop_); });
    thread_.join();
    // Sources still attached (none once every pipeline is gone) are freed with the context.
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
}

void Engine::post(std::function<void()> fn)
{
    GSource *idle = g_idle_source_new();
    g_source_set_priority(idle, G_PRIORITY_DEFAULT);
    g_source_set_callback(idle, runCall, new Call{[fn = std::move(fn)] {
                              fn();
                              return false;
                          }},
                          freeCall);
    g_source_attach(idle, context_);
    g_source_unref(idle);
}

void Engine::run(const std::function<void()> &fn)
{
    if (onEngineThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    post([&] {
        fn();
        done.set_value();
    });
    done.get_future().wait();
}

GSource *Engine::every(unsigned intervalMs, std::function<bool()> fn)
{
    GSource *timer = g_timeout_source_new(intervalMs);
    g_source_set_callback(timer, runCall, new Call{std::move(fn)}, freeCall);
    g_source_attach(timer, context_);
    return timer;
}

void Engine::removeSource(GSource *&source)
{
    if (!source)
        return;
    g_source_destroy(source);
    g_source_unref(source);
    source = nullptr;
}

Dispatcher::Dispatcher() : thread_([this] { loop(); }) {}

Dispatcher::~Dispatcher()
{
    shutdown();
}

void Dispatcher::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stopping_ = true;
        queue_.clear();
    }
    queueCond_.notify_all();
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id())
        thread_.join();
}

void Dispatcher::add(liteav::ITRTCCloudCallback *sink)
{
    if (!sink)
        return;
    std::lock_guard<std::recursive_mutex> lock(deliverMutex_);
    if (std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end())
        sinks_.push_back(sink);
}

void Dispatcher::remove(liteav::ITRTCCloudCallback *sink)
{
    std::lock_guard<std::recursive_mutex> lock(deliverMutex_);
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void Dispatcher::emit(Event event)
{
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (stopping_)
            return;
        queue_.push_back(std::move(event));
    }
    queueCond_.notify_all();
}

void Dispatcher::drain()
{
    if (std::this_thread::get_id() == thread_.get_id())
        return;
    std::unique_lock<std::mutex> lock(queueMutex_);
    queueCond_.wait(lock, [this] { return (queue_.empty() && !busy_) || stopping_; });
}

void Dispatcher::loop()
{
    for (;;) {
        Event event;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            busy_ = false;
            queueCond_.notify_all();
            queueCond_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (stopping_)
                return;
            event = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        std::lock_guard<std::recursive_mutex> lock(deliverMutex_);
        // A sink may remove sinks while it runs: walk a copy, skip the removed ones.
        const std::vector<liteav::ITRTCCloudCallback *> sinks = sinks_;
        for (liteav::ITRTCCloudCallback *sink : sinks) {
            if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end())
                event(*sink);
        }
    }
}

} // namespace brvav
