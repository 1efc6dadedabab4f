#pragma once

#include "Backend.h"

#include <memory>

namespace brvim {

std::unique_ptr<Backend> makeEmbeddedBackend(BackendHost &host, uint64_t appId);

} // namespace brvim
