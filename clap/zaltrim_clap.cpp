// The CLAP plug-ins: the effect's processor behind CLAP's parameters, state, latency and audio
// ports, in a mono and a stereo edition.
//
// The parameters' values live in atomics that any thread may read: the host's main thread asks
// for them while the audio thread moves them. The audio thread takes what changed at the start of
// each block and every parameter event at its sample time, splitting the block there. The panel
// lives on the main thread; its gestures reach the host as output events of the next process or
// flush call.
#include "zaltrim_clap.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>

#include "zaltrim_clap_gui.h"
#include "zaltrim_clap_parameters.h"
#include "zaltrim_clap_state.h"
#include "zaltrim_processor.h"

namespace {

using namespace zaltrim_clap;

bool fill_info(clap_id id, clap_param_info_t* info) {
  std::memset(info, 0, sizeof *info);
  info->id = id;
  info->flags = CLAP_PARAM_IS_AUTOMATABLE;
  switch (id) {
    case kGain:
      std::snprintf(info->name, sizeof info->name, "Gain");
      info->min_value = -40.0;
      info->max_value = 40.0;
      return true;
    case kOversampling:
      std::snprintf(info->name, sizeof info->name, "Oversampling");
      info->flags |= CLAP_PARAM_IS_STEPPED;
      info->max_value = kFactorCount - 1;
      return true;
    case kBypass:
      std::snprintf(info->name, sizeof info->name, "Bypass");
      info->flags |= CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS;
      info->max_value = 1.0;
      return true;
    default:
      return false;
  }
}

bool value_text(clap_id id, double value, char* buffer, std::uint32_t capacity) {
  if (!buffer || capacity == 0 || id >= kParameterCount || !std::isfinite(value)) return false;
  value = Parameters::limit(id, value);
  int written;
  if (id == kGain)
    written = std::snprintf(buffer, capacity, "%+.1f dB", value == 0.0 ? 0.0 : value);
  else if (id == kOversampling)
    written = std::snprintf(buffer, capacity, "%dx", factor_of_index(value));
  else
    written = std::snprintf(buffer, capacity, "%s", value != 0.0 ? "On" : "Off");
  return written > 0 && static_cast<std::uint32_t>(written) < capacity;
}

// The number a text starts with, and what follows it past blanks.
bool leading_number(const char* text, double* number, const char** rest) {
  char* end = nullptr;
  *number = std::strtod(text, &end);
  if (end == text || !std::isfinite(*number)) return false;
  while (*end == ' ') ++end;
  *rest = end;
  return true;
}

bool text_value(clap_id id, const char* text, double* value) {
  if (!text || !value) return false;
  double number;
  const char* rest;
  if (id == kBypass) {
    if (std::strcmp(text, "On") == 0 || std::strcmp(text, "Off") == 0) {
      *value = text[1] == 'n' ? 1.0 : 0.0;
      return true;
    }
    if (!leading_number(text, &number, &rest) || *rest || (number != 0.0 && number != 1.0)) return false;
    *value = number;
    return true;
  }
  if (!leading_number(text, &number, &rest)) return false;
  if (id == kGain) {
    if (*rest && std::strcmp(rest, "dB") != 0) return false;
    *value = Parameters::limit(kGain, number);
    return true;
  }
  if (id != kOversampling || (*rest && std::strcmp(rest, "x") != 0)) return false;
  for (int i = 0; i < kFactorCount; ++i) {
    if (number == (2 << i)) {
      *value = i;
      return true;
    }
  }
  return false;
}

template <typename Engine>
struct Edition;

template <>
struct Edition<ZaltrimMonoEngine> {
  static constexpr const char* kFeatures[] = {"audio-effect", "distortion", "mono", nullptr};
  static constexpr clap_plugin_descriptor_t kDescriptor = {
      CLAP_VERSION,
      "example.orvendel.zaltrim",
      "Zaltrim",
      "Orvendel",
      "https://orvendel.example/plugins/zaltrim",
      "",
      "",
      ZALTRIM_VERSION,
      "Overdrive: a diode clipper solved at up to 32 times the rate",
      kFeatures};
  static constexpr const char* kPortType = CLAP_PORT_MONO;
};

template <>
struct Edition<ZaltrimStereoEngine> {
  static constexpr const char* kFeatures[] = {"audio-effect", "distortion", "stereo", nullptr};
  static constexpr clap_plugin_descriptor_t kDescriptor = {CLAP_VERSION,
                                                           "example.orvendel.zaltrim-stereo",
                                                           "Zaltrim Stereo",
                                                           "Orvendel",
                                                           "https://orvendel.example/plugins/zaltrim",
                                                           "",
                                                           "",
                                                           ZALTRIM_VERSION,
                                                           "Overdrive for two channels, with one set of controls",
                                                           kFeatures};
  static constexpr const char* kPortType = CLAP_PORT_STEREO;
};

template <typename Engine>
class Plugin {
 public:
  static constexpr int kChannels = Engine::kChannels;

