// The module's load and unload hooks. Nothing Qt happens at load: the application is made lazily
// when the editor is first wanted. At unload the application goes if the module made it.
//
// The unload hook is an exit handler of this module, registered once the application exists:
// Qt's globals go in exit handlers registered when each is first used, and a module that stays
// mapped runs its destructor functions only after all of them, too late for ~QApplication (a
// crash at exit). A handler registered later runs earlier, and glibc runs a module's handlers at
// its dlclose when it really unloads, or at exit.
#include <cstdlib>

#include "qmfcapp.h"

namespace {

void module_unload() { QMfcApp::release(); }

void register_unload() { std::atexit(module_unload); }

__attribute__((constructor)) void module_load() { QMfcApp::onCreated(register_unload); }

}  // namespace
