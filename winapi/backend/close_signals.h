// The signals that ask a process to close (SIGTERM, SIGINT, SIGHUP) as the layer turns
// them into what a Windows program gets when its session asks it to close: user32's
// pump sends WM_CLOSE to the process's windows, and a modal box or file dialog that is
// up gives way first (it answers as if closed), so the pump runs again at once.
// The handlers only count; a second signal that comes while the first is still waiting
// to be taken means the process does not answer, and the signal's own action ends it.
#pragma once

namespace winapi::backend {

// Installs the handlers once per process (user32 does it when it makes a window; no
// signal is caught before). Thread-safe.
void CatchCloseSignals();

// How many close signals came so far.
unsigned CloseSignalCount();

// True once for the signals that came since the last call that answered true: the pump
// takes them here to send WM_CLOSE.
bool TakeCloseRequest();

// True while a close signal waits to be taken by the pump, or when one came after
// CloseSignalCount() answered since: a dialog shown then gives way.
bool CloseRequestedSince(unsigned count);

}  // namespace winapi::backend
