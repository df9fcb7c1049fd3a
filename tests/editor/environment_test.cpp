// The module never writes the process environment. Hosts read it from other threads at any time,
// and the C library's getenv takes no lock: a setenv of a new name moves the array of entries and
// frees the old one under a reader's feet. Here a plain X11 host opens and closes the editor, each
// time making and deleting the module's Qt application, while two threads keep reading the
// environment; the functions that write it are replaced in this process, so that every call from
// any library is counted before it goes on to the C library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "test_support.h"
#include "vst_host.h"
#include "x11_support.h"

namespace {

std::atomic<int> environment_writes{0};

template <typename Function>
Function c_library(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// The test program exports these, so they come before the C library's for every library loaded.
extern "C" [[gnu::visibility("default")]] int setenv(const char* name, const char* value, int overwrite) noexcept {
  ++environment_writes;
  static const auto write = c_library<int (*)(const char*, const char*, int)>("setenv");
  return write(name, value, overwrite);
}

extern "C" [[gnu::visibility("default")]] int unsetenv(const char* name) noexcept {
  ++environment_writes;
  static const auto write = c_library<int (*)(const char*)>("unsetenv");
  return write(name);
}

extern "C" [[gnu::visibility("default")]] int putenv(char* entry) noexcept {
  ++environment_writes;
  static const auto write = c_library<int (*)(char*)>("putenv");
  return write(entry);
}

extern "C" [[gnu::visibility("default")]] int clearenv() noexcept {
  ++environment_writes;
  static const auto write = c_library<int (*)()>("clearenv");
  return write();
}

namespace {

// Reads the environment to its end, over and over, until told to stop.
class EnvironmentReader {
 public:
  EnvironmentReader()
      : thread([this] {
          while (!stop.load(std::memory_order_relaxed))
            if (!std::getenv("ZALTRIM_NEVER_SET")) reads.fetch_add(1, std::memory_order_relaxed);
        }) {}
  ~EnvironmentReader() {
    stop = true;
    thread.join();
  }
  EnvironmentReader(const EnvironmentReader&) = delete;
  EnvironmentReader& operator=(const EnvironmentReader&) = delete;

  long count() const { return reads.load(); }

 private:
  std::atomic<bool> stop{false};
  std::atomic<long> reads{0};
  std::thread thread;
};

TEST(ModuleEnvironment, EditorOpenCloseCyclesWriteNothingWhileOtherThreadsRead) {
  const editor_test::HostWindow window(40, 50, 100, 80);
  ASSERT_TRUE(window.ok()) << "this test needs an X server (run under xvfb-run)";
  zhost::Module module(test_support::module_path());
  zhost::Host host;
  zhost::Plugin plugin(module, host);

  const int writes_before = environment_writes.load();
  int opened = 0;
  long reads = 0;
  {
    const EnvironmentReader first, second;
    for (int cycle = 0; cycle < 30; ++cycle) {
      opened += plugin.dispatch(effEditOpen, 0, 0, window.handle()) == 1;
      plugin.dispatch(effEditIdle);
      plugin.dispatch(effEditClose);
    }
    reads = first.count() + second.count();
  }
  std::printf("%d editors opened and closed under %ld reads of the environment\n", opened, reads);
  EXPECT_EQ(opened, 30);
  EXPECT_EQ(environment_writes.load() - writes_before, 0) << "calls that wrote the environment";
}

}  // namespace
