// The panel and the bridge in one process on Qt's offscreen platform: the value mappings, how
// the dial follows the host and tells the host of the user's gestures, the factor list, the about
// box and the editor's open/close life.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "QZaltrim.h"
#include "qtsvgdial.h"
#include "zaltrim_effect.h"
#include "zaltrim_gui.h"

namespace {

// What the effect told its host, in order: the opcode and the value it carried.
struct HostCall {
  VstInt32 opcode;
  float value;
};
std::vector<HostCall> host_calls;

VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float opt) {
  if (opcode == audioMasterVersion) return 2400;
  host_calls.push_back({opcode, opt});
  return 0;
}

std::vector<VstInt32> opcodes_told() {
  std::vector<VstInt32> opcodes;
  for (const HostCall& call : host_calls) opcodes.push_back(call.opcode);
  return opcodes;
}

// The platform cannot embed here, so the bridge's panel is a top-level widget of its own.
void* const kHostWindow = reinterpret_cast<void*>(0x1234);

// ---------------------------------------------------------------------------------------------
// The mappings

TEST(PanelMapping, GainOfPosition) {
  EXPECT_EQ(QZaltrim::gain(0), 1.0f);
  EXPECT_EQ(QZaltrim::gain(200), 10.0f);
  EXPECT_EQ(QZaltrim::gain(400), 100.0f);
  EXPECT_EQ(QZaltrim::gain(-400), 0.01f);
  EXPECT_GT(QZaltrim::gain(-60), 0.5f);
  EXPECT_LT(QZaltrim::gain(60), 2.0f);
}

TEST(PanelMapping, PositionIsTheNearestTenthOfADbOnTheDial) {
  EXPECT_EQ(QZaltrim::position(1.0f), 0);
  EXPECT_EQ(QZaltrim::position(0.5f), -60);  // -60.206
  EXPECT_EQ(QZaltrim::position(2.0f), 60);
  EXPECT_EQ(QZaltrim::position(3.98107f), 120);  // 11.99999 dB: a truncation would show 11.9
  EXPECT_EQ(QZaltrim::position(0.1f), -200);
  EXPECT_EQ(QZaltrim::position(1000.0f), 400);
  EXPECT_EQ(QZaltrim::position(std::numeric_limits<float>::infinity()), 400);
  EXPECT_EQ(QZaltrim::position(0.0f), -400);
  EXPECT_EQ(QZaltrim::position(-1.0f), -400);
  EXPECT_EQ(QZaltrim::position(std::numeric_limits<float>::quiet_NaN()), -400);
}

TEST(PanelMapping, EveryDialPositionMapsOntoItself) {
  for (int p = -400; p <= 400; ++p) ASSERT_EQ(QZaltrim::position(QZaltrim::gain(p)), p);
}

// The dial's label and the host's display text show the same tenth of a dB for every value a
// host can set.
TEST(PanelMapping, DialAgreesWithTheHostsDisplay) {
  ZaltrimEffect effect(nullptr);
  for (int step = 0; step <= 1000; ++step) {
    effect.setParameter(0, static_cast<float>(step) / 1000.0f);
    char display[kVstMaxParamStrLen + 1] = {};
    effect.getParameterDisplay(0, display);
    EXPECT_EQ(QZaltrim::position(effect.get_gain()), std::lround(10.0 * std::stod(display))) << display;
  }
}

TEST(PanelMapping, IndexOfFactorEndsForEveryInteger) {
  EXPECT_EQ(QZaltrim::index(2), 0);
  EXPECT_EQ(QZaltrim::index(4), 1);
  EXPECT_EQ(QZaltrim::index(8), 2);
  EXPECT_EQ(QZaltrim::index(16), 3);
  EXPECT_EQ(QZaltrim::index(32), 4);
  EXPECT_EQ(QZaltrim::index(0), -2);
  EXPECT_EQ(QZaltrim::index(-1), 30);
  EXPECT_EQ(QZaltrim::index(INT_MIN), 30);
  EXPECT_EQ(QZaltrim::index(INT_MAX), 29);
}

