// The fuzz drivers. Each replays one input against a fresh effect, made and closed as a host
// does, and returns a description of the first property that failed, or an empty string.
// Memory faults are left to the sanitizers. The fuzz targets and the regression tests that
// replay the corpus and every input a fuzzer ever broke the effect with share these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zfuzz {

// A sequence of host calls: any opcode with any index, value and opt, `ptr` null or into a
// buffer of the size hosts pass, interleaved with parameter calls and small blocks, then
// effClose.
std::string replay_dispatcher(const std::uint8_t* data, std::size_t size);

// Any bytes and byte count to effSetChunk, then effGetChunk and a block: a refused chunk changes
// nothing, an accepted one round-trips exactly and configures the chain as a fresh effect would.
std::string replay_chunk(const std::uint8_t* data, std::size_t size);

// Any samples, gains and block sizes through both processing entries at any factor: every
// output sample finite and bounded.
std::string replay_process(const std::uint8_t* data, std::size_t size);

// Any state stream, event lists and blocks to a CLAP plug-in of either edition: a refused state
// changes nothing, an accepted one saves back to itself, and every output sample and parameter
// stays finite and in range.
std::string replay_clap(const std::uint8_t* data, std::size_t size);

}  // namespace zfuzz
