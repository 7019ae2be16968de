#include "backend/gtk/gtk_desktop.h"

#include <gtk/gtk.h>

#include <cstdlib>

#include "backend/close_signals.h"

namespace winapi::backend {

namespace {

enum class Desktop { Unknown, Gtk, Headless };
Desktop desktop = Desktop::Unknown;  // guarded by GtkLock()

bool HasDisplayVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::mutex& GtkLock() {
    static std::mutex lock;
    return lock;
}

bool StartGtk() {
    if (desktop == Desktop::Unknown) {
        desktop = Desktop::Headless;
        if (HasDisplayVariable("DISPLAY") || HasDisplayVariable("WAYLAND_DISPLAY")) {
            gtk_disable_setlocale();
            if (gtk_init_check(nullptr, nullptr)) desktop = Desktop::Gtk;
        }
    }
    return desktop == Desktop::Gtk;
}

int RunDialog(GtkDialog* dialog) {
    struct CWatch {
        GtkDialog* dialog;
        unsigned signals;
        bool answered;
    } watch{dialog, CloseSignalCount(), false};
    if (CloseRequestedSince(watch.signals)) return GTK_RESPONSE_DELETE_EVENT;
    const guint source = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto& w = *static_cast<CWatch*>(data);
            if (!CloseRequestedSince(w.signals)) return G_SOURCE_CONTINUE;
            w.answered = true;
            gtk_dialog_response(w.dialog, GTK_RESPONSE_DELETE_EVENT);
            return G_SOURCE_REMOVE;
        },
        &watch);
    const int response = gtk_dialog_run(dialog);
    if (!watch.answered) g_source_remove(source);
    return response;
}

void SettleGtk() {
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

}  // namespace winapi::backend
