// What the services built on GTK3 share (message boxes, file dialogs): one lock, since
// GTK is not thread-safe and each dialog runs its own main loop on the calling thread,
// and the start-up that decides once per process whether GTK has a display.
#pragma once

#include <mutex>

typedef struct _GtkDialog GtkDialog;

namespace winapi::backend {

// Held for as long as a service drives GTK: one dialog at a time, from one thread at a
// time.
std::mutex& GtkLock();

// Call with GtkLock held. On the first call, starts GTK when DISPLAY or WAYLAND_DISPLAY
// names a display GTK can open, leaving the process locale alone (GTK would otherwise
// call setlocale from whatever thread comes first). The answer of the first call is kept
// for the process: true when GTK runs, false headless.
bool StartGtk();

// Call with GtkLock held: gtk_dialog_run, except that a close signal (close_signals.h)
// waiting when it is called, or coming while the dialog is up, answers
// GTK_RESPONSE_DELETE_EVENT as if the dialog had been closed (checked every 50 ms); the
// dialog is not shown at all for one that is waiting already.
int RunDialog(GtkDialog* dialog);

// Call with GtkLock held, after a dialog is destroyed: lets GTK unmap and forget its
// windows now, since nothing else runs GTK's loop until the next dialog. Bounded, in
// case something keeps queueing work.
void SettleGtk();

}  // namespace winapi::backend