  explicit Plugin(const clap_host_t* host) : host(host) {
    record.desc = &Edition<Engine>::kDescriptor;
    record.plugin_data = this;
    record.init = [](const clap_plugin_t* p) { return self(p)->init(); };
    record.destroy = [](const clap_plugin_t* p) { delete self(p); };
    record.activate = [](const clap_plugin_t* p, double rate, std::uint32_t, std::uint32_t) {
      return self(p)->activate(rate);
    };
    record.deactivate = [](const clap_plugin_t* p) { self(p)->active = false; };
    record.start_processing = [](const clap_plugin_t*) { return true; };
    record.stop_processing = [](const clap_plugin_t*) {};
    record.reset = [](const clap_plugin_t* p) { self(p)->restart(); };
    record.process = [](const clap_plugin_t* p, const clap_process_t* process) { return self(p)->process(*process); };
    record.get_extension = [](const clap_plugin_t*, const char* id) { return extension(id); };
    record.on_main_thread = [](const clap_plugin_t*) {};
  }

  const clap_plugin_t* clap() const { return &record; }

 private:
  static Plugin* self(const clap_plugin_t* plugin) { return static_cast<Plugin*>(plugin->plugin_data); }

  bool init() {
    host_latency = host_extension<clap_host_latency_t>(CLAP_EXT_LATENCY);
    host_threads = host_extension<clap_host_thread_check_t>(CLAP_EXT_THREAD_CHECK);
    return true;
  }

  // Where the host can tell, whether this is its main thread; where it cannot, the caller's word.
  bool on_main_thread() const {
    return !host_threads || !host_threads->is_main_thread || host_threads->is_main_thread(host);
  }

  template <typename Extension>
  const Extension* host_extension(const char* id) const {
    return host && host->get_extension ? static_cast<const Extension*>(host->get_extension(host, id)) : nullptr;
  }

  // On the main thread, deactivated: the stages for this rate (kept from the last activation at
  // the same rate, since designing them takes a while), with every parameter in force. A latency
  // other than the one an earlier activation reported is announced here, where CLAP allows it;
  // the first is not, as the host asks for it after this anyway, and a host that answers the
  // announcement with a new instance would otherwise never stop.
  bool activate(double rate) {
    if (!ZaltrimChain::is_valid_rate(static_cast<float>(rate))) return false;
    if (!processor || rate != processor_rate) processor = std::make_unique<ZaltrimProcessor<Engine>>(rate);
    processor_rate = rate;
    processor->select(factor_of_index(parameters.get(kOversampling)));
    const auto latency = static_cast<std::uint32_t>(processor->latency());
    if (reported_latency && latency != *reported_latency && host_latency && host_latency->changed)
      host_latency->changed(host);
    reported_latency = latency;
    applied_gain = NAN;
    follow_parameters();
    restart();
    active = true;
    return true;
  }

  void restart() {
    if (processor) processor->restart();
  }

