#include "QZaltrim.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <cmath>

#include "host_window.h"
#include "qtsvgdial.h"
#include "zaltrim_chain.h"
#include "zaltrim_controls.h"

namespace {

constexpr int kMinimumPosition = -400;
constexpr int kMaximumPosition = 400;

const char* const kStyleSheet =
    "QZaltrim {     color: white;    background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, "
    "stop:0 rgb(116, 116, 118), stop:1 rgb(59, 57, 60));    border: 2px solid rgb(180, 180, 180);     "
    "border-radius: 7px;    padding-top: 1.5em;}QLabel {     color: white;}";

const char* const kAboutText =
    "QtZaltrim is a VST(tm) Windows plugin made by Orvendel (<a "
    "href=\"https://orvendel.example/\">https://orvendel.example/</a>)";

bool is_within(const QWidget* control, const QWidget* target) {
  return target == control || control->isAncestorOf(target);
}

}  // namespace

QZaltrim::QZaltrim(ZaltrimControls* controls, WId hostWindow)
    : QWinWidget(hostWindow, nullptr, {}), controls(controls), dial(nullptr), combo(nullptr) {
  setAttribute(Qt::WA_DeleteOnClose);
  // A plain QWidget subclass paints the style sheet's gradient and border only when asked to.
  setAttribute(Qt::WA_StyledBackground);

  auto* gain_label = new QLabel("Gain", this);
  dial = new QtSVGDial(this);
  dial->setSkin("Darov");
  dial->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  dial->setMinimum(kMinimumPosition);
  dial->setMaximum(kMaximumPosition);

  auto* oversampling_label = new QLabel("Oversampling", this);
  combo = new QComboBox(this);
  combo->addItems({"2", "4", "8", "16", "32"});
  // The list's pop-up is made now, so that its window exists before the panel moves into the
  // host's window (see QWinWidget::embed).
  combo->view();
  // QComboBox picks on a release only when its own rules (a timer from the opening press, a
  // least distance moved) agree; in a Qt 5 host (MusE) the release of a plain click on an entry
  // fails them and the list stays open with the entry only highlighted. A press and its release
  // inside the list are a user's click on that entry, whatever the timing.
  combo->view()->viewport()->installEventFilter(this);
  // Qt closes every open pop-up when the application loses the focus to another one (in MusE,
  // the host's own Qt 5 windows), and closing a window destroys it. The list's window made anew
  // at its next opening takes the panel's window, which lives inside the host's, as its
  // transient parent, which Qt refuses with a warning on the host's output. The list is hidden
  // instead, and keeps the window made before the panel moved into the host's (QWinWidget::embed).
  combo->view()->window()->installEventFilter(this);

  auto* layout = new QGridLayout(this);
  layout->addWidget(gain_label, 0, 0);
  layout->addWidget(dial, 0, 1);
  layout->addWidget(oversampling_label, 1, 0);
  layout->addWidget(combo, 1, 1);

  setStyleSheet(kStyleSheet);

  connect(dial, &QtSVGDial::valueChanged, this, qOverload<int>(&QZaltrim::update_gain));
  connect(dial, &QtSVGDial::sliderReleased, this, &QZaltrim::end_gesture);
  connect(combo, &QComboBox::activated, this, &QZaltrim::update_oversampling_log);

  if (!controls) return;
  // The list shows the factor in force rather than "2" until the host next changes it.
  update_oversampling(controls->oversampling());
  update_gain(controls->gain());
}

QZaltrim::~QZaltrim() { delete about_box; }

float QZaltrim::gain(int position) { return static_cast<float>(std::pow(10.0, static_cast<double>(position) * 0.005)); }

