// A phrase to render when no input file is given: a few seconds of plucked strings, made in code
// so the main job runs on a fresh machine with nothing to download.
#pragma once

#include <vector>

namespace zhost {

constexpr int kBuiltinSampleRate = 44100;

// Mono samples at kBuiltinSampleRate, peaking near -6 dBFS; the same every time.
std::vector<double> builtin_phrase();

}  // namespace zhost
