// A GTK 2 host on a GNOME desktop: with the GTK 3 platform theme installed, Qt would load GTK 3
// into the process, whose calls then bind to GTK 2's symbols. The module's own Qt application
// must not: the editor opens, and no GTK 3 library is mapped.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "test_support.h"
#include "vst_host.h"
#include "x11_support.h"

namespace {

bool mapped(const std::string& library) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);)
    if (line.find(library) != std::string::npos) return true;
  return false;
}

TEST(Gtk2Host, EditorOpensWithoutLoadingGtk3) {
  setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
  // As the host links it: global, initialised before any plug-in is loaded. Never unloaded.
  void* gtk2 = dlopen("libgtk-x11-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(gtk2, nullptr) << dlerror();
  const auto gtk_init_check = reinterpret_cast<int (*)(int*, char***)>(dlsym(gtk2, "gtk_init_check"));
  ASSERT_NE(gtk_init_check, nullptr);
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));

  const editor_test::HostWindow window(0, 0, 200, 150);
  zhost::Module module(test_support::module_path());
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, window.handle()), 1);
  for (int i = 0; i < 5; ++i) plugin.dispatch(effEditIdle);
  EXPECT_TRUE(mapped("libQt6XcbQpa")) << "the editor runs on xcb";
  EXPECT_FALSE(mapped("libgtk-3")) << "a platform theme brought GTK 3 into a GTK 2 host";
  plugin.dispatch(effEditClose);
}

}  // namespace
