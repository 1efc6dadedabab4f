#pragma once

// The embedded themes, language tables and icon font live in a static library; this makes sure
// they are registered before the first lookup, whoever links the library.
namespace UiResources {
void ensureLoaded();
}
