#include "backend/gtk/gtk_desktop.h"

#include <gtk/gtk.h>

#include <cstdlib>

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

void SettleGtk() {
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

}  // namespace winapi::backend
