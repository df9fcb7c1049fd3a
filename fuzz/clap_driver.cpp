// Any state stream and any event lists to a CLAP plug-in of either edition, made, activated and
// destroyed as a host does. A state it refuses leaves every parameter as it was; one it accepts
// puts values in range in force and saves back to the same values. Events of any kind, size,
// time, order, parameter and value, in blocks and in flushes, leave every output sample finite
// and bounded and every parameter in range.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "drivers.h"
#include "zaltrim_clap.h"

namespace zfuzz {

namespace {

constexpr std::uint32_t kMaxFrames = 256;
constexpr clap_id kParameterCount = 3;
const double kLimits[kParameterCount][2] = {{-40.0, 40.0}, {0.0, 4.0}, {0.0, 1.0}};

const clap_host_t kHost = {
    CLAP_VERSION,
    nullptr,
    "fuzz",
    "Orvendel",
    "",
    "1",
    [](const clap_host_t*, const char*) -> const void* { return nullptr; },
    [](const clap_host_t*) {},
    [](const clap_host_t*) {},
    [](const clap_host_t*) {},
};

// Events as a host may send them, well formed or not: any header, sized to fit what is stored.
struct Events {
  std::vector<clap_event_param_value_t> stored;
  clap_input_events_t list{this,
                           [](const clap_input_events_t* l) {
                             return static_cast<std::uint32_t>(static_cast<Events*>(l->ctx)->stored.size());
                           },
                           [](const clap_input_events_t* l, std::uint32_t i) -> const clap_event_header_t* {
                             auto& stored = static_cast<Events*>(l->ctx)->stored;
                             return i < stored.size() ? &stored[i].header : nullptr;
                           }};

