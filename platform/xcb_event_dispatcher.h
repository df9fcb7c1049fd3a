// The event dispatcher of the application the module makes, installed on the thread before the
// application is made so that Qt's xcb platform makes none of its own.
//
// Left to itself, that platform joins the default GLib context whenever GLib is in the process,
// and it can only be told otherwise through the process environment, which the module never
// writes: hosts read it from other threads at any time. In a GTK host that drives the editor from
// a thread of its own, the GLib dispatcher leaves the host's main loop spinning. This one is Qt's
// plain UNIX dispatcher, which runs only when the module pumps it, plus the one duty the xcb
// platform gives its own dispatchers: passing on the X events its reader thread has queued.
#pragma once

class QAbstractEventDispatcher;

// A new dispatcher, or null when Qt's xcb library lacks the entry point that passes the X events
// on (the panel would then never see an expose, a click or a key).
QAbstractEventDispatcher* create_xcb_event_dispatcher();
