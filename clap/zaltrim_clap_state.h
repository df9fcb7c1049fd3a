// The CLAP edition's saved state: the gain and the factor, behind a tag and a version so that a
// later edition can still read what this one wrote and tell a foreign stream from its own.
//
// Layout, little-endian: "ZLTR", version (uint32, 1), gain in dB (IEEE double), factor (int32).
#pragma once

#include <cstdint>

#include "clap_abi.h"

namespace zaltrim_clap {

struct State {
  double gain_db = 0.0;  // -40 to +40
  int factor = 2;        // 2, 4, 8, 16 or 32
};

constexpr std::uint32_t kStateVersion = 1;
constexpr std::uint32_t kStateSize = 20;

// The whole state to the stream; false if the stream failed.
bool write_state(const State& state, const clap_ostream_t* stream);

// A state this edition wrote, into *state; false, with *state untouched, for a short, foreign or
// unreadable stream, a version it does not know, or values out of range.
bool read_state(const clap_istream_t* stream, State* state);

}  // namespace zaltrim_clap