// ---------------------------------------------------------------------------------------------
// The meta-objects: hosts' scripting bridges and old-style connections find these by name

std::vector<std::string> own_methods(const QMetaObject& meta) {
  std::vector<std::string> methods;
  for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
    const QMetaMethod method = meta.method(i);
    std::string entry = method.methodSignature().toStdString();
    for (const QByteArray& name : method.parameterNames()) entry += " " + name.toStdString();
    methods.push_back(entry);
  }
  return methods;
}

TEST(EditorMetaObjects, NamesAndOrder) {
  EXPECT_STREQ(QZaltrim::staticMetaObject.className(), "QZaltrim");
  EXPECT_STREQ(QZaltrim::staticMetaObject.superClass()->className(), "QWinWidget");
  EXPECT_EQ(own_methods(QZaltrim::staticMetaObject),
            (std::vector<std::string>{"update_gain(int) value", "update_gain(float) value",
                                      "update_oversampling(int) value", "update_oversampling_log(int) value"}));
  EXPECT_STREQ(GUIZaltrim::staticMetaObject.className(), "GUIZaltrim");
  EXPECT_EQ(own_methods(GUIZaltrim::staticMetaObject),
            (std::vector<std::string>{"update_gain(float) value", "update_oversampling(int) oversampling"}));
  ZaltrimEffect effect(quiet_host);
  auto* bridge = static_cast<GUIZaltrim*>(effect.getEditor());
  EXPECT_EQ(bridge->qt_metacast("AEffEditor"), static_cast<AEffEditor*>(bridge));
  EXPECT_EQ(bridge->getEffect(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The editor through its bridge

class Editor : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "editor_panel_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }

  void SetUp() override {
    host_calls.clear();
    QObject::connect(effect.get(), &ZaltrimEffect::update_gain, [this](float value) { written.push_back(value); });
  }

  void TearDown() override {
    bridge()->close();
    effect.reset();
    for (QWidget* widget : QApplication::topLevelWidgets()) delete qobject_cast<QMessageBox*>(widget);
  }

  GUIZaltrim* bridge() { return static_cast<GUIZaltrim*>(effect->getEditor()); }

  // Opens the editor and lets it take what changed.
  QZaltrim* open() {
    EXPECT_TRUE(bridge()->open(kHostWindow));
    settle();
    return panel();
  }

  // What a host's idle call and loop do: the panel gets the latest values.
  void settle() {
    bridge()->idle();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  }

  static QZaltrim* panel() {
    QZaltrim* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* candidate = qobject_cast<QZaltrim*>(widget)) {
        EXPECT_EQ(found, nullptr) << "more than one panel";
        found = candidate;
      }
    }
    return found;
  }

  static QtSVGDial* dial() { return panel()->findChild<QtSVGDial*>(); }
  static QComboBox* combo() { return panel()->findChild<QComboBox*>(); }
  static QLabel* label(const QString& text) {
    for (QLabel* candidate : panel()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
      if (candidate->text() == text) return candidate;
    return nullptr;
  }

  static std::vector<QMessageBox*> about_boxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes.push_back(box);
    return boxes;
  }

  std::unique_ptr<ZaltrimEffect> effect = std::make_unique<ZaltrimEffect>(quiet_host);
  std::vector<float> written;
};

TEST_F(Editor, RectBeforeOpenIsThePanelSize) {
  ERect* before = nullptr;
  ASSERT_TRUE(bridge()->getRect(&before));
  const ERect measured = *before;
  EXPECT_GT(measured.right, 0);
  EXPECT_GT(measured.bottom, 0);

  QZaltrim* shown = open();
  ERect* after = nullptr;
  ASSERT_TRUE(bridge()->getRect(&after));
  EXPECT_EQ(after->top, 0);
  EXPECT_EQ(after->left, 0);
  EXPECT_EQ(after->right, shown->width());
  EXPECT_EQ(after->bottom, shown->height());
  EXPECT_EQ(measured.right, after->right);
  EXPECT_EQ(measured.bottom, after->bottom);
}

