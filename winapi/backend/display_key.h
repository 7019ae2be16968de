// What names the desktop session of this process in the names of its per-user objects:
// named mutexes (kernel32) and the sockets other processes find windows through
// (user32). A session is a display, as a Windows session's Local\ names are its own, so
// copies of a program on two displays of one user never meet.
#pragma once

#include <string>

namespace winapi::backend {

// The display as a piece of a file name: $DISPLAY without its screen number (":0" and
// ":0.0" are one display), else $WAYLAND_DISPLAY, else "none". Letters, digits, '.', '-'
// and '_' stay, every other byte is %XX (":0" is "%3A0").
std::string DisplayKey();

}  // namespace winapi::backend
