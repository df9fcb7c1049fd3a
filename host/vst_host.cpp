#include "vst_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <map>

namespace zhost {

namespace {

// Callbacks arrive with the effect's record; during the entry call the record does not exist
// yet, so the host being constructed is passed through a thread-local.
std::mutex registry_lock;
std::map<AEffect*, Host*>& registry() {
  static std::map<AEffect*, Host*> hosts;
  return hosts;
}
thread_local Host* constructing = nullptr;

Host* host_of(AEffect* effect) {
  if (effect) {
    std::lock_guard<std::mutex> guard(registry_lock);
    auto found = registry().find(effect);
    if (found != registry().end()) return found->second;
  }
  return constructing;
}

VstIntPtr VSTCALLBACK host_callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
  Host* host = host_of(effect);
  return host ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
}

void copy_text(void* ptr, const char* text, std::size_t size) {
  if (!ptr) return;
  std::snprintf(static_cast<char*>(ptr), size, "%s", text);
}

}  // namespace

VstIntPtr Host::answer(AEffect* /*effect*/, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
  {
    std::lock_guard<std::mutex> guard(calls_lock);
    recorded.push_back({opcode, index, value, opt});
  }
  switch (opcode) {
    case audioMasterVersion:
      return version_answer;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(sample_rate);
    case audioMasterGetBlockSize:
      return block_size;
    case audioMasterGetVendorString:
      copy_text(ptr, "Orvendel", kVstMaxVendorStrLen);
      return ptr ? 1 : 0;
    case audioMasterGetProductString:
      copy_text(ptr, "zaltrim-host", kVstMaxProductStrLen);
      return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
      return 1000;
    case audioMasterGetCurrentProcessLevel:
      return 0;
    default:
      return 0;
  }
}

std::vector<HostCall> Host::calls() const {
  std::lock_guard<std::mutex> guard(calls_lock);
  return recorded;
}

std::size_t Host::count(VstInt32 opcode) const {
  std::lock_guard<std::mutex> guard(calls_lock);
  std::size_t n = 0;
  for (const HostCall& call : recorded) n += call.opcode == opcode ? 1 : 0;
  return n;
}

void Host::clear_calls() {
  std::lock_guard<std::mutex> guard(calls_lock);
  recorded.clear();
}

Module::Module(const std::string& path) : module_path(path) {
  // dlopen searches the library path for a bare name; a module is always a file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    throw HostError("cannot load '" + path + "': " + (why ? why : "unknown error"));
  }
  for (const char* name : {"VSTPluginMain", "main"}) {
    if (void* symbol = dlsym(handle, name)) {
      entry_point = reinterpret_cast<PluginEntry>(symbol);
      found_entry = name;
      return;
    }
  }
  dlclose(handle);
  throw HostError("'" + path + "' is not a VST 2 module: it exports neither VSTPluginMain nor main");
}

Module::~Module() {
  if (handle) dlclose(handle);
}

Plugin::Plugin(const Module& module, Host& host) : owner(&host) {
  constructing = &host;
  AEffect* made = module.entry()(host_callback);
  constructing = nullptr;
  if (!made) throw HostError("'" + module.path() + "' refused to create an effect (host version " +
                             std::to_string(host.version_answer) + ")");
  if (made->magic != kEffectMagic) throw HostError("'" + module.path() + "' returned a record without the VstP magic");
  effect = made;
  std::lock_guard<std::mutex> guard(registry_lock);
  registry()[effect] = &host;
}

Plugin::~Plugin() { close(); }

void Plugin::close() {
  if (!effect) return;
  AEffect* closing = effect;
  effect = nullptr;
  closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
  std::lock_guard<std::mutex> guard(registry_lock);
  registry().erase(closing);
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) const {
  if (!effect) throw HostError("the effect is closed");
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void Plugin::set_sample_rate(float rate) const {
  owner->sample_rate = rate;
  dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void Plugin::set_block_size(VstInt32 frames) const {
  owner->block_size = frames;
  dispatch(effSetBlockSize, 0, frames);
}

VstIntPtr Plugin::can_do(const std::string& what) const {
  std::vector<char> text(what.begin(), what.end());
  text.push_back(0);
  return dispatch(effCanDo, 0, 0, text.data());
}

std::vector<unsigned char> Plugin::get_chunk(bool preset) const {
  void* data = nullptr;
  const VstIntPtr size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return {bytes, bytes + size};
}

bool Plugin::set_chunk(const std::vector<unsigned char>& data, bool preset) const {
  std::vector<unsigned char> copy = data;  // the plug-in may keep no pointer into our vector
  return dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
}

void Plugin::process(const float* input, float* output, VstInt32 frames) const {
  float* inputs[] = {const_cast<float*>(input)};
  float* outputs[] = {output};
  effect->processReplacing(effect, inputs, outputs, frames);
}

void Plugin::process(const double* input, double* output, VstInt32 frames) const {
  double* inputs[] = {const_cast<double*>(input)};
  double* outputs[] = {output};
  effect->processDoubleReplacing(effect, inputs, outputs, frames);
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index, VstInt32 maxLen) const {
  std::vector<char> buffer(static_cast<std::size_t>(maxLen) + 256, 0);
  dispatch(opcode, index, 0, buffer.data());
  buffer.back() = 0;
  return buffer.data();
}

std::string four_cc(VstInt32 id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '.';
  }
  return text;
}

}  // namespace zhost
