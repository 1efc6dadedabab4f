#pragma once

#include "Backend.h"

#include <memory>
#include <string>
#include <vector>

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

// For the fuzz target: a back end that believes it is signed in as user, in the given groups
// (the second one still catching up), with no connection; stanzas fed to it are handled as if
// the server had sent them.
std::unique_ptr<Backend> makeXmppBackendForFuzzing(BackendHost &host, const std::string &user,
                                                   const std::vector<std::string> &groups);
void feedStanzaForFuzzing(Backend &backend, const std::string &xml);

} // namespace brvim
