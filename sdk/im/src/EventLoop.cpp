#include "EventLoop.h"

#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace brvim {

EventLoop::EventLoop() : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

EventLoop::~EventLoop()
{
    stop();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

void EventLoop::start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable())
        return;
    m_accepting = true;
    m_quit = false;
    m_thread = std::thread([this] { run(); });
    m_threadId = m_thread.get_id();
}

void EventLoop::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_accepting = false;
        m_quit = true;
    }
    wake();
    m_thread.join();
    m_threadId = std::thread::id();
    m_timers.clear();
    m_watches.clear();
    m_tasks.clear();
}

bool EventLoop::post(Task task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_accepting)
            return false;
        m_tasks.push_back(std::move(task));
    }
    wake();
    return true;
}

void EventLoop::wake()
{
    const uint64_t one = 1;
    // A full counter still wakes the loop; nothing to do on failure.
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
}

uint64_t EventLoop::addTimer(int ms, Task task)
{
    const uint64_t id = m_nextTimer++;
    m_timers.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms),
                     Timer{id, std::move(task)});
    return id;
}

void EventLoop::cancelTimer(uint64_t id)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.id == id) {
            m_timers.erase(it);
            return;
        }
    }
}

void EventLoop::watchFd(int fd, short events, FdHandler handler)
{
    m_watches[fd] = Watch{events, std::move(handler)};
}

void EventLoop::unwatchFd(int fd)
{
    m_watches.erase(fd);
}

void EventLoop::run()
{
    // A peer that closes its socket must not kill the host process through SIGPIPE.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    std::vector<pollfd> fds;
    for (;;) {
        std::deque<Task> tasks;
        bool quit;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            tasks.swap(m_tasks);
            quit = m_quit;
        }
        for (Task &t : tasks)
            t();
        if (quit) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_tasks.empty())
                return;
            continue;
        }

        const auto now = std::chrono::steady_clock::now();
        while (!m_timers.empty() && m_timers.begin()->first <= now) {
            Task t = std::move(m_timers.begin()->second.task);
            m_timers.erase(m_timers.begin());
            t();
        }

        int timeout = -1;
        if (!m_timers.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                m_timers.begin()->first - std::chrono::steady_clock::now());
            timeout = wait.count() < 0 ? 0 : int(wait.count()) + 1;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_tasks.empty() || m_quit)
                timeout = 0;
        }

        fds.clear();
        fds.push_back(pollfd{m_wakeFd, POLLIN, 0});
        for (const auto &w : m_watches)
            fds.push_back(pollfd{w.first, w.second.events, 0});
        const int n = poll(fds.data(), fds.size(), timeout);
        if (n <= 0)
            continue;
        if (fds[0].revents) {
            uint64_t count;
            [[maybe_unused]] ssize_t r = read(m_wakeFd, &count, sizeof count);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            // A handler may unwatch this or other descriptors: look each one up again.
            auto it = m_watches.find(fds[i].fd);
            if (it == m_watches.end())
                continue;
            FdHandler h = it->second.handler;
            h(fds[i].revents);
        }
    }
}

} // namespace brvim
