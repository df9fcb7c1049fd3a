// DelayedBypass: switches a processor in and out without a click and without a jump in time.
//
// Bypassed, the output is the input delayed by the processor's latency, so it stays aligned with
// what the processor would give and with the host's compensation of it. A switch either way
// crossfades linearly between the two over a fixed number of samples:
//   output[i] = m processed[i] + (1 - m) input[i - delay],  m moving by 1 / fade per sample.
// Once settled on the processor, its output passes untouched, to the last bit.
// Trade-off: the processor keeps running while bypassed, so that switching back fades into a
// signal that is already there rather than out of a state left from long ago.
//
// Settled on the processor, it runs on the whole block and only the input's last samples are kept
// for the dry path. Otherwise it runs on sub-blocks copied out of the input first. Either way the
// input and the output may be one buffer, as hosts are allowed to give.
//
// C channels switch together, with one fade: the processor runs them all at once.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace DSP {

template <typename T, int C = 1>
class DelayedBypass {
 public:
  static constexpr std::uint32_t kMaximumDelay = 64;

  // The delay of the dry path in samples, at most kMaximumDelay.
  void set_delay(std::uint32_t samples) { delay = std::min(samples, kMaximumDelay); }
  std::uint32_t get_delay() const { return delay; }

  // The length of a switch in samples, at least one.
  void set_fade_length(std::uint32_t samples) { fade_step = 1.0 / static_cast<double>(std::max(samples, 1u)); }

  // Where the output is heading: the processor (true) or the delayed input.
  void set_processing(bool on) { target = on ? 1.0 : 0.0; }

  // Settles at once on the current target, with an empty dry path, as after a reset.
  void reset() {
    mix = target;
    for (auto& channel : history) channel.fill(T(0));
  }

  // One block of every channel. process(const T* const* inputs, T* const* outputs,
  // std::uint32_t count) runs the processor on one sub-block of every channel.
  template <typename Processor>
  void run(const T* const* inputs, T* const* outputs, std::uint32_t count, Processor&& process) {
    if (mix == 1.0 && target == 1.0) {
      for (int c = 0; c < C; ++c) remember(history[c], inputs[c], count);
      process(inputs, outputs, count);
      return;
    }
    for (std::uint32_t done = 0; done < count;) {
      const std::uint32_t part = std::min(count - done, kPart);
      run_part(inputs, outputs, done, part, process);
      done += part;
    }
  }

 private:
  static constexpr std::uint32_t kPart = 256;

  template <typename Processor>
  void run_part(const T* const* inputs, T* const* outputs, std::uint32_t offset, std::uint32_t count,
                Processor& process) {
    // The dry samples of this part follow the last kMaximumDelay of the parts before.
    std::array<std::array<T, kMaximumDelay + kPart>, C> dry;
    const T* parts_in[C];
    T* parts_out[C];
    for (int c = 0; c < C; ++c) {
      std::copy(history[c].begin(), history[c].end(), dry[c].begin());
      std::copy(inputs[c] + offset, inputs[c] + offset + count, dry[c].begin() + kMaximumDelay);
      parts_in[c] = dry[c].data() + kMaximumDelay;
      parts_out[c] = outputs[c] + offset;
    }
    process(parts_in, parts_out, count);
    if (mix != 1.0 || target != 1.0) blend(dry, parts_out, count);
    for (int c = 0; c < C; ++c) std::copy(dry[c].begin() + count, dry[c].begin() + count + kMaximumDelay, history[c].begin());
  }

  // The dry path's history after `count` more input samples, taken before a processor running in
  // place overwrites them.
  static void remember(std::array<T, kMaximumDelay>& history, const T* input, std::uint32_t count) {
    if (count >= kMaximumDelay) {
      std::copy(input + count - kMaximumDelay, input + count, history.begin());
      return;
    }
    std::copy(history.begin() + count, history.end(), history.begin());
    std::copy(input, input + count, history.end() - count);
  }

  // Every channel with the same mix at each sample.
  void blend(const std::array<std::array<T, kMaximumDelay + kPart>, C>& dry, T* const* outputs, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
      mix = mix < target ? std::min(target, mix + fade_step) : std::max(target, mix - fade_step);
      for (int c = 0; c < C; ++c) {
        const T delayed = dry[c][kMaximumDelay - delay + i];
        outputs[c][i] =
            static_cast<T>(mix * static_cast<double>(outputs[c][i]) + (1.0 - mix) * static_cast<double>(delayed));
      }
    }
  }

  std::array<std::array<T, kMaximumDelay>, C> history{};
  std::uint32_t delay = 0;
  double fade_step = 1.0;
  double mix = 1.0;
  double target = 1.0;
};

}  // namespace DSP