  clap_process_status process(const clap_process_t& block) {
    if (!active || !has_audio(block)) return CLAP_PROCESS_ERROR;
    announce(block.out_events);
    follow_parameters();
    const float* inputs[kChannels];
    float* outputs[kChannels];
    for (int c = 0; c < kChannels; ++c) {
      inputs[c] = block.audio_inputs[0].data32[c];
      outputs[c] = block.audio_outputs[0].data32[c];
    }
    std::uint32_t done = 0;
    const std::uint32_t events = block.in_events ? block.in_events->size(block.in_events) : 0;
    for (std::uint32_t e = 0; e < events; ++e) {
      const clap_event_header_t* event = block.in_events->get(block.in_events, e);
      if (!is_parameter_value(event)) continue;
      const std::uint32_t time = event->time < block.frames_count ? event->time : block.frames_count;
      if (time > done) run(inputs, outputs, done, time - done);
      done = std::max(done, time);
      apply(*reinterpret_cast<const clap_event_param_value_t*>(event));
      follow_parameters();
    }
    if (block.frames_count > done) run(inputs, outputs, done, block.frames_count - done);
    return CLAP_PROCESS_CONTINUE;
  }

  static bool has_audio(const clap_process_t& block) {
    if (block.audio_inputs_count < 1 || block.audio_outputs_count < 1) return false;
    const clap_audio_buffer_t& in = block.audio_inputs[0];
    const clap_audio_buffer_t& out = block.audio_outputs[0];
    if (in.channel_count != kChannels || out.channel_count != kChannels || !in.data32 || !out.data32) return false;
    for (int c = 0; c < kChannels; ++c)
      if (!in.data32[c] || !out.data32[c]) return false;
    return true;
  }

  static bool is_parameter_value(const clap_event_header_t* event) {
    return event && event->space_id == CLAP_CORE_EVENT_SPACE_ID && event->type == CLAP_EVENT_PARAM_VALUE &&
           event->size >= sizeof(clap_event_param_value_t);
  }

  void run(const float* const* inputs, float* const* outputs, std::uint32_t offset, std::uint32_t count) {
    const float* in[kChannels];
    float* out[kChannels];
    for (int c = 0; c < kChannels; ++c) {
      in[c] = inputs[c] + offset;
      out[c] = outputs[c] + offset;
    }
    processor->process(in, out, count);
  }

  void apply(const clap_event_param_value_t& event) {
    if (event.param_id < kParameterCount && std::isfinite(event.value)) parameters.set(event.param_id, event.value);
  }

  // Puts the parameters' values in force where they differ from what is; a factor that changes
  // the latency asks the host to restart the plug-in, the only way CLAP lets it say so.
  void follow_parameters() {
    const double gain = parameters.get(kGain);
    if (gain != applied_gain) {
      processor->set_gain_db(gain);
      applied_gain = gain;
    }
    const int factor = factor_of_index(parameters.get(kOversampling));
    if (factor != processor->factor()) {
      processor->select(factor);
      if (static_cast<std::uint32_t>(processor->latency()) != reported_latency && host && host->request_restart)
        host->request_restart(host);
    }
    processor->set_enabled(parameters.get(kBypass) == 0.0);
  }

  static const void* extension(const char* id) {
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &kTimerSupport;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
    return nullptr;
  }

  // The panel's gestures, in the order they happened.
  void announce(const clap_output_events_t* out) {
    outbox.drain([out](const Announcement& announcement) {
      if (!out || !out->try_push) return;
      if (announcement.type == CLAP_EVENT_PARAM_VALUE) {
        clap_event_param_value_t event{};
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = announcement.id;
        event.note_id = event.port_index = event.channel = event.key = -1;
        event.value = announcement.value;
        out->try_push(out, &event.header);
      } else {
        const clap_event_param_gesture_t event{
            {sizeof(clap_event_param_gesture_t), 0, CLAP_CORE_EVENT_SPACE_ID, announcement.type, 0}, announcement.id};
        out->try_push(out, &event.header);
      }
    });
  }

