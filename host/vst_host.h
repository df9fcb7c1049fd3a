// A small VST 2 host: loads a module the way a DAW does (dlopen, VSTPluginMain, else main),
// answers the plug-in's callbacks, records them for inspection, and wraps the dispatcher,
// the parameters and the processing entries in typed calls.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "vst2.h"

namespace zhost {

class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One callback the plug-in made to its host.
struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

// The host side of the conversation: what the callback answers, and what it was asked.
class Host {
 public:
  VstIntPtr version_answer = 2400;
  float sample_rate = 44100.0f;
  VstInt32 block_size = 512;

  VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  std::vector<HostCall> calls() const;
  std::size_t count(VstInt32 opcode) const;
  void clear_calls();

 private:
  mutable std::mutex calls_lock;
  std::vector<HostCall> recorded;
};

using PluginEntry = AEffect* (*)(audioMasterCallback);

// A loaded module. Unloaded (dlclose) when destroyed; every effect made from it must be closed first.
class Module {
 public:
  explicit Module(const std::string& path);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const std::string& path() const { return module_path; }
  // The entry's symbol name that was found: "VSTPluginMain" or "main".
  const std::string& entry_name() const { return found_entry; }
  PluginEntry entry() const { return entry_point; }

 private:
  std::string module_path;
  std::string found_entry;
  void* handle = nullptr;
  PluginEntry entry_point = nullptr;
};

// One effect instance, created through the module's entry with `host` answering its callbacks.
// Closed (effClose) when destroyed unless closed before.
class Plugin {
 public:
  Plugin(const Module& module, Host& host);
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* record() const { return effect; }
  Host& host() const { return *owner; }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const;

  void open() const { dispatch(effOpen); }
  void close();
  bool closed() const { return effect == nullptr; }
  void set_sample_rate(float rate) const;
  void set_block_size(VstInt32 frames) const;
  void set_active(bool on) const { dispatch(effMainsChanged, 0, on ? 1 : 0); }

  std::string effect_name() const { return text(effGetEffectName, 0, kVstMaxEffectNameLen); }
  std::string vendor() const { return text(effGetVendorString, 0, kVstMaxVendorStrLen); }
  std::string product() const { return text(effGetProductString, 0, kVstMaxProductStrLen); }
  std::string program_name() const { return text(effGetProgramName, 0, kVstMaxProgNameLen); }
  std::string parameter_name(VstInt32 index) const { return text(effGetParamName, index, kVstMaxParamStrLen); }
  std::string parameter_label(VstInt32 index) const { return text(effGetParamLabel, index, kVstMaxParamStrLen); }
  std::string parameter_display(VstInt32 index) const {
    return text(effGetParamDisplay, index, kVstMaxParamStrLen);
  }
  VstInt32 vendor_version() const { return static_cast<VstInt32>(dispatch(effGetVendorVersion)); }
  VstInt32 vst_version() const { return static_cast<VstInt32>(dispatch(effGetVstVersion)); }
  VstInt32 category() const { return static_cast<VstInt32>(dispatch(effGetPlugCategory)); }
  VstIntPtr can_do(const std::string& what) const;

  void set_parameter(VstInt32 index, float value) const { effect->setParameter(effect, index, value); }
  float get_parameter(VstInt32 index) const { return effect->getParameter(effect, index); }

  std::vector<unsigned char> get_chunk(bool preset = false) const;
  bool set_chunk(const std::vector<unsigned char>& data, bool preset = false) const;

  // Mono convenience: channel 0 in, channel 0 out.
  void process(const float* input, float* output, VstInt32 frames) const;
  void process(const double* input, double* output, VstInt32 frames) const;

 private:
  // Hosts hand out generous buffers; the plug-in writes at most maxLen + 1 bytes.
  std::string text(VstInt32 opcode, VstInt32 index, VstInt32 maxLen) const;

  Host* owner;
  AEffect* effect = nullptr;
};

// The 'ZtRm'-style four characters of a unique ID, printable characters only.
std::string four_cc(VstInt32 id);

}  // namespace zhost