TEST_F(Editor, UnityGainPutsTheDialAtZeroAndWritesNothing) {
  open();
  EXPECT_EQ(dial()->value(), 0);
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(effect->get_gain(), 1.0f);
}

TEST_F(Editor, HostGainsShowOnTheDialAndStayAsTheHostSetThem) {
  for (const auto& [gain, position] : {std::pair{0.5f, -60}, std::pair{2.0f, 60}, std::pair{1.2345f, 18}}) {
    effect->set_gain(gain);
    written.clear();
    open();
    EXPECT_EQ(dial()->value(), position) << gain;
    EXPECT_TRUE(written.empty()) << "nothing rounded to the dial goes back into the effect";
    EXPECT_EQ(effect->get_gain(), gain);
  }
  EXPECT_TRUE(host_calls.empty()) << "opening the editor is no gesture";
}

TEST_F(Editor, TurningTheDialWritesTheGainAtOnce) {
  open();
  dial()->setValue(200);
  EXPECT_EQ(effect->get_gain(), 10.0f);
  dial()->setValue(400);
  EXPECT_EQ(effect->get_gain(), 100.0f);
  dial()->setValue(-400);
  EXPECT_EQ(effect->get_gain(), 0.01f);
  settle();
  EXPECT_EQ(dial()->value(), -400);
}

TEST_F(Editor, HostGainsOutsideTheDialPinTheDialAndStay) {
  open();
  effect->set_gain(1000.0f);
  EXPECT_EQ(dial()->value(), 0) << "the host's change reaches the dial only when the editor runs";
  settle();
  EXPECT_EQ(dial()->value(), 400);
  EXPECT_EQ(effect->get_gain(), 1000.0f);

  effect->set_gain(0.0f);
  settle();
  EXPECT_EQ(dial()->value(), -400);
  EXPECT_EQ(effect->get_gain(), 0.0f);
  EXPECT_TRUE(host_calls.empty());
}

TEST_F(Editor, HostAutomationMovesTheDialAndNeverComesBack) {
  open();
  for (float value : {0.8f, 0.8123f, 0.1f, 0.55f}) {
    effect->setParameter(0, value);
    settle();
    EXPECT_EQ(dial()->value(), QZaltrim::position(ZaltrimEffect::gain_of_normalized(value)));
    EXPECT_EQ(effect->get_gain(), ZaltrimEffect::gain_of_normalized(value)) << "not rounded to the dial's tenths";
  }
  EXPECT_TRUE(host_calls.empty()) << "a change from the host is not told back to it";
}

TEST_F(Editor, ADragIsOneEditWithAChangePerStep) {
  open();
  const QPoint centre = dial()->rect().center();
  QTest::mousePress(dial(), Qt::LeftButton, {}, centre + QPoint(0, -20));
  QTest::mouseMove(dial(), centre + QPoint(15, -15));
  QTest::mouseMove(dial(), centre + QPoint(20, 0));
  QTest::mouseRelease(dial(), Qt::LeftButton, {}, centre + QPoint(20, 0));
  const std::vector<VstInt32> told = opcodes_told();
  ASSERT_GE(told.size(), 3u);
  EXPECT_EQ(told.front(), audioMasterBeginEdit);
  EXPECT_EQ(told.back(), audioMasterEndEdit);
  for (std::size_t i = 1; i + 1 < told.size(); ++i) EXPECT_EQ(told[i], audioMasterAutomate) << i;
  EXPECT_GT(dial()->value(), 0);
  EXPECT_EQ(host_calls[told.size() - 2].value, effect->getParameter(0)) << "the host hears the value in force";
  EXPECT_EQ(effect->get_gain(), QZaltrim::gain(dial()->value()));
}