  // Events from the host outside process(): only their values are kept; the next block puts them
  // in force.
  void flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    announce(out);
    const std::uint32_t events = in ? in->size(in) : 0;
    for (std::uint32_t e = 0; e < events; ++e) {
      const clap_event_header_t* event = in->get(in, e);
      if (is_parameter_value(event)) apply(*reinterpret_cast<const clap_event_param_value_t*>(event));
    }
  }

  bool save(const clap_ostream_t* stream) const {
    const zaltrim_clap::State state{parameters.get(kGain), factor_of_index(parameters.get(kOversampling))};
    return zaltrim_clap::write_state(state, stream);
  }

  bool load(const clap_istream_t* stream) {
    zaltrim_clap::State state;
    if (!zaltrim_clap::read_state(stream, &state)) return false;
    parameters.set(kGain, state.gain_db);
    parameters.set(kOversampling, index_of_factor(state.factor));
    return true;
  }

  static constexpr clap_plugin_params_t kParams = {
      [](const clap_plugin_t*) -> std::uint32_t { return kParameterCount; },
      [](const clap_plugin_t*, std::uint32_t index, clap_param_info_t* info) { return info && fill_info(index, info); },
      [](const clap_plugin_t* p, clap_id id, double* value) {
        if (id >= kParameterCount || !value) return false;
        *value = self(p)->parameters.get(id);
        return true;
      },
      [](const clap_plugin_t*, clap_id id, double value, char* buffer, std::uint32_t capacity) {
        return value_text(id, value, buffer, capacity);
      },
      [](const clap_plugin_t*, clap_id id, const char* text, double* value) { return text_value(id, text, value); },
      [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
        self(p)->flush(in, out);
      },
  };

  static constexpr clap_plugin_state_t kState = {
      [](const clap_plugin_t* p, const clap_ostream_t* stream) { return self(p)->save(stream); },
      [](const clap_plugin_t* p, const clap_istream_t* stream) { return self(p)->load(stream); },
  };

  static constexpr clap_plugin_latency_t kLatency = {
      [](const clap_plugin_t* p) { return self(p)->reported_latency.value_or(0); },
  };

  static constexpr clap_plugin_audio_ports_t kAudioPorts = {
      [](const clap_plugin_t*, bool) -> std::uint32_t { return 1; },
      [](const clap_plugin_t*, std::uint32_t index, bool is_input, clap_audio_port_info_t* info) {
        if (index != 0 || !info) return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        std::snprintf(info->name, sizeof info->name, "%s", is_input ? "Input" : "Output");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN;
        info->channel_count = kChannels;
        info->port_type = Edition<Engine>::kPortType;
        info->in_place_pair = 0;  // the other direction's port 0: processing in place works
        return true;
      },
  };

  static bool is_embedded_x11(const char* api, bool is_floating) {
    return api && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 && !is_floating;
  }

  bool create_gui(const char* api, bool is_floating) {
    if (!is_embedded_x11(api, is_floating) || gui || !on_main_thread()) return false;
    gui = ZaltrimClapGui::create(host, parameters, outbox);
    return gui != nullptr;
  }

  // Calls that need the panel, on the main thread; false without either.
  template <typename Call>
  bool with_gui(Call&& call) {
    return gui && on_main_thread() && call(*gui);
  }

