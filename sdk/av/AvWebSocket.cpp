#include "AvWebSocket.h"

#include <gio/gio.h>

#include <cstring>
#include <vector>

namespace brvav {

namespace {
constexpr const char *kGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

std::string base64(const guchar *data, size_t size)
{
    gchar *text = g_base64_encode(data, size);
    std::string out = text;
    g_free(text);
    return out;
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(g_ascii_tolower(c));
    return s;
}
} // namespace

WebSocket::~WebSocket()
{
    close();
}

bool WebSocket::parseUrl(const std::string &url, bool &tls, std::string &host, unsigned &port,
                         std::string &path)
{
    std::string rest;
    if (url.rfind("ws://", 0) == 0) {
        tls = false;
        rest = url.substr(5);
    } else if (url.rfind("wss://", 0) == 0) {
        tls = true;
        rest = url.substr(6);
    } else {
        return false;
    }
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    path = slash == std::string::npos ? "/" : rest.substr(slash);
    port = tls ? 443 : 80;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return false;
        host = authority.substr(1, close - 1);
        authority = authority.substr(close + 1);
        if (!authority.empty() && authority[0] != ':')
            return false;
    } else {
        const size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        authority = colon == std::string::npos ? std::string() : authority.substr(colon);
    }
    if (!authority.empty()) {
        char *end = nullptr;
        const unsigned long p = std::strtoul(authority.c_str() + 1, &end, 10);
        if (!end || *end || p == 0 || p > 65535)
            return false;
        port = unsigned(p);
    }
    return !host.empty();
}

bool WebSocket::open(const std::string &url, const std::string &protocol, unsigned timeoutMs)
{
    bool tls = false;
    std::string host;
    unsigned port = 0;
    std::string path;
    if (thread_.joinable() || !parseUrl(url, tls, host, port, path))
        return false;
    cancel_ = g_cancellable_new();
    closing_ = false;
    thread_ = std::thread([this, url, protocol, timeoutMs] { run(url, protocol, timeoutMs); });
    return true;
}

void WebSocket::close()
{
    if (!thread_.joinable())
        return;
    closing_ = true;
    if (open_) {
        std::lock_guard<std::mutex> lock(writeMutex_);
        // A polite close; the reader ends at the cancellation below either way.
        writeFrame(8, std::string());
    }
    g_cancellable_cancel(cancel_);
    thread_.join();
    open_ = false;
    if (stream_) {
        g_io_stream_close(stream_, nullptr, nullptr);
        g_object_unref(stream_);
        stream_ = nullptr;
    }
    g_clear_object(&cancel_);
}

void WebSocket::run(std::string url, std::string protocol, unsigned timeoutMs)
{
    bool tls = false;
    std::string host;
    unsigned port = 0;
    std::string path;
    parseUrl(url, tls, host, port, path);

    GSocketClient *client = g_socket_client_new();
    g_socket_client_set_timeout(client, std::max(1u, timeoutMs / 1000));
    g_socket_client_set_tls(client, tls);
    GError *error = nullptr;
    GSocketConnection *connection =
        g_socket_client_connect_to_host(client, host.c_str(), guint16(port), cancel_, &error);
    g_object_unref(client);
    if (!connection) {
        const std::string reason = error ? error->message : "connect failed";
        g_clear_error(&error);
        if (onOpen && !closing_)
            onOpen(false, reason);
        return;
    }
    // The connect timeout stays on the socket; reads must not have one: a quiet server is not
    // a dead one. The room notices a dead one by its unanswered requests.
    g_socket_set_timeout(g_socket_connection_get_socket(connection), 0);
    stream_ = G_IO_STREAM(connection);
    talk(host, port, path, protocol);
}

void WebSocket::serve(GIOStream *stream, const std::string &host, unsigned port,
                      const std::string &path, const std::string &protocol)
{
    if (thread_.joinable() || stream_ || !stream)
        return;
    stream_ = stream;
    talk(host, port, path, protocol);
    stream_ = nullptr;
}

void WebSocket::talk(const std::string &host, unsigned port, const std::string &path,
                     const std::string &protocol)
{
    std::string reason;
    if (!handshake(host, port, path, protocol, reason)) {
        if (onOpen && !closing_)
            onOpen(false, reason);
        return;
    }
    open_ = true;
    if (onOpen && !closing_)
        onOpen(true, {});

    std::string message;
    bool fragmented = false;
    for (;;) {
        unsigned char head[2];
        if (!readExact(head, 2))
            break;
        const bool fin = head[0] & 0x80;
        const int opcode = head[0] & 0x0F;
        const bool masked = head[1] & 0x80;
        uint64_t length = head[1] & 0x7F;
        if (length == 126) {
            unsigned char ext[2];
            if (!readExact(ext, 2))
                break;
            length = (uint64_t(ext[0]) << 8) | ext[1];
        } else if (length == 127) {
            unsigned char ext[8];
            if (!readExact(ext, 8))
                break;
            length = 0;
            for (unsigned char b : ext)
                length = (length << 8) | b;
        }
        // Control frames are short and never fragmented; anything else is a broken peer, and a
        // long ping would have us echo megabytes.
        if ((opcode & 0x8) && (length > 125 || !fin))
            break;
        unsigned char mask[4] = {0, 0, 0, 0};
        if (masked && !readExact(mask, 4))
            break;
        if (length > kMaxMessage || message.size() + length > kMaxMessage)
            break;
        std::string payload(size_t(length), '\0');
        if (length && !readExact(&payload[0], size_t(length)))
            break;
        if (masked) {
            for (size_t i = 0; i < payload.size(); ++i)
                payload[i] = char(payload[i] ^ mask[i % 4]);
        }
        if (opcode == 8) {
            // The closing handshake: answer with the peer's status code, then end.
            std::lock_guard<std::mutex> lock(writeMutex_);
            writeFrame(8, payload.substr(0, 2));
            break;
        }
        if (opcode == 9) {
            std::lock_guard<std::mutex> lock(writeMutex_);
            writeFrame(10, payload);
            continue;
        }
        if (opcode == 10)
            continue;
        if (opcode == 1 || opcode == 2) {
            if (fragmented)
                break; // a new message inside a fragmented one
            message = std::move(payload);
            fragmented = !fin;
        } else if (opcode == 0) {
            if (!fragmented)
                break;
            message += payload;
            fragmented = !fin;
        } else {
            break; // reserved opcodes
        }
        if (!fragmented && onText && !closing_)
            onText(std::move(message));
        if (!fragmented)
            message.clear();
    }
    open_ = false;
    if (onClosed && !closing_)
        onClosed();
}

