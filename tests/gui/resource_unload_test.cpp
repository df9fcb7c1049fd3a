// The resource compiler's registration as a module carries it: present from dlopen, gone after
// dlclose. The probe module is built from the same object as QtZaltrim.so's skin, but without
// being pinned in memory, so its unload really runs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QFile>
#include <string>

#include "test_support.h"

namespace {

TEST(ResourceRegistration, ArrivesWithTheModuleAndLeavesWithIt) {
  const std::string probe = test_support::build_dir() + "/zaltrim_resource_probe.so";
  const QString logo = ":/VSTLogoAlpha.png";
  ASSERT_FALSE(QFile::exists(logo));
  void* module = dlopen(probe.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_TRUE(QFile::exists(logo));
  EXPECT_TRUE(QFile::exists(":/scrollwheel/Darov/wheel_3.svg"));
  ASSERT_EQ(dlclose(module), 0);
  EXPECT_FALSE(QFile::exists(logo));
  EXPECT_FALSE(QFile::exists(":/scrollwheel/Darov/wheel_3.svg"));
}

}  // namespace