  static constexpr clap_plugin_gui_t kGui = {
      [](const clap_plugin_t*, const char* api, bool is_floating) { return is_embedded_x11(api, is_floating); },
      [](const clap_plugin_t*, const char** api, bool* is_floating) {
        if (!api || !is_floating) return false;
        *api = CLAP_WINDOW_API_X11;
        *is_floating = false;
        return true;
      },
      [](const clap_plugin_t* p, const char* api, bool is_floating) { return self(p)->create_gui(api, is_floating); },
      [](const clap_plugin_t* p) {
        if (self(p)->on_main_thread()) self(p)->gui.reset();
      },
      // The panel follows the desktop's scale as Qt reads it (QT_SCALE_FACTOR, Xft.dpi), as the
      // VST 2 editor does, and reports its size in device pixels: a host's own factor is not taken.
      [](const clap_plugin_t*, double) { return false; },
      [](const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) {
        return self(p)->with_gui([&](ZaltrimClapGui& gui) { return gui.size(width, height); });
      },
      [](const clap_plugin_t*) { return false; },
      // Hints that say so, for hosts that take no answer as a failure (Qtractor warns).
      [](const clap_plugin_t*, clap_gui_resize_hints_t* hints) {
        if (!hints) return false;
        *hints = {false, false, false, 0, 0};
        return true;
      },
      [](const clap_plugin_t*, std::uint32_t*, std::uint32_t*) { return false; },
      // The panel keeps its size; a host that sets that same size is answered yes.
      [](const clap_plugin_t* p, std::uint32_t width, std::uint32_t height) {
        return self(p)->with_gui([&](ZaltrimClapGui& gui) {
          std::uint32_t own_width, own_height;
          return gui.size(&own_width, &own_height) && own_width == width && own_height == height;
        });
      },
      [](const clap_plugin_t* p, const clap_window_t* window) {
        if (!window || !window->api || std::strcmp(window->api, CLAP_WINDOW_API_X11) != 0) return false;
        return self(p)->with_gui([&](ZaltrimClapGui& gui) { return gui.set_parent(window->x11); });
      },
      [](const clap_plugin_t*, const clap_window_t*) { return false; },
      [](const clap_plugin_t*, const char*) {},
      [](const clap_plugin_t* p) { return self(p)->with_gui([](ZaltrimClapGui& gui) { return gui.show(); }); },
      [](const clap_plugin_t* p) { return self(p)->with_gui([](ZaltrimClapGui& gui) { return gui.hide(); }); },
  };

  static constexpr clap_plugin_timer_support_t kTimerSupport = {
      [](const clap_plugin_t* p, clap_id timer) {
        if (self(p)->gui && self(p)->on_main_thread()) self(p)->gui->on_timer(timer);
      },
  };

  clap_plugin_t record{};
  const clap_host_t* host;
  const clap_host_latency_t* host_latency = nullptr;
  const clap_host_thread_check_t* host_threads = nullptr;
  Parameters parameters;
  Outbox outbox;
  std::unique_ptr<ZaltrimClapGui> gui;  // main thread
  std::unique_ptr<ZaltrimProcessor<Engine>> processor;
  double applied_gain = NAN;  // audio thread
  double processor_rate = 0.0;
  bool active = false;  // between activate and deactivate: process may run
  // What latency() answers: the delay at the last activation, none before the first; it changes
  // only there.
  std::optional<std::uint32_t> reported_latency;
};

template <typename Engine>
bool matches(const char* id) {
  return id && std::strcmp(id, Edition<Engine>::kDescriptor.id) == 0;
}

const clap_plugin_descriptor_t* const kDescriptors[] = {&Edition<ZaltrimMonoEngine>::kDescriptor,
                                                        &Edition<ZaltrimStereoEngine>::kDescriptor};

const clap_plugin_factory_t kFactory = {
    [](const clap_plugin_factory_t*) -> std::uint32_t { return std::size(kDescriptors); },
    [](const clap_plugin_factory_t*, std::uint32_t index) -> const clap_plugin_descriptor_t* {
      return index < std::size(kDescriptors) ? kDescriptors[index] : nullptr;
    },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
      if (matches<ZaltrimMonoEngine>(id)) return (new Plugin<ZaltrimMonoEngine>(host))->clap();
      if (matches<ZaltrimStereoEngine>(id)) return (new Plugin<ZaltrimStereoEngine>(host))->clap();
      return nullptr;
    },
};

}  // namespace

const clap_plugin_factory_t& zaltrim_clap_factory() { return kFactory; }
