// The display key of display_key.h.
#include "backend/display_key.h"

#include <cstdio>
#include <cstdlib>

namespace winapi::backend {

std::string DisplayKey() {
    std::string display;
    if (const char* x11 = std::getenv("DISPLAY"); x11 != nullptr && *x11 != '\0') {
        display = x11;
        // "host:display.screen": the screen is part of the same display.
        const size_t colon = display.rfind(':');
        const size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
        if (colon != std::string::npos && dot != std::string::npos) display.resize(dot);
    } else if (const char* wayland = std::getenv("WAYLAND_DISPLAY");
               wayland != nullptr && *wayland != '\0') {
        display = wayland;
    } else {
        return "none";
    }
    std::string key;
    for (const unsigned char c : display) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '-' || c == '_') {
            key += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            key += escaped;
        }
    }
    return key;
}

}  // namespace winapi::backend
