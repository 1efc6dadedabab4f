// A WebSocket client for the media server's signalling: text messages only, one thread of its
// own that connects and reads, sends from any thread. ws:// and wss:// URLs.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

typedef struct _GCancellable GCancellable;
typedef struct _GIOStream GIOStream;

namespace brvav {

class WebSocket
{
public:
    WebSocket() = default;
    ~WebSocket();
    WebSocket(const WebSocket &) = delete;
    WebSocket &operator=(const WebSocket &) = delete;

    /// Called on the socket's thread: onOpen once (true when connected), then onText per
    /// message, then onClosed once when a connected socket ends (not after close()).
    std::function<void(bool ok, const std::string &error)> onOpen;
    std::function<void(std::string text)> onText;
    std::function<void()> onClosed;

    /// Connects in the background. False when the URL cannot be used.
    bool open(const std::string &url, const std::string &protocol, unsigned timeoutMs);
    /// Queues nothing: writes the frame now (bounded by the socket's timeout). False when not
    /// connected or the write failed.
    bool send(const std::string &text);
    /// Ends the connection and joins the thread; no callback runs after it returns. Not from a
    /// callback.
    void close();

    /// Talks over a stream that is already connected, on the calling thread, until it ends: the
    /// handshake, then messages, with the same callbacks. The stream stays the caller's. Not
    /// while open() runs. Reading from memory is how the frame decoder is fuzzed.
    void serve(GIOStream *stream, const std::string &host, unsigned port, const std::string &path,
               const std::string &protocol);

    static bool parseUrl(const std::string &url, bool &tls, std::string &host, unsigned &port,
                         std::string &path);
    /// How many bytes one message may have; longer ones end the connection.
    static constexpr size_t kMaxMessage = 4 * 1024 * 1024;

private:
    void run(std::string url, std::string protocol, unsigned timeoutMs);
    void talk(const std::string &host, unsigned port, const std::string &path,
              const std::string &protocol);
    bool handshake(const std::string &host, unsigned port, const std::string &path,
                   const std::string &protocol, std::string &error);
    bool readExact(void *buffer, size_t size);
    bool writeFrame(int opcode, const std::string &payload);

    std::thread thread_;
    GCancellable *cancel_ = nullptr;
    GIOStream *stream_ = nullptr;
    std::mutex writeMutex_;
    std::atomic<bool> open_{false};
    std::atomic<bool> closing_{false};
};

} // namespace brvav
