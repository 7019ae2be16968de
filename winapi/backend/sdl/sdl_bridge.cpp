// The shared SDL2 start-up and the event-handler slots of sdl_bridge.h.
#include "backend/sdl/sdl_bridge.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>

namespace winapi::backend {
namespace {
std::mutex sdlMutex;
std::atomic<void (*)(const SDL_Event&)> handlers[static_cast<int>(EventSlot::Count)];
std::mutex windowsMutex;
std::map<HWND, SDL_Window*> windows;
constexpr char kScaleKey[] = "se-retimer scale";  // the SDL window data that holds it
}  // namespace

SDL_Window* SdlWindowOf(HWND window) {
    std::lock_guard lock(windowsMutex);
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second;
}

void RegisterSdlWindow(HWND window, SDL_Window* sdlWindow) {
    std::lock_guard lock(windowsMutex);
    windows[window] = sdlWindow;
}

void UnregisterSdlWindow(HWND window) {
    std::lock_guard lock(windowsMutex);
    windows.erase(window);
}

void SetSdlWindowScale(SDL_Window* sdlWindow, int scale) {
    SDL_SetWindowData(sdlWindow, kScaleKey, reinterpret_cast<void*>(static_cast<intptr_t>(scale)));
}

int SdlWindowScale(SDL_Window* sdlWindow) {
    const intptr_t scale = reinterpret_cast<intptr_t>(SDL_GetWindowData(sdlWindow, kScaleKey));
    return scale > 1 ? static_cast<int>(scale) : 1;
}

bool StartSdlSubsystem(unsigned subsystemFlags) {
    std::lock_guard lock(sdlMutex);
    if (SDL_WasInit(subsystemFlags) == subsystemFlags) return true;
    // SIGINT and SIGTERM are the layer's (backend/close_signals.h), not an SDL_QUIT event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(subsystemFlags) == 0;
}

void SetEventHandler(EventSlot slot, void (*handler)(const SDL_Event& event)) {
    handlers[static_cast<int>(slot)].store(handler);
}

// Called by the event pump (user32) for each event it takes from SDL.
void CallEventHandlers(const SDL_Event& event) {
    for (auto& slot : handlers)
        if (auto handler = slot.load()) handler(event);
}

}  // namespace winapi::backend
