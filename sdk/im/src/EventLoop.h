#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace brvim {

// One thread that runs posted tasks, timers and file-descriptor watches, woken through an
// eventfd. Everything the SDK does happens on such a thread, so the back ends need no locks.
class EventLoop
{
public:
    using Task = std::function<void()>;
    using FdHandler = std::function<void(short revents)>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop &) = delete;
    EventLoop &operator=(const EventLoop &) = delete;

    void start();
    // Runs what was posted before, then ends the thread and waits for it. Not from the loop.
    void stop();
    // Thread-safe; false once the loop has stopped (the task is dropped).
    bool post(Task task);
    bool inLoopThread() const { return std::this_thread::get_id() == m_threadId; }

    // Loop thread only.
    uint64_t addTimer(int ms, Task task);
    void cancelTimer(uint64_t id);
    void watchFd(int fd, short events, FdHandler handler);
    void unwatchFd(int fd);

private:
    void run();
    void wake();

    int m_wakeFd = -1;
    std::thread m_thread;
    std::thread::id m_threadId;
    std::mutex m_mutex;
    std::deque<Task> m_tasks;
    bool m_accepting = false;
    bool m_quit = false;

    struct Timer
    {
        uint64_t id;
        Task task;
    };
    std::multimap<std::chrono::steady_clock::time_point, Timer> m_timers;
    uint64_t m_nextTimer = 1;
    struct Watch
    {
        short events;
        FdHandler handler;
    };
    std::map<int, Watch> m_watches;
};

} // namespace brvim
