#include "Xmpp.h"

namespace brvim {

std::unique_ptr<Backend> makeXmppBackend(BackendHost &, const ServerAddress &, uint64_t)
{
    return nullptr;
}

} // namespace brvim
