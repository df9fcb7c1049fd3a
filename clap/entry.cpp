// The module's one entry point, through which a host finds the plug-in factory.
#include <cstring>

#include "zaltrim_clap.h"

extern "C" __attribute__((visibility("default"))) const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION,
    [](const char*) { return true; },
    [] {},
    [](const char* id) -> const void* {
      return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &zaltrim_clap_factory() : nullptr;
    },
};
