#include "FileServer.h"

#include "Message.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brvim {

namespace {
const size_t maxFiles = 256;
const size_t maxRequest = 8192;
const size_t maxClients = 64;

std::string urlSafe(const std::string &s)
{
    std::string out;
    for (unsigned char ch : s) {
        if (isalnum(ch) || ch == '-' || ch == '_' || ch == '.')
            out += char(ch);
        else {
            static const char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}
} // namespace

FileServer::~FileServer()
{
    stop();
}

bool FileServer::start()
{
    if (m_listenFd >= 0)
        return true;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        close(fd);
        return false;
    }
    m_listenFd = fd;
    m_port = ntohs(addr.sin_port);
    m_loop.start();
    m_loop.post([this] { m_loop.watchFd(m_listenFd, POLLIN, [this](short) { onAccept(); }); });
    return true;
}

void FileServer::stop()
{
    m_loop.stop();
    for (auto &c : m_clients)
        close(c.first);
    m_clients.clear();
    if (m_listenFd >= 0)
        close(m_listenFd);
    m_listenFd = -1;
}

std::string FileServer::publish(const std::string &name, const std::string &contentType,
                                const std::string &body)
{
    // An unguessable folder: other local users cannot list a class's history.
    const std::string path = "/im/" + newMessageId().substr(4) + "/" + urlSafe(name);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files[path] = {contentType, body};
    m_order.push_back(path);
    while (m_order.size() > maxFiles) {
        m_files.erase(m_order.front());
        m_order.pop_front();
    }
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void FileServer::onAccept()
{
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (m_clients.size() >= maxClients) {
            close(fd);
            continue;
        }
        Client c;
        c.serial = ++m_serial;
        m_clients[fd] = c;
        m_loop.watchFd(fd, POLLIN, [this, fd](short revents) { onClient(fd, revents); });
        // A client that never finishes its request is dropped.
        m_loop.addTimer(10000, [this, fd, serial = c.serial] {
            auto it = m_clients.find(fd);
            if (it != m_clients.end() && it->second.serial == serial)
                dropClient(fd);
        });
    }
}

void FileServer::dropClient(int fd)
{
    m_loop.unwatchFd(fd);
    m_clients.erase(fd);
    close(fd);
}

void FileServer::onClient(int fd, short revents)
{
    auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    Client &c = it->second;
    if (c.out.empty()) {
        char buf[2048];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            dropClient(fd);
            return;
        }
        c.in.append(buf, size_t(n));
        if (c.in.find("\r\n\r\n") == std::string::npos) {
            if (c.in.size() > maxRequest)
                dropClient(fd);
            return;
        }
        respond(c);
        m_loop.watchFd(fd, POLLOUT, [this, fd](short r) { onClient(fd, r); });
        return;
    }
    if (revents & (POLLERR | POLLHUP)) {
        dropClient(fd);
        return;
    }
    const ssize_t n = ::send(fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
    if (n < 0) {
        dropClient(fd);
        return;
    }
    c.sent += size_t(n);
    if (c.sent >= c.out.size())
        dropClient(fd);
}

void FileServer::respond(Client &c)
{
    const size_t lineEnd = c.in.find("\r\n");
    const std::string line = c.in.substr(0, lineEnd);
    std::string status = "404 Not Found", type = "text/plain", body = "not found\n";
    bool head = false;
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    const std::string method = line.substr(0, sp1);
    if (sp2 == std::string::npos || (method != "GET" && method != "HEAD" && method != "OPTIONS")) {
        status = "400 Bad Request";
        body = "bad request\n";
    } else {
        head = method == "HEAD";
        std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
        const size_t q = target.find('?');
        if (q != std::string::npos)
            target.resize(q);
        if (method == "OPTIONS") {
            status = "204 No Content";
            body.clear();
        } else {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto f = m_files.find(target);
            if (f != m_files.end()) {
                status = "200 OK";
                type = f->second.first;
                body = f->second.second;
            }
        }
    }
    c.out = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
            "\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nAccess-Control-Allow-Origin: *\r\nAccess-Control-Allow-Methods: GET, HEAD"
            "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (!head)
        c.out += body;
}

} // namespace brvim
