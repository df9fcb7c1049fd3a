// The short text summary of an analysis that `zaltrim-host analyze` prints on stdout.
#pragma once

#include <string>

#include "figures.h"

namespace zanalysis {

std::string summary_text(const Figures& figures);

}  // namespace zanalysis