bool WebSocket::readExact(void *buffer, size_t size)
{
    gsize got = 0;
    return g_input_stream_read_all(g_io_stream_get_input_stream(stream_), buffer, size, &got,
                                   cancel_, nullptr) &&
           got == size;
}

bool WebSocket::handshake(const std::string &host, unsigned port, const std::string &path,
                          const std::string &protocol, std::string &error)
{
    guchar nonce[16];
    for (guchar &b : nonce)
        b = guchar(g_random_int_range(0, 256));
    const std::string key = base64(nonce, sizeof nonce);
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + host + ":" +
                          std::to_string(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: " +
                          key + "\r\nSec-WebSocket-Version: 13\r\n";
    if (!protocol.empty())
        request += "Sec-WebSocket-Protocol: " + protocol + "\r\n";
    request += "\r\n";
    gsize written = 0;
    if (!g_output_stream_write_all(g_io_stream_get_output_stream(stream_), request.data(),
                                   request.size(), &written, cancel_, nullptr)) {
        error = "handshake write failed";
        return false;
    }
    // The answer's head, byte by byte so that no frame after it is swallowed; bounded.
    std::string head;
    while (head.size() < 16384 &&
           (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0)) {
        char c = 0;
        if (!readExact(&c, 1)) {
            error = "connection closed during the handshake";
            return false;
        }
        head += c;
    }
    if (head.rfind("HTTP/1.1 101", 0) != 0) {
        error = "handshake refused: " + head.substr(0, head.find('\r'));
        return false;
    }
    GChecksum *sha = g_checksum_new(G_CHECKSUM_SHA1);
    const std::string accept = key + kGuid;
    g_checksum_update(sha, reinterpret_cast<const guchar *>(accept.data()), gssize(accept.size()));
    guint8 digest[20];
    gsize digestSize = sizeof digest;
    g_checksum_get_digest(sha, digest, &digestSize);
    g_checksum_free(sha);
    const std::string expected = base64(digest, digestSize);
    const std::string lowered = lower(head);
    const size_t at = lowered.find("\r\nsec-websocket-accept:");
    if (at == std::string::npos) {
        error = "handshake without an accept key";
        return false;
    }
    size_t start = at + std::strlen("\r\nsec-websocket-accept:");
    while (start < head.size() && head[start] == ' ')
        ++start;
    const size_t end = head.find("\r\n", start);
    if (head.substr(start, end - start) != expected) {
        error = "handshake with a wrong accept key";
        return false;
    }
    return true;
}

bool WebSocket::writeFrame(int opcode, const std::string &payload)
{
    if (!stream_)
        return false;
    std::vector<unsigned char> frame;
    frame.reserve(payload.size() + 14);
    frame.push_back(static_cast<unsigned char>(0x80 | opcode));
    const uint64_t n = payload.size();
    if (n < 126) {
        frame.push_back(static_cast<unsigned char>(0x80 | n));
    } else if (n < 65536) {
        frame.push_back(0x80 | 126);
        frame.push_back(static_cast<unsigned char>(n >> 8));
        frame.push_back(static_cast<unsigned char>(n & 0xFF));
    } else {
        frame.push_back(0x80 | 127);
        for (int i = 7; i >= 0; --i)
            frame.push_back(static_cast<unsigned char>((n >> (8 * i)) & 0xFF));
    }
    unsigned char mask[4];
    for (unsigned char &b : mask)
        b = static_cast<unsigned char>(g_random_int_range(0, 256));
    frame.insert(frame.end(), mask, mask + 4);
    for (size_t i = 0; i < payload.size(); ++i)
        frame.push_back(static_cast<unsigned char>(payload[i] ^ mask[i % 4]));
    gsize written = 0;
    return g_output_stream_write_all(g_io_stream_get_output_stream(stream_), frame.data(),
                                     frame.size(), &written, nullptr, nullptr) &&
           written == frame.size();
}

bool WebSocket::send(const std::string &text)
{
    if (!open_)
        return false;
    std::lock_guard<std::mutex> lock(writeMutex_);
    return writeFrame(1, text);
}

} // namespace brvav
