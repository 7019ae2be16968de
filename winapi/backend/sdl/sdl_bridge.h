// What the services built on SDL2 share. user32 owns the SDL windows and the event
// pump; d3d8 presents its frames into a window's renderer; dsound opens the audio device.
#pragma once
#include <windows.h>

struct SDL_Window;
union SDL_Event;

namespace winapi::backend {

// Starts an SDL subsystem (SDL_INIT_VIDEO, SDL_INIT_AUDIO ...) once per process; false
// when SDL cannot start it (no display, no audio device). Thread-safe.
bool StartSdlSubsystem(unsigned subsystemFlags);

// The SDL window behind a window handle; null for a handle that is not a live window.
// user32 registers each window it creates and unregisters it when it is destroyed.
SDL_Window* SdlWindowOf(HWND window);
void RegisterSdlWindow(HWND window, SDL_Window* sdlWindow);
void UnregisterSdlWindow(HWND window);

// How many SDL pixels each of the program's pixels takes in a window, both ways (user32
// sets it when it makes the window; d3d8 and gdi32 draw that much larger). 1 when unset.
void SetSdlWindowScale(SDL_Window* sdlWindow, int scale);
int SdlWindowScale(SDL_Window* sdlWindow);

// A handler that the event pump calls for every SDL event before translating it, on the
// thread that pumps. d3d8 uses it to hear of SDL_RENDER_DEVICE_RESET and
// SDL_RENDER_TARGETS_RESET (its renderer was lost). At most one handler per slot.
enum class EventSlot { Renderer, Count };
void SetEventHandler(EventSlot slot, void (*handler)(const SDL_Event& event));
// The pump calls this for every event it takes from SDL (before translating it).
void CallEventHandlers(const SDL_Event& event);

}  // namespace winapi::backend
