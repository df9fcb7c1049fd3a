// The CLAP plug-ins' parameters, shared by the audio thread, the host's main thread and the
// panel: their values, which any thread may read, and the panel's gestures on their way out to
// the host.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

#include "clap_abi.h"
#include "zaltrim_chain.h"

namespace zaltrim_clap {

// Gain in dB (-40 to +40), the factor's index among 2, 4, 8, 16 and 32, and bypass (0 or 1).
enum ParameterId : clap_id { kGain = 0, kOversampling = 1, kBypass = 2, kParameterCount = 3 };

constexpr int kFactorCount = ZaltrimChain::kFactorCount;

inline int factor_of_index(double index) {
  const long i = std::lround(std::fmin(std::fmax(index, 0.0), kFactorCount - 1.0));
  return 2 << i;
}

inline double index_of_factor(int factor) { return ZaltrimChain::index_of_factor(factor); }

class Parameters {
 public:
  double get(clap_id id) const { return values[id].load(std::memory_order_relaxed); }
  // A value within the parameter's range (clamped to it), stepped ones rounded.
  void set(clap_id id, double value) { values[id].store(limit(id, value), std::memory_order_relaxed); }

  static double limit(clap_id id, double value) {
    if (id == kGain) return std::fmin(std::fmax(value, -40.0), 40.0);
    if (id == kOversampling) return std::round(std::fmin(std::fmax(value, 0.0), kFactorCount - 1.0));
    return value >= 0.5 ? 1.0 : 0.0;
  }

 private:
  std::atomic<double> values[kParameterCount] = {0.0, 0.0, 0.0};
};

// What the panel tells the host: a gesture's begin and end, and the values in between.
struct Announcement {
  std::uint16_t type;  // CLAP_EVENT_PARAM_GESTURE_BEGIN, _END or CLAP_EVENT_PARAM_VALUE
  clap_id id;
  double value;
};

// From the main thread (the panel) to whichever thread next talks to the host's event lists
// (process or flush): one writer and one reader, without locks. Full, it drops what comes: the
// values themselves are in Parameters already.
class Outbox {
 public:
  bool push(const Announcement& announcement) {
    const std::uint32_t tail = written.load(std::memory_order_relaxed);
    if (tail - read.load(std::memory_order_acquire) == kCapacity) return false;
    queue[tail % kCapacity] = announcement;
    written.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Hands every waiting announcement to `take`, oldest first.
  template <typename Take>
  void drain(Take&& take) {
    std::uint32_t head = read.load(std::memory_order_relaxed);
    const std::uint32_t tail = written.load(std::memory_order_acquire);
    for (; head != tail; ++head) take(queue[head % kCapacity]);
    read.store(head, std::memory_order_release);
  }

 private:
  static constexpr std::uint32_t kCapacity = 256;
  Announcement queue[kCapacity];
  std::atomic<std::uint32_t> written{0};
  std::atomic<std::uint32_t> read{0};
};

}  // namespace zaltrim_clap
