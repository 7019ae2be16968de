// hostdesktop.h's display check, over SDL's video start-up. Without a display SDL does
// not fail: it falls back to its offscreen driver, whose windows nobody sees, so a
// driver that shows nothing counts as no display unless $SDL_VIDEODRIVER asked for it.
#include <SDL.h>
#include <hostdesktop.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "backend/sdl/sdl_bridge.h"

namespace {

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool ShowsWindows(const char* driver) {
    for (const char* hidden : {"offscreen", "dummy", "evdev"}) {
        if (driver == nullptr || std::strcmp(driver, hidden) == 0) return false;
    }
    return true;
}

}  // namespace

std::string hostdesktop::MissingDisplay() {
    // The way the program was started, for the line that tells how to start it instead.
    const std::string again = std::string("run it on a virtual display: xvfb-run -a ") +
                              program_invocation_name + " [clip.wav]";
    const char* chosen = Variable("SDL_VIDEODRIVER");
    const char* x11 = Variable("DISPLAY");
    const char* wayland = Variable("WAYLAND_DISPLAY");
    if (chosen == nullptr && x11 == nullptr && wayland == nullptr) {
        return "no display found ($DISPLAY and $WAYLAND_DISPLAY are not set); " + again;
    }
    std::string line = "cannot open the display ";
    line += chosen != nullptr ? std::string("of video driver ") + chosen
                              : std::string(x11 != nullptr ? x11 : wayland);
    if (winapi::backend::StartSdlSubsystem(SDL_INIT_VIDEO)) {
        if (chosen != nullptr || ShowsWindows(SDL_GetCurrentVideoDriver())) return {};
        SDL_QuitSubSystem(SDL_INIT_VIDEO);  // a fallback nobody sees
    } else if (const char* why = SDL_GetError(); why != nullptr && *why != '\0') {
        line += std::string(" (") + why + ")";
    }
    return line + "; " + again;
}
