// LaneRack: Zaltrim's chain for every channel of a file, the channels run as the lanes of one
// chain, four at a time, then two, then one, so that their Newton iterations share the core.
// Each channel comes out exactly as one plug-in instance per channel would give it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zhost {

class LaneRack {
 public:
  // A valid factor; the gain is linear, taken as a float as the plug-in's state holds it. Throws
  // HostError for a rate the chain does not run at.
  LaneRack(int channels, float rate, int factor, float gain, bool use_double, std::uint32_t block);
  ~LaneRack();
  LaneRack(const LaneRack&) = delete;
  LaneRack& operator=(const LaneRack&) = delete;

  // The output's delay behind the input, in frames.
  int latency() const { return delay; }

  // Processes `frames` interleaved frames (at most the block size) in place.
  void process(std::vector<double>& interleaved, std::int32_t frames);

 private:
  class Group;
  template <typename Chain>
  class GroupOf;

  int channels;
  int delay;
  std::vector<std::unique_ptr<Group>> groups;
};

}  // namespace zhost
