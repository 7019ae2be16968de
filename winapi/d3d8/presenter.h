// Shows the device's frames in its window: an SDL2 renderer with a streaming texture
// the size of the back buffer, stretched over the window; when the window cannot have
// a renderer, its window surface. Devices without an SDL window have no presenter.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace winapi::d3d8 {

class CPresenter {
public:
    // Null when the window has no SDL window behind it.
    static std::unique_ptr<CPresenter> ForWindow(HWND window, UINT width, UINT height);
    ~CPresenter();
    CPresenter(const CPresenter&) = delete;
    CPresenter& operator=(const CPresenter&) = delete;

    // Shows one X8R8G8B8 frame; false when SDL refused it.
    bool Show(const uint8_t* pixels, int pitch);
    // Rebuilds what SDL may have lost for a new back-buffer size (after Reset).
    bool Rebuild(UINT width, UINT height);
    // True while the window is minimised (a lost device cannot be reset then).
    bool Minimised() const;

private:
    CPresenter(SDL_Window* window, SDL_Renderer* renderer, bool ownsRenderer);

    SDL_Window* window_;
    SDL_Renderer* renderer_;  // null: the window surface is used
    bool ownsRenderer_;
    SDL_Texture* texture_ = nullptr;
    UINT width_ = 0, height_ = 0;
};

// The client size of a window that has an SDL window behind it, in the program's pixels
// (SDL's divided by the window's scale); false otherwise.
bool WindowClientSize(HWND window, int* width, int* height);

// Hears SDL's renderer resets; the device registers itself to be told.
void WatchRendererResets(void (*onReset)());

}  // namespace winapi::d3d8
