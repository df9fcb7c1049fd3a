#include "zaltrim_clap_state.h"

#include <cmath>
#include <cstring>

#include "zaltrim_chain.h"

namespace zaltrim_clap {

namespace {

constexpr unsigned char kTag[4] = {'Z', 'L', 'T', 'R'};

void put_u32(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t get_u32(const unsigned char* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return value;
}

void put_u64(unsigned char* at, std::uint64_t value) {
  put_u32(at, static_cast<std::uint32_t>(value));
  put_u32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint64_t get_u64(const unsigned char* at) {
  return get_u32(at) | static_cast<std::uint64_t>(get_u32(at + 4)) << 32;
}

// Streams may move fewer bytes than asked at a time; these go on until all have moved.
bool write_all(const clap_ostream_t* stream, const unsigned char* data, std::uint64_t size) {
  while (size > 0) {
    const std::int64_t written = stream->write(stream, data, size);
    if (written <= 0 || static_cast<std::uint64_t>(written) > size) return false;
    data += written;
    size -= static_cast<std::uint64_t>(written);
  }
  return true;
}

bool read_all(const clap_istream_t* stream, unsigned char* data, std::uint64_t size) {
  while (size > 0) {
    const std::int64_t got = stream->read(stream, data, size);
    if (got <= 0 || static_cast<std::uint64_t>(got) > size) return false;
    data += got;
    size -= static_cast<std::uint64_t>(got);
  }
  return true;
}

}  // namespace

bool write_state(const State& state, const clap_ostream_t* stream) {
  if (!stream || !stream->write) return false;
  unsigned char bytes[kStateSize];
  std::memcpy(bytes, kTag, 4);
  put_u32(bytes + 4, kStateVersion);
  std::uint64_t gain_bits;
  std::memcpy(&gain_bits, &state.gain_db, sizeof gain_bits);
  put_u64(bytes + 8, gain_bits);
  put_u32(bytes + 16, static_cast<std::uint32_t>(state.factor));
  return write_all(stream, bytes, sizeof bytes);
}

bool read_state(const clap_istream_t* stream, State* state) {
  if (!stream || !stream->read || !state) return false;
  unsigned char bytes[kStateSize];
  if (!read_all(stream, bytes, 8) || std::memcmp(bytes, kTag, 4) != 0 || get_u32(bytes + 4) != kStateVersion)
    return false;
  if (!read_all(stream, bytes + 8, kStateSize - 8)) return false;
  State read;
  const std::uint64_t gain_bits = get_u64(bytes + 8);
  std::memcpy(&read.gain_db, &gain_bits, sizeof read.gain_db);
  read.factor = static_cast<int>(get_u32(bytes + 16));
  if (!std::isfinite(read.gain_db) || read.gain_db < -40.0 || read.gain_db > 40.0) return false;
  if (!ZaltrimChain::is_valid_factor(read.factor)) return false;
  *state = read;
  return true;
}

}  // namespace zaltrim_clap
