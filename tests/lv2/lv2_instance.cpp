#include "lv2_instance.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

const LV2_Descriptor* load_descriptor(void*& library) {
  library = dlopen(Lv2Instance::library_path().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw std::runtime_error(dlerror());
  auto* entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
  if (!entry) throw std::runtime_error("no lv2_descriptor in " + Lv2Instance::library_path());
  return entry(0);
}

}  // namespace

bool Lv2Instance::Queue::push(std::uint32_t size, const void* data) {
  if (count == kSlots || size > sizeof(Message::bytes)) return false;
  Message& slot = slots[(head + count) % kSlots];
  slot.size = size;
  std::memcpy(slot.bytes, data, size);
  ++count;
  return true;
}

Lv2Instance::Message Lv2Instance::Queue::pop() {
  const Message message = slots[head];
  head = (head + 1) % kSlots;
  --count;
  return message;
}

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

Lv2Instance::Lv2Instance(double rate, bool with_worker) {
  descriptor = load_descriptor(library);
  const LV2_Feature* with[] = {&schedule_feature, nullptr};
  const LV2_Feature* without[] = {nullptr};
  handle = descriptor->instantiate(descriptor, rate, "", with_worker ? with : without);
  if (!handle) throw std::runtime_error("the plug-in refused the rate");
  if (with_worker) {
    worker = static_cast<const LV2_Worker_Interface*>(descriptor->extension_data(LV2_WORKER__interface));
    worker_thread = std::thread([this] { work_loop(); });
  }
  controls[zaltrim_lv2::kGain] = 0.0f;
  controls[zaltrim_lv2::kOversampling] = 2.0f;
  controls[zaltrim_lv2::kEnabled] = 1.0f;
  for (std::uint32_t port = zaltrim_lv2::kGain; port < zaltrim_lv2::kPortCount; ++port)
    descriptor->connect_port(handle, port, &controls[port]);
}

Lv2Instance::~Lv2Instance() {
  if (worker_thread.joinable()) {
    settle();
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    worker_thread.join();
    deliver_answers();  // stages handed back to be freed go to the worker no more: the plug-in keeps them
  }
  descriptor->cleanup(handle);
  dlclose(library);
}

void Lv2Instance::activate() { descriptor->activate(handle); }

void Lv2Instance::run(const float* input, float* output, std::uint32_t count) {
  deliver_answers();
  descriptor->connect_port(handle, zaltrim_lv2::kInput, const_cast<float*>(input));
  descriptor->connect_port(handle, zaltrim_lv2::kOutput, output);
  descriptor->run(handle, count);
}

void Lv2Instance::settle() {
  std::unique_lock<std::mutex> lock(mutex);
  wake.wait(lock, [this] { return jobs.empty() && !working; });
}

LV2_Worker_Status Lv2Instance::schedule_work(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data) {
  auto* host = static_cast<Lv2Instance*>(handle);
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    if (host->stopping || !host->jobs.push(size, data)) return LV2_WORKER_ERR_NO_SPACE;
  }
  host->wake.notify_all();
  return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Lv2Instance::respond(LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data) {
  auto* host = static_cast<Lv2Instance*>(handle);
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->answers.push(size, data) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
}

void Lv2Instance::work_loop() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stopping || !jobs.empty(); });
    if (jobs.empty()) return;
    const Message job = jobs.pop();
    working = true;
    lock.unlock();
    worker->work(handle, respond, this, job.size, job.bytes);
    lock.lock();
    working = false;
    wake.notify_all();
  }
}

void Lv2Instance::deliver_answers() {
  for (;;) {
    Message answer;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (answers.empty()) return;
      answer = answers.pop();
    }
    worker->work_response(handle, answer.size, answer.bytes);
  }
}
