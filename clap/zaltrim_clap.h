// The CLAP plug-ins' factory: the mono and the stereo edition, each made for a host by its id.
#pragma once

#include "clap_abi.h"

const clap_plugin_factory_t& zaltrim_clap_factory();