TEST_F(Editor, AKeyStepIsAnEditOfItsOwn) {
  open();
  dial()->setFocus();
  QTest::keyClick(dial(), Qt::Key_Up);
  QTest::keyClick(dial(), Qt::Key_Up);
  EXPECT_EQ(opcodes_told(), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit,
                                                   audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  EXPECT_EQ(dial()->value(), 2);
  EXPECT_EQ(host_calls[4].value, ZaltrimEffect::normalized_of_gain(QZaltrim::gain(2)));
}

TEST_F(Editor, ChoosingAFactorRebuildsOnceAndTheListStays) {
  open();
  QSignalSpy rebuilt(effect.get(), &ZaltrimEffect::update_oversampling);
  QTest::keyClicks(combo(), "16");
  settle();
  ASSERT_EQ(rebuilt.count(), 1);
  EXPECT_EQ(rebuilt.at(0).at(0).toInt(), 16);
  EXPECT_EQ(effect->get_oversampling(), 16);
  EXPECT_EQ(combo()->currentText(), "16");
  // One edit of the factor parameter, carrying the new factor's value, then the display update.
  EXPECT_EQ(opcodes_told(), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit,
                                                   audioMasterUpdateDisplay}))
      << "hosts learn that the state changed";
  EXPECT_EQ(host_calls[1].value, 0.75f);
}

// The list opened by a press on the box, and at once a click on 8 without a move: QComboBox's own
// rule (a timer from the opening press) ignores that release, as MusE showed for every click.
TEST_F(Editor, AClickOnAnEntryOfTheOpenedListPicksIt) {
  open();
  QTest::mouseClick(combo(), Qt::LeftButton, {}, combo()->rect().center());
  QAbstractItemView* list = combo()->view();
  ASSERT_TRUE(list->isVisible());
  const QPoint eight = list->visualRect(list->model()->index(2, 0)).center();
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, eight);
  EXPECT_TRUE(list->isVisible()) << "a release without its press in the list (the opening click's) picks nothing";
  EXPECT_EQ(effect->get_oversampling(), 2);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, eight);
  settle();
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(combo()->currentText(), "8");
  EXPECT_EQ(effect->get_oversampling(), 8);
  EXPECT_EQ(opcodes_told(), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit,
                                                   audioMasterUpdateDisplay}));
}

// What Qt does to open pop-ups when the application loses the focus to another (the host's Qt 5
// windows in MusE): it closes them, which would destroy the list's window.
TEST_F(Editor, ClosingTheOpenedListHidesItAndKeepsItsWindow) {
  open();
  combo()->showPopup();
  QWidget* list_window = combo()->view()->window();
  ASSERT_NE(list_window, panel());
  ASSERT_TRUE(list_window->isVisible());
  list_window->close();
  EXPECT_FALSE(list_window->isVisible());
  EXPECT_TRUE(list_window->testAttribute(Qt::WA_WState_Created)) << "made anew, it would take the embedded panel's "
                                                                    "window as its transient parent";
  combo()->showPopup();
  EXPECT_TRUE(list_window->isVisible()) << "the list opens again";
  combo()->hidePopup();
}

TEST_F(Editor, BridgeFactorShowsWithoutCallingTheEffect) {
  open();
  QSignalSpy rebuilt(effect.get(), &ZaltrimEffect::update_oversampling);
  emit bridge()->update_oversampling(8);
  EXPECT_EQ(combo()->currentText(), "8");
  emit bridge()->update_oversampling(12);
  emit bridge()->update_oversampling(0);
  emit bridge()->update_oversampling(-8);
  EXPECT_EQ(combo()->currentText(), "8") << "an unknown factor leaves the list as it is";
  EXPECT_EQ(rebuilt.count(), 0);
  EXPECT_EQ(effect->get_oversampling(), 2);
  EXPECT_TRUE(host_calls.empty());
}

TEST_F(Editor, ListShowsTheFactorInForceWhenOpened) {
  effect->set_oversampling(32);
  open();
  EXPECT_EQ(combo()->currentText(), "32");
}

