// The module's Qt application: made only when wanted, only with a display, always on xcb (even
// where the environment asks for another platform) and Qt's UNIX event dispatcher, never beside an
// application that exists; in a process that runs Qt 5 too, kept until the process ends.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <cstdlib>
#include <string>

#include "qmfcapp.h"

namespace {

TEST(ModuleApplication, MadeOnlyWithADisplayOnXcbAndAgainAfterRelease) {
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  ASSERT_FALSE(display.empty()) << "this test needs an X server (run under xvfb-run)";
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  setenv("DISPLAY", ":919", 1);
  EXPECT_FALSE(QMfcApp::pluginInstance());
  EXPECT_EQ(QCoreApplication::instance(), nullptr);

  setenv("DISPLAY", display.c_str(), 1);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(QMfcApp::pluginInstance()) << "round " << round;
    EXPECT_TRUE(QMfcApp::ownsInstance());
    EXPECT_EQ(QGuiApplication::platformName(), "xcb") << "round " << round;
    // Qt's UNIX dispatcher, which joins no GLib loop of a host's.
    EXPECT_TRUE(QCoreApplication::eventDispatcher()->inherits("QEventDispatcherUNIX")) << "round " << round;
    QMfcApp::release();
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_FALSE(QMfcApp::ownsInstance());
  }
}

TEST(ModuleApplication, HostsOwnApplicationIsUsedAndLeftAlone) {
  static int argc = 1;
  static char name[] = "host";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication host(argc, argv);
  EXPECT_TRUE(QMfcApp::pluginInstance());
  EXPECT_EQ(QCoreApplication::instance(), &host);
  EXPECT_FALSE(QMfcApp::ownsInstance());
  QMfcApp::release();
  EXPECT_EQ(QCoreApplication::instance(), &host);
}

// Last: Qt 5 stays loaded, as in a Qt 5 host's process, and so does the application made there.
TEST(ModuleApplication, BesideQt5TheApplicationStaysUntilTheProcessEnds) {
  ASSERT_NE(dlopen("libQt5Core.so.5", RTLD_NOW | RTLD_LOCAL), nullptr) << dlerror();
  ASSERT_TRUE(QMfcApp::pluginInstance());
  QCoreApplication* made = QCoreApplication::instance();
  EXPECT_TRUE(QMfcApp::keptForProcess());
  QMfcApp::addClient();
  QMfcApp::removeClient();
  QMfcApp::release();
  EXPECT_EQ(QCoreApplication::instance(), made) << "its display would close, running the host's Xlib hooks";
  EXPECT_TRUE(QMfcApp::pluginInstance()) << "the next editor takes it up again";
  EXPECT_EQ(QCoreApplication::instance(), made);
}

}  // namespace
