// Finding a feature a host offers to the UI.
#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace zaltrim_lv2 {

// The data of the feature named `uri`, or null. Some hosts end the list with an entry whose URI
// is null rather than with a null entry.
inline const void* find_feature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features && (*features)->URI; ++features)
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

}  // namespace zaltrim_lv2
