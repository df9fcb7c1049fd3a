// Lv2Instance: the built bundle's plug-in, loaded as an LV2 host loads it (dlopen, lv2_descriptor,
// instantiate) and driven as a real-time host drives it. Its worker runs jobs on a thread of
// its own; answers reach the plug-in at the start of the next block, before run(), as Ardour's
// engine delivers them.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "zaltrim_ports.h"

class Lv2Instance {
 public:
  // Without a worker the host offers no features at all, as the offline tools do.
  Lv2Instance(double rate, bool with_worker);
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
  // Waits until the worker has done every job asked of it so far.
  void settle();

 private:
  struct Message {
    std::uint32_t size = 0;
    unsigned char bytes[64];
  };
  // A fixed ring, so that scheduling from run() allocates nothing of the host's.
  struct Queue {
    static constexpr std::size_t kSlots = 16;
    bool push(std::uint32_t size, const void* data);
    Message pop();
    bool empty() const { return count == 0; }
    std::array<Message, kSlots> slots;
    std::size_t head = 0;
    std::size_t count = 0;
  };

  static LV2_Worker_Status schedule_work(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data);
  static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data);
  void work_loop();
  void deliver_answers();

  void* library = nullptr;
  const LV2_Descriptor* descriptor = nullptr;
  LV2_Handle handle = nullptr;
  const LV2_Worker_Interface* worker = nullptr;
  float controls[zaltrim_lv2::kPortCount] = {};

  LV2_Worker_Schedule schedule{this, schedule_work};
  LV2_Feature schedule_feature{LV2_WORKER__schedule, &schedule};

  std::mutex mutex;
  std::condition_variable wake;
  Queue jobs;
  Queue answers;
  bool working = false;
  bool stopping = false;
  std::thread worker_thread;
};
