// The panel as the user meets it on the X server, for the hosts' scenarios: real input (XTest)
// and pictures of what the server shows, and the points of the panel a user aims at.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "editor_scenario.h"

namespace host_model {

struct Rgb {
  int r, g, b;
};

// The scenario's own connection to the X server, as the user's mouse and eyes: XTest input in
// root coordinates and pictures of what the server shows.
class Screen {
 public:
  Screen() : display(XOpenDisplay(nullptr)) {}
  ~Screen() {
    if (display) XCloseDisplay(display);
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  bool ok() const { return display != nullptr; }

  // Where a point of `window` lies on the screen.
  void to_root(unsigned long window, int x, int y, int& root_x, int& root_y) const {
    ::Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &root_x, &root_y, &child);
  }

  void move(unsigned long window, int x, int y) const {
    int root_x, root_y;
    to_root(window, x, y, root_x, root_y);
    XTestFakeMotionEvent(display, DefaultScreen(display), root_x, root_y, 0);
    XFlush(display);
  }
  void button(bool down) const {
    XTestFakeButtonEvent(display, 1, down ? True : False, 0);
    XFlush(display);
  }
  void key(KeySym symbol) const {
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XFlush(display);
  }

  // The pixels of a rectangle of `window`, as shown (children included).
  std::vector<Rgb> capture(unsigned long window, int x, int y, int width, int height) const {
    std::vector<Rgb> pixels;
    XSync(display, False);
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column) {
        const unsigned long pixel = XGetPixel(image, column, row);
        pixels.push_back({static_cast<int>((pixel >> 16) & 0xff), static_cast<int>((pixel >> 8) & 0xff),
                          static_cast<int>(pixel & 0xff)});
      }
    XDestroyImage(image);
    return pixels;
  }

  // A top-level window on screen that is not among `known`, with its place and size on the
  // screen; 0 when there is none.
  unsigned long new_top_level(const std::vector<unsigned long>& known, int& x, int& y, int& width, int& height) const {
    for (const unsigned long window : viewable_top_level_windows()) {
      if (std::find(known.begin(), known.end(), window) != known.end()) continue;
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, window, &attributes)) continue;
      x = attributes.x;
      y = attributes.y;
      width = attributes.width;
      height = attributes.height;
      return window;
    }
    return 0;
  }

  std::vector<unsigned long> viewable_top_level_windows() const {
    XSync(display, False);
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    std::vector<unsigned long> viewable;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
        viewable.push_back(children[i]);
    }
    if (children) XFree(children);
    return viewable;
  }

  // Top-level windows that are on screen.
  int viewable_top_levels() const {
    XSync(display, False);
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    int viewable = 0;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) ++viewable;
    }
    if (children) XFree(children);
    return viewable;
  }

 private:
  Display* display;
};

// Points of the panel as fractions of its size, so that they hold at any scale.
struct Point {
  double x, y;
};
constexpr Point kDialTop{0.745, 0.17};
constexpr Point kDialRight{0.90, 0.34};
constexpr Point kFactorList{0.745, 0.83};
constexpr Point kBackground{0.08, 0.62};

struct Size {
  int width = 0, height = 0;
};

// The user at the panel inside `window`, letting the host's time pass between moves.
class Editor {
 public:
  Editor(HostModel& model, const Screen& screen, Size size, unsigned long window)
      : model(model), screen(screen), size(size), window(window) {}

  void move_to(Point point) const {
    screen.move(window, static_cast<int>(point.x * size.width), static_cast<int>(point.y * size.height));
  }
  void click(Point point) const {
    move_to(point);
    model.pump(60);
    screen.button(true);
    model.pump(60);
    screen.button(false);
  }
  void drag(Point from, Point to) const {
    move_to(from);
    model.pump(60);
    screen.button(true);
    for (int step = 1; step <= 8; ++step) {
      const double t = step / 8.0;
      move_to({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
      model.pump(40);
    }
    screen.button(false);
  }
  // Opens the factor list and takes its last entry, 32, with the keyboard.
  void pick_last_factor() const {
    click(kFactorList);
    model.pump(400);
    screen.key(XK_End);
    model.pump(100);
    screen.key(XK_Return);
    model.pump(400);
  }
  // Opens the factor list with a click and clicks its entry `row` (0 for 2 ... 4 for 32), as a
  // user does; false when no list appeared.
  bool click_factor(int row) const {
    const std::vector<unsigned long> before = screen.viewable_top_level_windows();
    click(kFactorList);
    int x = 0, y = 0, width = 0, height = 0;
    unsigned long list = 0;
    for (int waited = 0; waited < 3000 && !list; waited += 50) {
      model.pump(50);
      list = screen.new_top_level(before, x, y, width, height);
    }
    if (!list) return false;
    // A release within the double-click interval after the list opened belongs to the click that
    // opened it; a user's next click comes later.
    model.pump(600);
    screen.move(list, width / 2, height * (2 * row + 1) / 10);
    model.pump(100);
    screen.button(true);
    model.pump(60);
    screen.button(false);
    model.pump(400);
    return true;
  }
  std::vector<Rgb> picture() const { return screen.capture(window, 0, 0, size.width, size.height); }
  std::vector<Rgb> dial_picture() const {
    const int x = static_cast<int>(0.56 * size.width), y = static_cast<int>(0.06 * size.height);
    return screen.capture(window, x, y, static_cast<int>(0.38 * size.width), static_cast<int>(0.64 * size.height));
  }

 private:
  HostModel& model;
  const Screen& screen;
  Size size;
  unsigned long window;
};

inline int differing_pixels(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
  int count = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b) ++count;
  return count;
}

inline bool near_grey(Rgb pixel, int level, int tolerance) {
  return std::abs(pixel.r - level) <= tolerance && std::abs(pixel.g - level) <= tolerance &&
         std::abs(pixel.b - level) <= tolerance;
}

// Whether the panel shows, border to border, in the host's window.
inline bool is_drawn(const Editor& editor, Size size) {
  const std::vector<Rgb> pixels = editor.picture();
  const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * size.width + x)]; };
  return pixels.size() == static_cast<std::size_t>(size.width * size.height) &&
         near_grey(at(size.width / 2, 0), 180, 12) && near_grey(at(size.width / 2, size.height - 1), 180, 12) &&
         near_grey(at(size.width / 2, size.height / 2), 88, 20);
}

inline void check_drawing(Results& results, const Editor& editor, Size size) {
  results.check(is_drawn(editor, size), "the panel draws, border to border, in the host's window");
}

}  // namespace host_model
