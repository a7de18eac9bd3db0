// SIGTERM (logout, `kill`), SIGINT and SIGHUP turned into a normal close:
// the handler only writes a byte to a pipe, and a notifier on the pipe's
// other end runs the close on the GUI thread, where saving is safe.
#pragma once

#include <functional>

class QObject;

// Installs the handlers once; `onSignal` runs on the GUI thread for each
// signal that arrives while `owner` lives. Returns false (no handler
// installed) when the pipe cannot be made.
bool installTerminationHandler(QObject* owner, std::function<void()> onSignal);