int QZaltrim::position(float gain) {
  // The nearest tenth of a dB, as hosts show the parameter: the label agrees with the host's
  // display, and each of the dial's own gains maps back onto its own position.
  const double tenths = 200.0 * std::log10(static_cast<double>(gain));
  // Limited before the conversion: an infinite or NaN value has no integer (log of 0 is -inf).
  if (!(tenths > kMinimumPosition)) return kMinimumPosition;
  if (tenths >= kMaximumPosition) return kMaximumPosition;
  return static_cast<int>(std::lround(tenths));
}

QSize QZaltrim::measure_device_size() {
  QZaltrim probe(nullptr, 0);
  probe.adjustSize();
  return platform::device_size(probe);
}

int QZaltrim::index(int factor) {
  int bits = 0;
  for (auto rest = static_cast<unsigned int>(factor); rest != 0; rest >>= 1) ++bits;
  return bits - 2;
}

void QZaltrim::update_gain(int value) {
  if (following_host) return;
  if (!gesture) {
    controls->begin_gain_gesture();
    // The dial changes on the press itself, before it counts as held down.
    gesture = QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
  }
  controls->change_gain(gain(value));
  if (!gesture) controls->end_gain_gesture();
}

void QZaltrim::update_gain(float value) {
  // The dial already stands for this gain: the panel's own change coming back.
  if (gain(dial->value()) == value) return;
  following_host = true;
  dial->setValue(position(value));
  following_host = false;
}

void QZaltrim::end_gesture() {
  if (!gesture) return;
  gesture = false;
  controls->end_gain_gesture();
}

void QZaltrim::update_oversampling(int value) {
  // Only a foreign state brings another factor; the list keeps what it shows.
  if (!ZaltrimChain::is_valid_factor(value)) return;
  combo->setCurrentIndex(index(value));
}

void QZaltrim::update_oversampling_log(int value) { controls->pick_oversampling(1 << (value + 1)); }

bool QZaltrim::eventFilter(QObject* watched, QEvent* event) {
  if (watched == combo->view()->window() && watched != this && event->type() == QEvent::Close) {
    combo->hidePopup();
    event->ignore();
    return true;
  }
  if (watched != combo->view()->viewport() || !combo->view()->isVisible())
    return QWinWidget::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonPress) {
    pressed_in_list = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  } else if (event->type() == QEvent::MouseButtonRelease) {
    const auto* release = static_cast<QMouseEvent*>(event);
    const bool clicked = pressed_in_list && release->button() == Qt::LeftButton;
    pressed_in_list = false;
    const QModelIndex entry = combo->view()->indexAt(release->position().toPoint());
    // A release without its press in the list (the end of the press that opened it) stays
    // QComboBox's to judge.
    if (clicked && entry.isValid() && (entry.flags() & Qt::ItemIsEnabled)) {
      combo->hidePopup();
      combo->setCurrentIndex(entry.row());
      update_oversampling_log(entry.row());
      return true;
    }
  }
  return QWinWidget::eventFilter(watched, event);
}

void QZaltrim::mousePressEvent(QMouseEvent* event) {
  // Presses the dial or the list passes on (another button than theirs) are not the panel's.
  if (is_on_control(event->position().toPoint())) {
    event->ignore();
    return;
  }
  event->accept();
  show_about_box();
}

bool QZaltrim::is_on_control(const QPoint& position) const {
  const QWidget* target = childAt(position);
  return target && (is_within(dial, target) || is_within(combo, target));
}

void QZaltrim::show_about_box() {
  if (about_box) {
    about_box->raise();
    about_box->activateWindow();
    return;
  }
  // Shown without a modal loop: exec() inside the host's idle call would stop the host's own
  // window from being served until the box is closed.
  about_box = new QMessageBox();
  about_box->setAttribute(Qt::WA_DeleteOnClose);
  about_box->setWindowTitle("About QtZaltrim");
  about_box->setText(kAboutText);
  about_box->setIconPixmap(QPixmap(":/VSTLogoAlpha.png"));
  about_box->setWindowModality(Qt::NonModal);
  about_box->show();
}
