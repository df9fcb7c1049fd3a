// Lv2Instance: one of the built bundle's plug-ins, the mono or the stereo edition, loaded as an
// LV2 host loads it (dlopen, lv2_descriptor, instantiate) and driven as a real-time host drives
// it, offering no features, as the offline tools do: the plug-ins need none.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <string>

#include "zaltrim_ports.h"

class Lv2Instance {
 public:
  enum Edition : std::uint32_t { kMono = 0, kStereo = 1 };  // lv2_descriptor's indices

  explicit Lv2Instance(double rate, Edition edition = kMono);
  ~Lv2Instance();
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  static std::string library_path();
  // The plug-in's answer to instantiate at this rate: whether it made an instance.
  static bool instantiates(double rate);

  float& control(zaltrim_lv2::Port port) { return controls[port]; }
  int latency() const { return static_cast<int>(controls[zaltrim_lv2::kLatency]); }

  void activate();
  // One block; input and output may be the same buffer.
  void run(const float* input, float* output, std::uint32_t count);
  // One block of the stereo edition.
  void run(const float* left_in, const float* right_in, float* left_out, float* right_out, std::uint32_t count);

 private:
  void* library = nullptr;
  const LV2_Descriptor* descriptor = nullptr;
  LV2_Handle handle = nullptr;
  float controls[zaltrim_lv2::kPortCount] = {};
};
