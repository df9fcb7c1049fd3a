#!/usr/bin/env python3
"""Lists X windows and asks one to close, through libX11 with ctypes.

xdotool cannot match titles holding non-ASCII characters (Qtractor's em dash), and with no
window manager there is no close button: a user's click on one becomes WM_DELETE_WINDOW, which
is sent here directly.

  xwin.py list                      id, viewable, x y w h on screen, class, title (UTF-8)
  xwin.py find REGEX [--class C]    ids of viewable windows whose title matches, deepest last
  xwin.py close ID                  sends WM_DELETE_WINDOW to ID
"""
import ctypes
import ctypes.util
import re
import signal
import sys

signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # a reader that stops early ends this quietly

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
Window = ctypes.c_ulong
Atom = ctypes.c_ulong


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", Window), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_void_p), ("res_class", ctypes.c_void_p)]


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window), ("message_type", Atom),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = Window
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = Atom
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XQueryTree.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(Window), ctypes.POINTER(Window),
                           ctypes.POINTER(ctypes.POINTER(Window)), ctypes.POINTER(ctypes.c_uint)]
x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(XWindowAttributes)]
x11.XTranslateCoordinates.argtypes = [ctypes.c_void_p, Window, Window, ctypes.c_int, ctypes.c_int,
                                      ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                      ctypes.POINTER(Window)]
x11.XGetWindowProperty.argtypes = [ctypes.c_void_p, Window, Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int,
                                   Atom, ctypes.POINTER(Atom), ctypes.POINTER(ctypes.c_int),
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_void_p)]
x11.XGetClassHint.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(XClassHint)]
x11.XSendEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

# Windows come and go while the tree is walked; a vanished one is skipped, not fatal.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
x11.XSetErrorHandler(ERROR_HANDLER)

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("xwin.py: cannot open display")
root = x11.XDefaultRootWindow(display)


def atom(name):
    return x11.XInternAtom(display, name.encode(), 0)


def text_property(window, name, kind):
    actual, fmt = Atom(), ctypes.c_int()
    count, rest, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    if x11.XGetWindowProperty(display, window, atom(name), 0, 1024, 0, kind, ctypes.byref(actual),
                              ctypes.byref(fmt), ctypes.byref(count), ctypes.byref(rest), ctypes.byref(data)) != 0:
        return None
    if not data.value:
        return None
    value = ctypes.string_at(data.value, count.value).decode("utf-8", "replace")
    x11.XFree(data)
    return value if actual.value else None


def title(window):
    name = text_property(window, "_NET_WM_NAME", atom("UTF8_STRING"))
    return name if name is not None else (text_property(window, "WM_NAME", 0) or "")  # 0: AnyPropertyType


def window_class(window):
    hint = XClassHint()
    if not x11.XGetClassHint(display, window, ctypes.byref(hint)):
        return ""
    value = ctypes.string_at(hint.res_class).decode("utf-8", "replace") if hint.res_class else ""
    for pointer in (hint.res_name, hint.res_class):
        if pointer:
            x11.XFree(pointer)
    return value


def walk(window):
    """Yields every descendant of window, parents before children."""
    root_out, parent, children, count = Window(), Window(), ctypes.POINTER(Window)(), ctypes.c_uint()
    if not x11.XQueryTree(display, window, ctypes.byref(root_out), ctypes.byref(parent), ctypes.byref(children),
                          ctypes.byref(count)):
        return
    ids = [children[i] for i in range(count.value)]
    if children:
        x11.XFree(children)
    for child in ids:
        yield child
        yield from walk(child)


def describe(window):
    attributes = XWindowAttributes()
    if not x11.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
        return None
    x, y, child = ctypes.c_int(), ctypes.c_int(), Window()
    x11.XTranslateCoordinates(display, window, root, 0, 0, ctypes.byref(x), ctypes.byref(y), ctypes.byref(child))
    return {"id": window, "viewable": attributes.map_state == 2, "x": x.value, "y": y.value,
            "w": attributes.width, "h": attributes.height, "class": window_class(window), "title": title(window)}


def close(window):
    event = XClientMessageEvent(type=33, send_event=1, display=display, window=window,
                                message_type=atom("WM_PROTOCOLS"), format=32)
    event.data[0] = atom("WM_DELETE_WINDOW")
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)


def main(args):
    if args[:1] == ["list"]:
        for window in walk(root):
            d = describe(window)
            if d and (d["title"] or d["class"]):
                print("0x%x %s %d %d %d %d %s %s" % (d["id"], "viewable" if d["viewable"] else "hidden",
                                                   d["x"], d["y"], d["w"], d["h"], d["class"] or "-", d["title"]))
    elif args[:1] == ["find"] and len(args) in (2, 4):
        pattern = re.compile(args[1])
        wanted_class = args[3] if len(args) == 4 and args[2] == "--class" else None
        for window in walk(root):
            d = describe(window)
            if d and d["viewable"] and pattern.search(d["title"]) and wanted_class in (None, d["class"]):
                print("0x%x %d %d %d %d" % (d["id"], d["x"], d["y"], d["w"], d["h"]))
    elif args[:1] == ["close"] and len(args) == 2:
        close(int(args[1], 0))
    else:
        sys.exit(__doc__)
    x11.XCloseDisplay(display)


main(sys.argv[1:])
