// The CLAP 1.x plug-in interface as this module meets it: the entry record, the plug-in factory,
// the plug-in and host records, the process call with its audio buffers and events, and the
// extensions the plug-in offers or asks its host for. Written for this project from the
// interface's published binary layout and identifiers; only what the module uses is declared.
// Every record is a plain C layout, passed by pointer across the boundary.
#pragma once

#include <cstdint>

extern "C" {

using clap_id = std::uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

constexpr int CLAP_NAME_SIZE = 256;
constexpr int CLAP_PATH_SIZE = 1024;

struct clap_version_t {
  std::uint32_t major;
  std::uint32_t minor;
  std::uint32_t revision;
};

// The interface version this module is written against; hosts of any 1.x accept it.
constexpr clap_version_t CLAP_VERSION = {1, 1, 10};

struct clap_plugin_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;  // ends with a null pointer
};

struct clap_host_t {
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
  void (*request_restart)(const clap_host_t* host);
  void (*request_process)(const clap_host_t* host);
  void (*request_callback)(const clap_host_t* host);
};

// Events: a common header, then the kind's own fields. Times are sample offsets in the block.
struct clap_event_header_t {
  std::uint32_t size;  // of the whole event, in bytes
  std::uint32_t time;
  std::uint16_t space_id;
  std::uint16_t type;
  std::uint32_t flags;
};

constexpr std::uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : std::uint16_t {
  CLAP_EVENT_PARAM_VALUE = 5,
  CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
  CLAP_EVENT_PARAM_GESTURE_END = 8,
};

struct clap_event_param_value_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  std::int32_t note_id;
  std::int16_t port_index;
  std::int16_t channel;
  std::int16_t key;
  double value;
};

struct clap_event_param_gesture_t {
  clap_event_header_t header;
  clap_id param_id;
};

struct clap_input_events_t {
  void* ctx;
  std::uint32_t (*size)(const clap_input_events_t* list);
  const clap_event_header_t* (*get)(const clap_input_events_t* list, std::uint32_t index);
};

struct clap_output_events_t {
  void* ctx;
  bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

struct clap_audio_buffer_t {
  float** data32;
  double** data64;
  std::uint32_t channel_count;
  std::uint32_t latency;
  std::uint64_t constant_mask;
};

struct clap_event_transport_t;

struct clap_process_t {
  std::int64_t steady_time;
  std::uint32_t frames_count;
  const clap_event_transport_t* transport;
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  std::uint32_t audio_inputs_count;
  std::uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

using clap_process_status = std::int32_t;
enum : clap_process_status {
  CLAP_PROCESS_ERROR = 0,
  CLAP_PROCESS_CONTINUE = 1,
};

struct clap_plugin_t {
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool (*init)(const clap_plugin_t* plugin);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*activate)(const clap_plugin_t* plugin, double sample_rate, std::uint32_t min_frames_count,
                   std::uint32_t max_frames_count);
  void (*deactivate)(const clap_plugin_t* plugin);
  bool (*start_processing)(const clap_plugin_t* plugin);
  void (*stop_processing)(const clap_plugin_t* plugin);
  void (*reset)(const clap_plugin_t* plugin);
  clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);
  const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
  void (*on_main_thread)(const clap_plugin_t* plugin);
};

constexpr const char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

struct clap_plugin_factory_t {
  std::uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory, std::uint32_t index);
  const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                        const char* plugin_id);
};

struct clap_plugin_entry_t {
  clap_version_t clap_version;
  bool (*init)(const char* plugin_path);
  void (*deinit)();
  const void* (*get_factory)(const char* factory_id);
};

// Parameters.
constexpr const char CLAP_EXT_PARAMS[] = "clap.params";

enum : std::uint32_t {
  CLAP_PARAM_IS_STEPPED = 1u << 0,
  CLAP_PARAM_IS_BYPASS = 1u << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
};

struct clap_param_info_t {
  clap_id id;
  std::uint32_t flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
};

struct clap_plugin_params_t {
  std::uint32_t (*count)(const clap_plugin_t* plugin);
  bool (*get_info)(const clap_plugin_t* plugin, std::uint32_t param_index, clap_param_info_t* param_info);
  bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
  bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                        std::uint32_t out_buffer_capacity);
  bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text, double* out_value);
  void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};

struct clap_host_params_t {
  void (*rescan)(const clap_host_t* host, std::uint32_t flags);
  void (*clear)(const clap_host_t* host, clap_id param_id, std::uint32_t flags);
  void (*request_flush)(const clap_host_t* host);
};

// State, through the host's streams.
constexpr const char CLAP_EXT_STATE[] = "clap.state";

struct clap_istream_t {
  void* ctx;
  std::int64_t (*read)(const clap_istream_t* stream, void* buffer, std::uint64_t size);  // 0 at the end, -1 on error
};

struct clap_ostream_t {
  void* ctx;
  std::int64_t (*write)(const clap_ostream_t* stream, const void* buffer, std::uint64_t size);  // -1 on error
};

struct clap_plugin_state_t {
  bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
  bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

struct clap_host_state_t {
  void (*mark_dirty)(const clap_host_t* host);
};

// Latency.
constexpr const char CLAP_EXT_LATENCY[] = "clap.latency";

struct clap_plugin_latency_t {
  std::uint32_t (*get)(const clap_plugin_t* plugin);
};

struct clap_host_latency_t {
  void (*changed)(const clap_host_t* host);
};

// Audio ports.
constexpr const char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
constexpr const char CLAP_PORT_MONO[] = "mono";
constexpr const char CLAP_PORT_STEREO[] = "stereo";

enum : std::uint32_t {
  CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
};

struct clap_audio_port_info_t {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  std::uint32_t flags;
  std::uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
  std::uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
  bool (*get)(const clap_plugin_t* plugin, std::uint32_t index, bool is_input, clap_audio_port_info_t* info);
};

// The host's threads, where it can tell them apart.
constexpr const char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

struct clap_host_thread_check_t {
  bool (*is_main_thread)(const clap_host_t* host);
  bool (*is_audio_thread)(const clap_host_t* host);
};

// The plug-in's own window inside one of the host's.
constexpr const char CLAP_EXT_GUI[] = "clap.gui";
constexpr const char CLAP_WINDOW_API_X11[] = "x11";

struct clap_window_t {
  const char* api;
  union {
    void* cocoa;
    unsigned long x11;
    void* win32;
    void* ptr;
  };
};

struct clap_gui_resize_hints_t {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  std::uint32_t aspect_ratio_width;
  std::uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t {
  bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*set_scale)(const clap_plugin_t* plugin, double scale);
  bool (*get_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*can_resize)(const clap_plugin_t* plugin);
  bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool (*adjust_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*set_size)(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height);
  bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool (*show)(const clap_plugin_t* plugin);
  bool (*hide)(const clap_plugin_t* plugin);
};

// Timers the host runs on its main thread.
constexpr const char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";

struct clap_plugin_timer_support_t {
  void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};

struct clap_host_timer_support_t {
  bool (*register_timer)(const clap_host_t* host, std::uint32_t period_ms, clap_id* timer_id);
  bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

}  // extern "C"
