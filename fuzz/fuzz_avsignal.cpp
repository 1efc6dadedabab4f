// What the media server sends is outside input: the bytes of its WebSocket answer and frames,
// and the JSON of each message. The first byte picks the path: the rest parsed as one message (and
// as a server URL), the rest as the whole answer to the handshake, or a correct handshake answer
// followed by the rest as frames. Every message that comes out is parsed, read through every
// accessor and written back; what is written must read back to the same text.
#include "AvJson.h"
#include "AvWebSocket.h"

#include <gio/gio.h>

#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
using brvav::Json;

constexpr guint32 kSeed = 20261209;
constexpr const char *kGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void visit(const Json &v, int depth)
{
    (void)v.str("x");
    (void)v.num(1.5);
    (void)v.id(7);
    (void)v.boolean(true);
    (void)v.isNull();
    check(v.at(v.size()).isNull());
    check(!v["\x01missing"].isObject() && !v.has("\x01missing"));
    if (v.isArray()) {
        check(v.size() == v.items().size());
        for (size_t i = 0; i < v.size(); ++i)
            visit(v.at(i), depth + 1);
    }
    // The keys Janus messages are read by, whatever type they hold here.
    static const char *const keys[] = {"janus", "transaction", "session_id", "sender", "plugindata",
                                       "data",  "videoroom",   "publishers", "jsep",   "sdp",
                                       "type",  "error_code",  "id",         ""};
    for (const char *key : keys) {
        if (v.has(key))
            visit(v[key], depth + 1);
        else
            check(v[key].isNull());
    }
    const uint64_t id = v.id(0);
    check(id <= (uint64_t(1) << 53));
    check(!id || double(id) == v.num());
}

void roundTrip(const std::string &text)
{
    bool ok = false;
    const Json value = Json::parse(text, &ok);
    if (!ok) {
        check(value.isNull());
        return;
    }
    visit(value, 0);
    const std::string once = value.dump();
    bool again = false;
    const Json back = Json::parse(once, &again);
    check(again && back.type() == value.type() && back.size() == value.size());
    check(back.dump() == once);
    // A copy that is modified must not change the original.
    Json copy = value;
    copy.set("janus", "keepalive").push(Json(1));
    check(value.dump() == once);
}

std::string acceptKey()
{
    // The client's nonce comes from GLib's global generator, which LLVMFuzzerTestOneInput seeds.
    GRand *rand = g_rand_new_with_seed(kSeed);
    guchar nonce[16];
    for (guchar &b : nonce)
        b = guchar(g_rand_int_range(rand, 0, 256));
    g_rand_free(rand);
    gchar *key = g_base64_encode(nonce, sizeof nonce);
    const std::string accept = std::string(key) + kGuid;
    g_free(key);
    GChecksum *sha = g_checksum_new(G_CHECKSUM_SHA1);
    g_checksum_update(sha, reinterpret_cast<const guchar *>(accept.data()), gssize(accept.size()));
    guint8 digest[20];
    gsize size = sizeof digest;
    g_checksum_get_digest(sha, digest, &size);
    g_checksum_free(sha);
    gchar *text = g_base64_encode(digest, size);
    std::string out = text;
    g_free(text);
    return out;
}

void overSocket(const std::string &answer)
{
    GInputStream *in = g_memory_input_stream_new_from_data(g_memdup2(answer.data(), answer.size()),
                                                           gssize(answer.size()), g_free);
    GOutputStream *out = g_memory_output_stream_new_resizable();
    GIOStream *stream = g_simple_io_stream_new(in, out);
    int opens = 0;
    brvav::WebSocket socket;
    socket.onOpen = [&opens](bool, const std::string &) {
        ++opens;
    };
    socket.onText = [](std::string text) {
        check(text.size() <= brvav::WebSocket::kMaxMessage);
        roundTrip(text);
    };
    g_random_set_seed(kSeed);
    socket.serve(stream, "127.0.0.1", 8188, "/", "janus-protocol");
    check(opens == 1);
    // What the client wrote starts with its own request, whatever the server said.
    const auto *written =
        static_cast<const char *>(g_memory_output_stream_get_data(G_MEMORY_OUTPUT_STREAM(out)));
    const gsize writtenSize = g_memory_output_stream_get_data_size(G_MEMORY_OUTPUT_STREAM(out));
    check(writtenSize > 4 && std::string(written, 4) == "GET ");
    g_object_unref(stream);
    g_object_unref(out);
    g_object_unref(in);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The client runs in the user's locale; where one with a decimal comma is installed, numbers
    // must still be read and written with a point. (Loading one leaves glibc allocations behind:
    // run with detect_leaks=0, as CTest does.)
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "");

    // Beyond what short inputs show: a repeated key reads as its last value, as in browsers, and
    // a message of a few hundred thousand members (a server may send megabytes) parses in linear
    // time instead of tying up the engine thread.
    bool ok = false;
    const Json twice = Json::parse(R"({"janus":"ack","janus":"event"})", &ok);
    check(ok && twice["janus"].str() == "event" && twice.has("janus"));
    std::string many = "{";
    for (int i = 0; i < 300000; ++i)
        many += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
    many += "}";
    const auto started = std::chrono::steady_clock::now();
    const Json wide = Json::parse(many, &ok);
    const auto took = std::chrono::steady_clock::now() - started;
    check(ok && wide.size() == 300000 && wide["k299999"].num() == 299999);
    check(took < std::chrono::seconds(5));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!size)
        return 0;
    const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        roundTrip(rest);
        bool tls = false;
        std::string host;
        std::string path;
        unsigned port = 0;
        if (brvav::WebSocket::parseUrl(rest, tls, host, port, path))
            check(!host.empty() && port && port <= 65535 && !path.empty() && path[0] == '/');
        break;
    }
    case 1:
        overSocket(rest);
        break;
    default: {
        static const std::string head = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                                        "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
                                        acceptKey() + "\r\n\r\n";
        overSocket(head + rest);
        break;
    }
    }
    return 0;
}
