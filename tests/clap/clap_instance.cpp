#include "clap_instance.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "test_support.h"

thread_local bool inside_clap_process = false;

std::string clap_module_path() { return test_support::build_dir() + "/Zaltrim.clap"; }

ClapModule::ClapModule() {
  const std::string path = clap_module_path();
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw std::runtime_error(dlerror());
  entry = static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry"));
  if (!entry || !entry->init(path.c_str())) throw std::runtime_error("clap_entry missing or refused init");
  plugin_factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!plugin_factory) throw std::runtime_error("no plug-in factory");
}

ClapModule::~ClapModule() {
  if (entry) entry->deinit();
  if (library) dlclose(library);
}

namespace {

ClapInstance* instance_of(const clap_host_t* host) { return static_cast<ClapInstance*>(host->host_data); }

struct EventList {
  std::vector<clap_event_param_value_t> events;

  explicit EventList(const std::vector<ParameterChange>& changes) {
    for (const ParameterChange& change : changes) {
      clap_event_param_value_t event{};
      event.header = {sizeof event, change.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
      event.param_id = change.id;
      event.note_id = event.port_index = event.channel = event.key = -1;
      event.value = change.value;
      events.push_back(event);
    }
    list.ctx = this;
    list.size = [](const clap_input_events_t* l) {
      return static_cast<std::uint32_t>(static_cast<EventList*>(l->ctx)->events.size());
    };
    list.get = [](const clap_input_events_t* l, std::uint32_t index) -> const clap_event_header_t* {
      auto& events = static_cast<EventList*>(l->ctx)->events;
      return index < events.size() ? &events[index].header : nullptr;
    };
  }

  clap_input_events_t list{};
};

// Keeps what the plug-in pushes.
struct OutputList {
  std::vector<Announced> announced;
  clap_output_events_t list{this, [](const clap_output_events_t* l, const clap_event_header_t* event) {
                              auto* self = static_cast<OutputList*>(l->ctx);
                              if (event->type == CLAP_EVENT_PARAM_VALUE) {
                                const auto* value = reinterpret_cast<const clap_event_param_value_t*>(event);
                                self->announced.push_back({event->type, value->param_id, value->value});
                              } else {
                                const auto* gesture = reinterpret_cast<const clap_event_param_gesture_t*>(event);
                                self->announced.push_back({event->type, gesture->param_id, 0.0});
                              }
                              return true;
                            }};
};

}  // namespace

ClapInstance::ClapInstance(const ClapModule& module, const char* plugin_id) {
  static const clap_host_latency_t latency = {[](const clap_host_t* h) { instance_of(h)->latency_changed++; }};
  static const clap_host_params_t params = {[](const clap_host_t*, std::uint32_t) {},
                                            [](const clap_host_t*, clap_id, std::uint32_t) {},
                                            [](const clap_host_t* h) { instance_of(h)->flushes++; }};
  static const clap_host_state_t state = {[](const clap_host_t* h) { instance_of(h)->dirty++; }};
  static const clap_host_thread_check_t threads = {
      [](const clap_host_t* h) { return std::this_thread::get_id() == instance_of(h)->main_thread; },
      [](const clap_host_t* h) { return std::this_thread::get_id() != instance_of(h)->main_thread; }};
  static const clap_host_timer_support_t timer_support = {[](const clap_host_t* h, std::uint32_t, clap_id* id) {
                                                            auto& timers = instance_of(h)->timers;
                                                            *id = timers.empty() ? 1 : timers.back() + 1;
                                                            timers.push_back(*id);
                                                            return true;
                                                          },
                                                          [](const clap_host_t* h, clap_id id) {
                                                            auto& timers = instance_of(h)->timers;
                                                            const auto found =
                                                                std::find(timers.begin(), timers.end(), id);
                                                            if (found == timers.end()) return false;
                                                            timers.erase(found);
                                                            return true;
                                                          }};
  host.clap_version = CLAP_VERSION;
  host.host_data = this;
  host.name = "zaltrim tests";
  host.vendor = "Orvendel";
  host.url = "";
  host.version = "1";
  host.get_extension = [](const clap_host_t*, const char* id) -> const void* {
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threads;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &timer_support;
    return nullptr;
  };
  host.request_restart = [](const clap_host_t* h) { instance_of(h)->restarts++; };
  host.request_process = [](const clap_host_t*) {};
  host.request_callback = [](const clap_host_t*) {};
  instance = module.factory().create_plugin(&module.factory(), &host, plugin_id);
  if (!instance || !instance->init(instance)) throw std::runtime_error("the plug-in was not made");
}

ClapInstance::~ClapInstance() {
  if (!instance) return;
  deactivate();
  instance->destroy(instance);
}

bool ClapInstance::activate(double rate, std::uint32_t max_frames) {
  deactivate();
  active = instance->activate(instance, rate, 1, max_frames);
  return active && instance->start_processing(instance);
}

void ClapInstance::deactivate() {
  if (!active) return;
  instance->stop_processing(instance);
  instance->deactivate(instance);
  active = false;
}

clap_process_status ClapInstance::process(const std::vector<const float*>& inputs, const std::vector<float*>& outputs,
                                          std::uint32_t frames, const std::vector<ParameterChange>& changes) {
  EventList events(changes);
  clap_audio_buffer_t in{const_cast<float**>(inputs.data()), nullptr, static_cast<std::uint32_t>(inputs.size()), 0, 0};
  clap_audio_buffer_t out{const_cast<float**>(outputs.data()), nullptr, static_cast<std::uint32_t>(outputs.size()), 0,
                          0};
  OutputList announced;
  const clap_process_t block{-1, frames, nullptr, &in, &out, 1, 1, &events.list, &announced.list};
  inside_clap_process = true;
  const clap_process_status status = instance->process(instance, &block);
  inside_clap_process = false;
  return status;
}

std::vector<Announced> ClapInstance::flush(const std::vector<ParameterChange>& changes) {
  EventList events(changes);
  OutputList announced;
  extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(instance, &events.list, &announced.list);
  return announced.announced;
}

void ClapInstance::run_timers() {
  const auto* support = extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
  for (const clap_id timer : std::vector<clap_id>(timers)) support->on_timer(instance, timer);
}

double ClapInstance::value(clap_id id) const {
  double value = NAN;
  extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->get_value(instance, id, &value);
  return value;
}

std::uint32_t ClapInstance::latency() const {
  return extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(instance);
}

bool ClapInstance::save(std::vector<unsigned char>& bytes) const {
  clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* data, std::uint64_t size) -> std::int64_t {
                          auto* out = static_cast<std::vector<unsigned char>*>(s->ctx);
                          const auto* from = static_cast<const unsigned char*>(data);
                          out->insert(out->end(), from, from + size);
                          return static_cast<std::int64_t>(size);
                        }};
  return extension<clap_plugin_state_t>(CLAP_EXT_STATE)->save(instance, &stream);
}

bool ClapInstance::load(const std::vector<unsigned char>& bytes, std::size_t chunk) {
  struct Reader {
    const std::vector<unsigned char>& bytes;
    std::size_t chunk;
    std::size_t at = 0;
  } reader{bytes, chunk};
  clap_istream_t stream{&reader, [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
                          auto* r = static_cast<Reader*>(s->ctx);
                          const std::size_t n = std::min<std::size_t>(
                              {static_cast<std::size_t>(size), r->chunk, r->bytes.size() - r->at});
                          if (n > 0) std::memcpy(buffer, r->bytes.data() + r->at, n);
                          r->at += n;
                          return static_cast<std::int64_t>(n);
                        }};
  return extension<clap_plugin_state_t>(CLAP_EXT_STATE)->load(instance, &stream);
}
