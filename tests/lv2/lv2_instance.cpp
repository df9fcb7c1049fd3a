#include "lv2_instance.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace {

const LV2_Descriptor* load_descriptor(void*& library, std::uint32_t index = 0) {
  library = dlopen(Lv2Instance::library_path().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw std::runtime_error(dlerror());
  auto* entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
  if (!entry) throw std::runtime_error("no lv2_descriptor in " + Lv2Instance::library_path());
  return entry(index);
}

}  // namespace

std::string Lv2Instance::library_path() {
  const char* build = std::getenv("ZALTRIM_BUILD_DIR");
  return std::string(build ? build : ".") + "/zaltrim.lv2/zaltrim.so";
}

bool Lv2Instance::instantiates(double rate) {
  void* library = nullptr;
  const LV2_Descriptor* descriptor = load_descriptor(library);
  const LV2_Feature* none[] = {nullptr};
  LV2_Handle handle = descriptor->instantiate(descriptor, rate, "", none);
  if (handle) descriptor->cleanup(handle);
  dlclose(library);
  return handle != nullptr;
}

Lv2Instance::Lv2Instance(double rate, Edition edition) {
  descriptor = load_descriptor(library, edition);
  const LV2_Feature* none[] = {nullptr};
  handle = descriptor->instantiate(descriptor, rate, "", none);
  if (!handle) throw std::runtime_error("the plug-in refused the rate");
  controls[zaltrim_lv2::kGain] = 0.0f;
  controls[zaltrim_lv2::kOversampling] = 2.0f;
  controls[zaltrim_lv2::kEnabled] = 1.0f;
  for (std::uint32_t port = zaltrim_lv2::kGain; port < zaltrim_lv2::kPortCount; ++port)
    descriptor->connect_port(handle, port, &controls[port]);
}

Lv2Instance::~Lv2Instance() {
  descriptor->cleanup(handle);
  dlclose(library);
}

void Lv2Instance::activate() { descriptor->activate(handle); }

void Lv2Instance::run(const float* left_in, const float* right_in, float* left_out, float* right_out,
                      std::uint32_t count) {
  descriptor->connect_port(handle, zaltrim_lv2::kInputRight, const_cast<float*>(right_in));
  descriptor->connect_port(handle, zaltrim_lv2::kOutputRight, right_out);
  run(left_in, left_out, count);
}

void Lv2Instance::run(const float* input, float* output, std::uint32_t count) {
  descriptor->connect_port(handle, zaltrim_lv2::kInput, const_cast<float*>(input));
  descriptor->connect_port(handle, zaltrim_lv2::kOutput, output);
  descriptor->run(handle, count);
}
