#include "lv2_ui_scenario.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "panel_screen.h"
#include "test_support.h"
#include "x11_support.h"

namespace host_model {

namespace {

constexpr std::uint32_t kGainPort = 2;
constexpr std::uint32_t kOversamplingPort = 3;
constexpr std::uint32_t kLatencyPort = 5;
constexpr const char* kUiUri = "https://orvendel.example/plugins/zaltrim#ui";

std::string format(const char* pattern, double value) {
  char text[96];
  std::snprintf(text, sizeof(text), pattern, value);
  return text;
}

std::size_t count(const std::vector<UiCall>& calls, UiCall::Kind kind) {
  std::size_t found = 0;
  for (const UiCall& call : calls) found += call.kind == kind;
  return found;
}

// The children of an X window, as the server has them now.
std::vector<::Window> children_of(Display* display, unsigned long window) {
  XSync(display, False);
  ::Window root, parent, *list = nullptr;
  unsigned int number = 0;
  if (!XQueryTree(display, window, &root, &parent, &list, &number)) return {};
  std::vector<::Window> found(list, list + number);
  if (list) XFree(list);
  return found;
}

Size window_size(Display* display, unsigned long window) {
  ::Window root;
  int x, y;
  unsigned int width = 0, height = 0, border, depth;
  XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
  return {static_cast<int>(width), static_cast<int>(height)};
}

// Without a window of the host's, or (unless the host's own Qt has one) without a display, the
// module must refuse the UI rather than let Qt end the host.
void check_refusals(Results& results, UiHost& host, UiHostModel& model) {
  results.check(!host.instantiate(model, 0), "a host without ui:parent gets no UI");
  if (!model.needs_display_for_ui()) return;
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  const bool refused = !host.instantiate(model, 1);
  setenv("DISPLAY", display.c_str(), 1);
  results.check(refused, "a host without a display gets no UI, and lives on");
}

void check_idle(Results& results, const UiHost& host, const UiHostModel& model) {
  const bool driven = model.runs_qt() ? host.idle_calls == 0 : host.idle_calls > 0;
  results.check(driven && host.idle_refusals == 0, "the host's idle calls, if any, run the UI, which stays open",
                format("%g calls", host.idle_calls));
}

void check_descriptor(Results& results, const UiHost& host) {
  const LV2UI_Descriptor* descriptor = host.descriptor();
  results.check(descriptor && std::strcmp(descriptor->URI, kUiUri) == 0, "the module describes the bundle's UI");
  results.check(descriptor && descriptor->extension_data(LV2_UI__idleInterface) &&
                    !descriptor->extension_data(LV2_UI__showInterface),
                "... offers the idle interface and nothing it does not have");
}

void check_embedding(Results& results, const UiHost& host, Display* display, unsigned long window,
                     const std::vector<::Window>& host_children) {
  std::vector<::Window> expected = host_children;
  expected.push_back(host.widget());
  const Size widget = window_size(display, host.widget());
  results.check(children_of(display, window) == expected, "the UI's widget is its own window inside the host's");
  results.check(
      host.requested_width > 0 && host.requested_width == widget.width && host.requested_height == widget.height,
      "the UI asks the host for the panel's size",
      format("asked %g", host.requested_width) + format(" x %g", host.requested_height) +
          format(", panel %g", widget.width) + format(" x %g", widget.height));
  // A GTK host's wrapper sizes the UI's window to its own allocation within these bounds: without
  // a maximum the panel is stretched to the host window's width.
  XSizeHints hints{};
  long supplied = 0;
  XGetWMNormalHints(display, host.widget(), &hints, &supplied);
  const bool fixed = (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == widget.width &&
                     hints.max_width == widget.width && hints.min_height == widget.height &&
                     hints.max_height == widget.height;
  results.check(fixed, "the UI's window gives its size as both its least and its largest",
                format("least %g", hints.min_width) + format(" x %g", hints.min_height) +
                    format(", largest %g", hints.max_width) + format(" x %g", hints.max_height));
}

void check_host_gain(Results& results, UiHost& host, UiHostModel& model, const Editor& editor) {
  host.calls.clear();
  const std::vector<Rgb> before = editor.dial_picture();
  host.port_event(kGainPort, -30.0f, 1);
  host.port_event(kLatencyPort, 12.0f);
  model.pump(300);
  results.check(differing_pixels(before, editor.dial_picture()) == 0,
                "events of other formats and ports leave the dial alone");
  host.port_event(kGainPort, 24.0f);
  model.pump(300);
  const int changed = differing_pixels(before, editor.dial_picture());
  results.check(changed > 20, "a gain port event moves the dial", format("%g pixels changed", changed));
  results.check(host.calls.empty(), "... and nothing is written back",
                format("%g calls", static_cast<double>(host.calls.size())));
}

// A press and drag is one touch, with the dial's dB values written in between.
void check_dial_drag(Results& results, UiHost& host, UiHostModel& model, const Editor& editor) {
  host.calls.clear();
  editor.drag(kDialTop, kDialRight);
  model.pump(300);
  const std::vector<UiCall>& calls = host.calls;
  const std::size_t writes = count(calls, UiCall::kWrite);
  bool on_tenths = writes > 0;
  for (const UiCall& call : calls)
    if (call.kind == UiCall::kWrite)
      on_tenths = on_tenths && call.port == kGainPort && std::fabs(call.value) <= 40.0f &&
                  std::fabs(call.value * 10.0f - std::round(call.value * 10.0f)) < 1e-3f;
  results.check(calls.size() >= 3 && calls.front().kind == UiCall::kTouch && calls.back().kind == UiCall::kRelease &&
                    calls.front().port == kGainPort && calls.back().port == kGainPort &&
                    count(calls, UiCall::kTouch) == 1 && count(calls, UiCall::kRelease) == 1 &&
                    writes + 2 == calls.size(),
                "a drag on the dial is one touch of the gain port around its writes",
                format("%g writes", static_cast<double>(writes)));
  results.check(on_tenths, "... each a float in dB on the dial's tenths, within -40..40 dB",
                writes ? format("last %g dB", calls[calls.size() - 2].value) : std::string("no writes"));
}

// The host echoes the UI's own last value back: the dial stays where the user left it.
void check_echo(Results& results, UiHost& host, UiHostModel& model, const Editor& editor) {
  float last = 0.0f;
  for (const UiCall& call : host.calls)
    if (call.kind == UiCall::kWrite) last = call.value;
  host.calls.clear();
  const std::vector<Rgb> before = editor.dial_picture();
  host.port_event(kGainPort, last);
  model.pump(200);
  results.check(host.calls.empty() && differing_pixels(before, editor.dial_picture()) == 0,
                "the host's echo of the last write changes nothing");
}

void check_factor(Results& results, UiHost& host, UiHostModel& model, const Editor& editor) {
  host.calls.clear();
  const bool listed = editor.click_factor(2);
  results.check(listed && host.calls.size() == 1 && host.calls.front().kind == UiCall::kWrite &&
                    host.calls.front().port == kOversamplingPort && host.calls.front().value == 8.0f,
                "a click on 8 in the opened factor list writes 8 to the oversampling port",
                listed ? format("%g calls", static_cast<double>(host.calls.size())) : std::string("no list appeared"));
  host.calls.clear();
  editor.pick_last_factor();
  const std::vector<UiCall>& calls = host.calls;
  results.check(calls.size() == 1 && calls.front().kind == UiCall::kWrite && calls.front().port == kOversamplingPort &&
                    calls.front().value == 32.0f,
                "picking 32 in the factor list writes 32 to the oversampling port, and only that",
                format("%g calls", static_cast<double>(calls.size())));
  const std::vector<Rgb> before = editor.picture();
  host.calls.clear();
  host.port_event(kOversamplingPort, 4.0f);
  model.pump(300);
  const std::vector<Rgb> shown = editor.picture();
  host.port_event(kOversamplingPort, 5.0f);
  model.pump(300);
  results.check(
      differing_pixels(before, shown) > 0 && differing_pixels(shown, editor.picture()) == 0 && host.calls.empty(),
      "the factor port's events select the factor, a value between two the one the plug-in runs (5: 4), write nothing");
}

void check_cleanup(Results& results, UiHost& host, UiHostModel& model, Display* display, unsigned long window,
                   const std::vector<::Window>& host_children) {
  host.cleanup();
  model.pump(100);
  results.check(children_of(display, window) == host_children, "cleanup takes the panel out of the host's window");
}

void check_cycles(Results& results, UiHost& host, UiHostModel& model, unsigned long window) {
  const double growth = heap_growth_of_cycles(model, [&] {
    host.instantiate(model, window);
    model.pump(30);
    host.cleanup();
  });
  results.check(growth < 512 * 1024, "50 instantiate/cleanup cycles do not grow memory", format("%.0f bytes", growth));
}

}  // namespace

UiHost::UiHost() {
  module = dlopen((test_support::build_dir() + "/zaltrim.lv2/zaltrim_ui.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "%s\n", dlerror());
    return;
  }
  const auto lookup = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
  ui_descriptor = lookup ? lookup(0) : nullptr;
  if (ui_descriptor)
    idle_interface = static_cast<const LV2UI_Idle_Interface*>(ui_descriptor->extension_data(LV2_UI__idleInterface));
}

UiHost::~UiHost() {
  cleanup();
  if (module) dlclose(module);
}

namespace {

// The bundle's plug-ins share one UI; ZALTRIM_LV2_PLUGIN names the one a run opens it for.
const char* plugin_uri() {
  const char* uri = std::getenv("ZALTRIM_LV2_PLUGIN");
  return uri ? uri : "https://orvendel.example/plugins/zaltrim";
}

}  // namespace

bool UiHost::instantiate(UiHostModel& host_model, unsigned long parent_window) {
  model = &host_model;
  parent = parent_window;
  const LV2_Feature parent_feature{LV2_UI__parent, reinterpret_cast<void*>(parent_window)};
  const LV2_Feature resize{LV2_UI__resize, &resize_feature};
  const LV2_Feature touch{LV2_UI__touch, &touch_feature};
  const LV2_Feature* with_parent[] = {&parent_feature, &resize, &touch, nullptr};
  const LV2_Feature* without_parent[] = {&resize, &touch, nullptr};
  handle =
      ui_descriptor->instantiate(ui_descriptor, plugin_uri(), (test_support::build_dir() + "/zaltrim.lv2/").c_str(),
                                 write, this, &ui_widget, parent_window ? with_parent : without_parent);
  return handle != nullptr;
}

void UiHost::cleanup() {
  if (!handle) return;
  ui_descriptor->cleanup(handle);
  handle = nullptr;
}

void UiHost::port_event(std::uint32_t port, float value, std::uint32_t format) const {
  ui_descriptor->port_event(handle, port, sizeof(value), format, &value);
}

void UiHost::idle() {
  if (!handle || !idle_interface) return;
  ++idle_calls;
  if (idle_interface->idle(handle) != 0) ++idle_refusals;
}

void UiHost::write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                   const void* buffer) {
  auto* host = static_cast<UiHost*>(controller);
  float value = 0.0f;
  if (size == sizeof(value) && protocol == 0) std::memcpy(&value, buffer, sizeof(value));
  const bool well_formed = size == sizeof(value) && protocol == 0;
  host->calls.push_back({well_formed ? UiCall::kWrite : UiCall::kMalformedWrite, port, value});
}

int UiHost::resize(LV2UI_Feature_Handle feature_host, int width, int height) {
  auto* host = static_cast<UiHost*>(feature_host);
  host->requested_width = width;
  host->requested_height = height;
  host->model->resize_window(host->parent, width, height);
  return 0;
}

void UiHost::touch(LV2UI_Feature_Handle feature_host, std::uint32_t port, bool grabbed) {
  static_cast<UiHost*>(feature_host)->calls.push_back({grabbed ? UiCall::kTouch : UiCall::kRelease, port, 0.0f});
}

Results play_ui_scenario(UiHost& host, UiHostModel& model) {
  Results results;
  const Screen screen;
  Display* display = XOpenDisplay(nullptr);
  if (!host.descriptor() || !screen.ok() || !display) {
    results.check(false, "the UI module loads on a display");
    return results;
  }
  check_descriptor(results, host);
  check_refusals(results, host, model);
  const unsigned long window = model.make_window(64, 64);
  // A toolkit's window may have children of its own (GDK's focus window).
  const std::vector<::Window> host_children = children_of(display, window);
  if (!host.instantiate(model, window)) {
    results.check(false, "the UI opens in the host's window");
    XCloseDisplay(display);
    return results;
  }
  model.pump(600);
  check_embedding(results, host, display, window, host_children);
  const Editor editor(model, screen, window_size(display, window), window);
  check_drawing(results, editor, window_size(display, window));
  check_host_gain(results, host, model, editor);
  check_dial_drag(results, host, model, editor);
  check_echo(results, host, model, editor);
  check_factor(results, host, model, editor);
  check_idle(results, host, model);
  check_cleanup(results, host, model, display, window, host_children);
  check_cycles(results, host, model, window);
  model.destroy_window(window);
  XCloseDisplay(display);
  return results;
}

}  // namespace host_model