  explicit Events(ByteReader& bytes) {
    const int count = bytes.byte() % 8;
    for (int i = 0; i < count; ++i) {
      clap_event_param_value_t event{};
      event.header.size = bytes.byte() % 2 ? sizeof event : bytes.byte() % (sizeof event + 1);
      event.header.time = bytes.byte() % 2 ? bytes.take<std::uint32_t>() : bytes.byte();
      event.header.space_id = bytes.byte() % 8 == 0 ? 1 : 0;
      event.header.type = bytes.byte() % 4 == 0 ? bytes.byte() % 16 : 5;
      event.param_id = bytes.byte() % 5;
      event.value = bytes.take<double>();
      stored.push_back(event);
    }
  }
};

const clap_output_events_t kNoOutput = {nullptr,
                                        [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};

std::string parameters_in_range(const clap_plugin_t* plugin, const clap_plugin_params_t* params) {
  for (clap_id id = 0; id < kParameterCount; ++id) {
    double value = NAN;
    if (!params->get_value(plugin, id, &value)) return "a parameter has no value";
    if (!(value >= kLimits[id][0] && value <= kLimits[id][1]))
      return "parameter " + std::to_string(id) + " out of range: " + std::to_string(value);
  }
  return "";
}

std::vector<double> values(const clap_plugin_t* plugin, const clap_plugin_params_t* params) {
  std::vector<double> all(kParameterCount);
  for (clap_id id = 0; id < kParameterCount; ++id) params->get_value(plugin, id, &all[id]);
  return all;
}

// The state stream: the bytes that follow, handed over `chunk` bytes a read at most.
struct Reader {
  std::vector<std::uint8_t> bytes;
  std::size_t chunk;
  std::size_t at = 0;
};

std::string load_state(const clap_plugin_t* plugin, ByteReader& bytes) {
  const auto* state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
  const auto* params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
  Reader reader{std::vector<std::uint8_t>(bytes.byte() % 32), 1u + bytes.byte() % 24};
  bytes.copy_to(reader.bytes.data(), reader.bytes.size());
  const clap_istream_t stream{&reader, [](const clap_istream_t* s, void* out, std::uint64_t size) -> std::int64_t {
                                auto* r = static_cast<Reader*>(s->ctx);
                                std::size_t n = r->bytes.size() - r->at;
                                if (n > size) n = static_cast<std::size_t>(size);
                                if (n > r->chunk) n = r->chunk;
                                if (n > 0) std::memcpy(out, r->bytes.data() + r->at, n);
                                r->at += n;
                                return static_cast<std::int64_t>(n);
                              }};
  const std::vector<double> before = values(plugin, params);
  if (!state->load(plugin, &stream)) {
    return values(plugin, params) == before ? "" : "a refused state changed a parameter";
  }
  const std::string range = parameters_in_range(plugin, params);
  if (!range.empty()) return "after an accepted state: " + range;
  std::vector<std::uint8_t> saved;
  const clap_ostream_t out{&saved, [](const clap_ostream_t* s, const void* data, std::uint64_t size) -> std::int64_t {
                             auto* to = static_cast<std::vector<std::uint8_t>*>(s->ctx);
                             to->insert(to->end(), static_cast<const std::uint8_t*>(data),
                                        static_cast<const std::uint8_t*>(data) + size);
                             return static_cast<std::int64_t>(size);
                           }};
  const std::vector<double> loaded = values(plugin, params);
  if (!state->save(plugin, &out)) return "an accepted state does not save";
  Reader again{saved, saved.size()};
  const clap_istream_t in{&again, stream.read};
  if (!state->load(plugin, &in) || values(plugin, params) != loaded) return "a saved state does not load back";
  return "";
}

std::string run_block(const clap_plugin_t* plugin, ByteReader& bytes, int channels) {
  Events events(bytes);
  const std::uint32_t frames = bytes.byte() % kMaxFrames;
  std::vector<float> audio[2];
  float* pointers[2];
  for (int c = 0; c < channels; ++c) {
    audio[c].resize(kMaxFrames);
    for (std::uint32_t i = 0; i < frames; ++i) audio[c][i] = static_cast<float>(bytes.byte() - 128) / 64.0f;
    pointers[c] = audio[c].data();
  }
  clap_audio_buffer_t in{pointers, nullptr, static_cast<std::uint32_t>(channels), 0, 0};
  clap_audio_buffer_t out = in;  // in place, as the ports declare
  const clap_process_t block{-1, frames, nullptr, &in, &out, 1, 1, &events.list, &kNoOutput};
  if (plugin->process(plugin, &block) != CLAP_PROCESS_CONTINUE) return "a well-formed block was refused";
  for (int c = 0; c < channels; ++c)
    for (std::uint32_t i = 0; i < frames; ++i)
      if (!(std::fabs(audio[c][i]) <= 4.0f)) return "an output sample is not finite and bounded";
  return "";
}

}  // namespace

std::string replay_clap(const std::uint8_t* data, std::size_t size) {
  ByteReader bytes(data, size);
  const clap_plugin_factory_t& factory = zaltrim_clap_factory();
  const bool stereo = bytes.byte() % 2;
  const clap_plugin_descriptor_t* descriptor = factory.get_plugin_descriptor(&factory, stereo ? 1 : 0);
  const clap_plugin_t* plugin = factory.create_plugin(&factory, &kHost, descriptor->id);
  if (!plugin || !plugin->init(plugin)) return "no plug-in";
  const auto* params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
  std::string fault;
  bool active = false;
  while (fault.empty() && !bytes.empty()) {
    switch (bytes.byte() % 4) {
      case 0:
        fault = load_state(plugin, bytes);
        break;
      case 1: {
        Events events(bytes);
        params->flush(plugin, &events.list, &kNoOutput);
        fault = parameters_in_range(plugin, params);
        break;
      }
      case 2:
        if (!active) active = plugin->activate(plugin, 44100.0, 1, kMaxFrames) && plugin->start_processing(plugin);
        if (active) fault = run_block(plugin, bytes, stereo ? 2 : 1);
        if (fault.empty()) fault = parameters_in_range(plugin, params);
        break;
      default:
        if (active) {
          plugin->stop_processing(plugin);
          plugin->deactivate(plugin);
          active = false;
        }
        break;
    }
  }
  if (active) {
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
  }
  plugin->destroy(plugin);
  return fault;
}

}  // namespace zfuzz
