#include "UiResources.h"

#include <QtGlobal>

#include <mutex>

static void initEmbeddedResources()
{
    Q_INIT_RESOURCE(res);
}

void UiResources::ensureLoaded()
{
    static std::once_flag once;
    std::call_once(once, initEmbeddedResources);
}
