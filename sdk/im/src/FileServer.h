#pragma once

#include "EventLoop.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace brvim {

// A loopback HTTP server for the files the built-in "admin" account hands out. Files live in
// memory; the newest few hundred are kept. Any origin may read them (pages of the client's own
// scheme fetch them across origins).
class FileServer
{
public:
    FileServer() = default;
    ~FileServer();

    // Starts on a free loopback port; false when no socket could be opened.
    bool start();
    void stop();
    // Publishes a file and returns its URL; the name is part of the URL as given.
    std::string publish(const std::string &name, const std::string &contentType,
                        const std::string &body);
    int port() const { return m_port; }

private:
    struct Client
    {
        std::string in;
        std::string out;
        size_t sent = 0;
        uint64_t serial = 0;
    };
    void onAccept();
    void onClient(int fd, short revents);
    void respond(Client &c);
    void dropClient(int fd);

    EventLoop m_loop;
    int m_listenFd = -1;
    int m_port = 0;
    uint64_t m_serial = 0;
    std::map<int, Client> m_clients;
    std::mutex m_mutex;
    std::map<std::string, std::pair<std::string, std::string>> m_files; // path -> type, body
    std::deque<std::string> m_order;
};

} // namespace brvim
