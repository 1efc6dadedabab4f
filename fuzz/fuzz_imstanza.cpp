// Feeds hostile server stanzas to the IM SDK's XMPP back end: messages (group, direct, receipts,
// archive results), presences (joins, leaves, errors) and archive answers, in any order. Whatever
// it hands on must be well-formed JSON; nothing may crash, leak or read out of bounds.
#include "EventLoop.h"
#include "Xmpp.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class Host final : public brvim::BackendHost
{
public:
    brvim::EventLoop &loop() override { return m_loop; }
    void deliverMessages(const QJsonArray &messages) override
    {
        for (const auto &m : messages)
            if (!m.isObject() ||
                !m.toObject().value(QStringLiteral("message_elem_array")).isArray())
                std::abort();
    }
    void deliverGroupTips(const QJsonObject &tips) override
    {
        if (!tips.value(QStringLiteral("group_tips_elem_group_id")).isString())
            std::abort();
    }
    void networkStatus(int, int, const std::string &) override {}
    void kickedOffline() override {}
    void userSigExpired() override {}

private:
    brvim::EventLoop m_loop; // never started: timers are only queued
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Host host;
    auto backend = brvim::makeXmppBackendForFuzzing(host, "alice", {"class1", "class2"});
    // Stanzas are separated by NUL bytes.
    const std::string input(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    for (int n = 0; start <= input.size() && n < 64; ++n) {
        size_t end = input.find('\0', start);
        if (end == std::string::npos)
            end = input.size();
        brvim::feedStanzaForFuzzing(*backend, input.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