TEST_F(Editor, ClicksOnBackgroundAndLabelsShowTheAboutBox) {
  QZaltrim* shown = open();
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    for (QWidget* target : {static_cast<QWidget*>(shown), static_cast<QWidget*>(label("Gain")),
                            static_cast<QWidget*>(label("Oversampling"))}) {
      const QPoint where = target == shown ? QPoint(4, shown->height() - 4) : target->rect().center();
      QTest::mouseClick(target, button, {}, where);
      const auto boxes = about_boxes();
      ASSERT_EQ(boxes.size(), 1u) << "button " << button << " on " << target->metaObject()->className();
      boxes.front()->close();
      settle();
    }
  }
}

TEST_F(Editor, ClicksOnTheControlsDoNot) {
  open();
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    QTest::mouseClick(dial(), button, {}, dial()->rect().center());
    QTest::mouseClick(combo(), button, {}, combo()->rect().center());
    combo()->hidePopup();
    EXPECT_TRUE(about_boxes().empty()) << "button " << button;
  }
}

TEST_F(Editor, AboutBoxIsShownWithoutBlockingAndGoesWhenClosed) {
  QZaltrim* shown = open();
  QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(4, 4));  // returns: no modal loop runs
  auto boxes = about_boxes();
  ASSERT_EQ(boxes.size(), 1u);
  QPointer<QMessageBox> box = boxes.front();
  EXPECT_EQ(box->windowTitle(), "About QtZaltrim");
  EXPECT_EQ(box->text(),
            "QtZaltrim is a VST(tm) Windows plugin made by Orvendel (<a "
            "href=\"https://orvendel.example/\">https://orvendel.example/</a>)");
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  EXPECT_FALSE(box->iconPixmap().isNull()) << "the logo from the module's resources";

  QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(about_boxes().size(), 1u) << "a second click raises the box that is open";

  box->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(box.isNull());
}

TEST_F(Editor, ClosingTheEditorTakesAnOpenAboutBoxWithIt) {
  QZaltrim* shown = open();
  QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(4, 4));
  ASSERT_EQ(about_boxes().size(), 1u);
  QPointer<QMessageBox> box = about_boxes().front();
  bridge()->close();
  EXPECT_TRUE(box.isNull());
  EXPECT_EQ(panel(), nullptr);
}

TEST_F(Editor, ReopenedPanelStartsFromTheCurrentGain) {
  open();
  bridge()->close();
  EXPECT_EQ(panel(), nullptr);
  EXPECT_FALSE(bridge()->isOpen());
  effect->set_gain(0.5f);
  settle();
  EXPECT_EQ(effect->get_gain(), 0.5f) << "a closed editor writes nothing back";
  open();
  EXPECT_EQ(dial()->value(), -60);
}

TEST_F(Editor, SecondOpenReplacesTheFirstPanel) {
  QPointer<QZaltrim> first = open();
  QZaltrim* second = open();
  EXPECT_TRUE(first.isNull());
  EXPECT_NE(second, nullptr);  // and panel() found no other
  dial()->setValue(100);
  settle();
  EXPECT_EQ(dial()->value(), 100) << "one relay, not two";
}

TEST_F(Editor, GainsQueuedBeforeCloseDoNotReachTheNextPanel) {
  open();
  effect->set_gain(0.5f);  // queued, never delivered: the editor closes first
  bridge()->close();
  effect->set_gain(1.0f);
  open();
  EXPECT_EQ(dial()->value(), 0);
  EXPECT_EQ(effect->get_gain(), 1.0f);
}

TEST_F(Editor, EffectClosedWithTheEditorOpenTakesThePanel) {
  QPointer<QZaltrim> shown = open();
  effect.reset();
  EXPECT_TRUE(shown.isNull());
  effect = std::make_unique<ZaltrimEffect>(quiet_host);  // for TearDown
}

TEST_F(Editor, OpenWithoutAWindowFails) {
  EXPECT_FALSE(bridge()->open(nullptr));
  EXPECT_EQ(panel(), nullptr);
}

}  // namespace
