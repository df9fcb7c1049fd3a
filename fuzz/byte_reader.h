// Reads a fuzzer's byte string as a stream of typed values. Past the end every read answers
// zero, so any input, however short, decodes to a complete sequence of calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zfuzz {

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

  bool empty() const { return position >= size; }
  std::size_t remaining() const { return empty() ? 0 : size - position; }

  // The next sizeof(T) bytes as a T, in the machine's byte order (zero-filled past the end).
  template <typename T>
  T take() {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)] = {};
    copy_to(bytes, sizeof(T));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  std::uint8_t byte() { return take<std::uint8_t>(); }

  // A choice among `count` alternatives, from one byte.
  std::size_t pick(std::size_t count) { return count == 0 ? 0 : byte() % count; }

  // Copies up to `count` bytes into `out`; the part past the end of the input is zero.
  void copy_to(void* out, std::size_t count) {
    if (count == 0) return;
    const std::size_t available = count < remaining() ? count : remaining();
    if (available > 0) std::memcpy(out, data + position, available);
    std::memset(static_cast<unsigned char*>(out) + available, 0, count - available);
    position += available;
  }

 private:
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position = 0;
};

}  // namespace zfuzz
