#pragma once

#include "Backend.h"

#include <memory>
#include <string>

namespace brvim {

// xmpp://HOST:PORT/DOMAIN[?pin=sha256:HEX][&cafile=PATH][&muc=MUC_DOMAIN]
struct ServerAddress
{
    std::string host;
    int port = 5222;
    std::string domain;
    std::string mucDomain;
    std::string pinSha256; // upper-case hex without separators
    std::string caFile;
};

bool parseServerAddress(const std::string &text, ServerAddress &out);
std::unique_ptr<Backend> makeXmppBackend(BackendHost &host, const ServerAddress &address,
                                         uint64_t appId);

} // namespace brvim
