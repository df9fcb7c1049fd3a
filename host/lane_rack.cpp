#include "lane_rack.h"

#include <array>
#include <string>

#include "vst_host.h"

#include "zaltrim_chain.h"
#include "zaltrim_lanes.h"

namespace zhost {

// A run of neighbouring channels through one chain, with its own de-interleaved buffers.
class LaneRack::Group {
 public:
  virtual ~Group() = default;
  virtual void process(std::vector<double>& interleaved, int channels, std::uint32_t frames) = 0;
};

namespace {

// One channel: the plug-in's own chain, exactly as an instance runs it.
class SingleChain {
 public:
  static constexpr int kLanes = 1;
  SingleChain(int factor, float rate) : chain(factor, rate) {}
  void set_gain(double gain) { chain.set_gain(gain); }
  template <typename Sample>
  void process(const Sample* const* inputs, Sample* const* outputs, std::uint32_t count) {
    chain.process(inputs[0], outputs[0], count);
  }

 private:
  ZaltrimChain chain;
};

template <int L>
class Lanes {
 public:
  static constexpr int kLanes = L;
  Lanes(int factor, float rate) : lanes(factor, rate) {}
  void set_gain(double gain) { lanes.set_gain(gain); }
  template <typename Sample>
  void process(const Sample* const* inputs, Sample* const* outputs, std::uint32_t count) {
    lanes.process(inputs, outputs, count);
  }

 private:
  ZaltrimLanes<L> lanes;
};

}  // namespace

template <typename Chain>
class LaneRack::GroupOf final : public LaneRack::Group {
 public:
  static constexpr int kLanes = Chain::kLanes;

  GroupOf(int first, int factor, float rate, float gain, bool use_double, std::uint32_t block)
      : first(first), use_double(use_double), chain(factor, rate) {
    chain.set_gain(static_cast<double>(gain));
    for (int l = 0; l < kLanes; ++l) {
      if (use_double)
        doubles[l].resize(block);
      else
        floats[l].resize(block);
    }
  }

  void process(std::vector<double>& interleaved, int channels, std::uint32_t frames) override {
    if (use_double)
      run(doubles, interleaved, channels, frames);
    else
      run(floats, interleaved, channels, frames);
  }

 private:
  // In place in each lane's buffer, as hosts may process.
  template <typename Sample>
  void run(std::array<std::vector<Sample>, kLanes>& buffers, std::vector<double>& interleaved, int channels,
           std::uint32_t frames) {
    std::array<Sample*, kLanes> lanes;
    for (int l = 0; l < kLanes; ++l) {
      lanes[l] = buffers[l].data();
      for (std::uint32_t i = 0; i < frames; ++i)
        lanes[l][i] = static_cast<Sample>(interleaved[static_cast<std::size_t>(i) * channels + first + l]);
    }
    chain.process(lanes.data(), lanes.data(), frames);
    for (int l = 0; l < kLanes; ++l)
      for (std::uint32_t i = 0; i < frames; ++i)
        interleaved[static_cast<std::size_t>(i) * channels + first + l] = static_cast<double>(lanes[l][i]);
  }

  int first;
  bool use_double;
  Chain chain;
  std::array<std::vector<float>, kLanes> floats;
  std::array<std::vector<double>, kLanes> doubles;
};

namespace {

float checked_rate(float rate) {
  if (!ZaltrimChain::is_valid_rate(rate))
    throw HostError("a rate of " + std::to_string(rate) + " Hz is outside the 1 kHz to 1 MHz the chain runs at");
  return rate;
}

}  // namespace

LaneRack::LaneRack(int channels, float rate, int factor, float gain, bool use_double, std::uint32_t block)
    : channels(channels), delay(ZaltrimChain::measure_latency(factor, checked_rate(rate))) {
  int first = 0;
  const auto add = [&](auto group) {
    groups.push_back(std::move(group));
    first += decltype(group)::element_type::kLanes;
  };
  while (channels - first >= 4)
    add(std::make_unique<GroupOf<Lanes<4>>>(first, factor, rate, gain, use_double, block));
  if (channels - first >= 2) add(std::make_unique<GroupOf<Lanes<2>>>(first, factor, rate, gain, use_double, block));
  if (channels - first == 1) add(std::make_unique<GroupOf<SingleChain>>(first, factor, rate, gain, use_double, block));
}

LaneRack::~LaneRack() = default;

void LaneRack::process(std::vector<double>& interleaved, std::int32_t frames) {
  for (const auto& group : groups) group->process(interleaved, channels, static_cast<std::uint32_t>(frames));
}

}  // namespace zhost
