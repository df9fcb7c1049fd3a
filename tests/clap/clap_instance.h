// A CLAP host for tests: loads the built Zaltrim.clap through dlopen and clap_entry, makes a
// plug-in of one of its descriptors and drives it as a host's main and audio threads do: activate,
// blocks with parameter events at sample times, flush, state through memory streams.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "clap_abi.h"

class ClapModule {
 public:
  // The module in the build folder, initialised; throws std::runtime_error if it cannot be.
  ClapModule();
  ~ClapModule();
  ClapModule(const ClapModule&) = delete;
  ClapModule& operator=(const ClapModule&) = delete;

  const clap_plugin_factory_t& factory() const { return *plugin_factory; }

 private:
  void* library = nullptr;
  const clap_plugin_entry_t* entry = nullptr;
  const clap_plugin_factory_t* plugin_factory = nullptr;
};

// A parameter change at a sample of a block.
struct ParameterChange {
  std::uint32_t time;
  clap_id id;
  double value;
};

// An event the plug-in handed the host: a parameter's gesture begin or end, or its new value.
struct Announced {
  std::uint16_t type;
  clap_id id;
  double value;
};

class ClapInstance {
 public:
  ClapInstance(const ClapModule& module, const char* plugin_id);
  ~ClapInstance();
  ClapInstance(const ClapInstance&) = delete;
  ClapInstance& operator=(const ClapInstance&) = delete;

  const clap_plugin_t& plugin() const { return *instance; }
  template <typename Extension>
  const Extension* extension(const char* id) const {
    return static_cast<const Extension*>(instance->get_extension(instance, id));
  }

  bool activate(double rate, std::uint32_t max_frames = 4096);
  void deactivate();

  // One block, channel by channel (inputs[c] may be outputs[c]); changes in time order.
  clap_process_status process(const std::vector<const float*>& inputs, const std::vector<float*>& outputs,
                              std::uint32_t frames, const std::vector<ParameterChange>& changes = {});
  // The host's parameter changes outside a block, and what the plug-in announced meanwhile.
  std::vector<Announced> flush(const std::vector<ParameterChange>& changes = {});
  // The host's main thread runs the timers the plug-in registered.
  void run_timers();

  double value(clap_id id) const;
  std::uint32_t latency() const;
  bool save(std::vector<unsigned char>& bytes) const;
  // The stream hands over at most `chunk` bytes a read, as some hosts' streams do.
  bool load(const std::vector<unsigned char>& bytes, std::size_t chunk = SIZE_MAX);

  // What the plug-in asked of its host.
  int restart_requests() const { return restarts.load(); }
  int latency_changes() const { return latency_changed.load(); }
  int flush_requests() const { return flushes.load(); }
  int dirty_marks() const { return dirty.load(); }
  bool has_timer() const { return !timers.empty(); }

 private:
  clap_host_t host{};
  const clap_plugin_t* instance = nullptr;
  bool active = false;
  std::atomic<int> restarts{0};
  std::atomic<int> latency_changed{0};
  std::atomic<int> flushes{0};
  std::atomic<int> dirty{0};
  std::vector<clap_id> timers;
  std::thread::id main_thread = std::this_thread::get_id();
};

std::string clap_module_path();

// True on a thread while it is inside the plug-in's process(), for a test that counts what that
// allocates.
extern thread_local bool inside_clap_process;
