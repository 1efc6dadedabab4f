#pragma once

#include "Message.h"

#include <string>
#include <strophe.h>

namespace brvim {

extern const char *const wireNs;

// XML text of one outgoing message stanza (elements in base64, so any bytes pass unchanged).
std::string encodeMessageStanza(const Message &msg, const std::string &to);
// Escapes text for an XML attribute or character data.
std::string xmlEscape(const std::string &s);

enum class WireKind { None, Group, Direct, Ack };
struct WireMessage
{
    WireKind kind = WireKind::None;
    Message msg;           // Group/Direct: convType, target (room node or our user), sender, ids...
    std::string room;      // Group: the room's node
    std::string archiveId; // set when the message came from an archive query
};

// Reads a <message/> stanza from the server: a group or direct message of ours, or a receipt.
// Anything malformed gives WireKind::None; nothing a server sends can make it misbehave.
WireMessage decodeMessageStanza(xmpp_ctx_t *ctx, xmpp_stanza_t *stanza,
                                const std::string &mucDomain);

} // namespace brvim
