// Presenting the Direct3D 8 device's frames through SDL2 (see presenter.h).
// Supports: any SDL video driver, including "dummy", through SDL's software renderer.
// A window of scale N (sdl_bridge.h) shows the frame N times larger from its top left
// corner, each pixel an N x N block (nearest neighbour: sharp, and the mouse maps back
// exactly); at scale 1 the frame is stretched over the window. Without a renderer the
// frame is stretched over the window surface (N times larger when the window is).
// Does not support: vertical-blank synchronisation (frames are shown at once).
#include "d3d8/presenter.h"

#include <SDL.h>

#include "backend/sdl/sdl_bridge.h"

namespace winapi::d3d8 {

std::unique_ptr<CPresenter> CPresenter::ForWindow(HWND window, UINT width, UINT height) {
    SDL_Window* sdlWindow = winapi::backend::SdlWindowOf(window);
    if (sdlWindow == nullptr) return nullptr;
    SDL_Renderer* renderer = SDL_GetRenderer(sdlWindow);
    bool owns = false;
    if (renderer == nullptr) {
        // The frames are drawn on the CPU already; SDL's software renderer only copies
        // them to the window. An accelerated renderer (or an accelerated window surface
        // under the software one) would gain nothing, and SDL re-creates the window
        // underneath to give it an OpenGL surface: a new window, in the place a new
        // window goes rather than where the program put it.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer = SDL_CreateRenderer(sdlWindow, -1, SDL_RENDERER_SOFTWARE);
        owns = renderer != nullptr;
    }
    std::unique_ptr<CPresenter> presenter(new CPresenter(sdlWindow, renderer, owns));
    presenter->Rebuild(width, height);
    return presenter;
}

CPresenter::CPresenter(SDL_Window* window, SDL_Renderer* renderer, bool ownsRenderer)
    : window_(window), renderer_(renderer), ownsRenderer_(ownsRenderer) {}

CPresenter::~CPresenter() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (ownsRenderer_) SDL_DestroyRenderer(renderer_);
}

bool CPresenter::Rebuild(UINT width, UINT height) {
    width_ = width;
    height_ = height;
    if (renderer_ == nullptr) return true;
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 int(width), int(height));
    if (texture_ != nullptr) SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    return texture_ != nullptr;
}

bool CPresenter::Show(const uint8_t* pixels, int pitch) {
    if (renderer_ != nullptr) {
        if (texture_ == nullptr && !Rebuild(width_, height_)) return false;
        if (SDL_UpdateTexture(texture_, nullptr, pixels, pitch) != 0) return false;
        SDL_RenderClear(renderer_);
        const int scale = winapi::backend::SdlWindowScale(window_);
        const SDL_Rect scaled{0, 0, int(width_) * scale, int(height_) * scale};
        if (SDL_RenderCopy(renderer_, texture_, nullptr, scale > 1 ? &scaled : nullptr) != 0) {
            return false;
        }
        SDL_RenderPresent(renderer_);
        return true;
    }
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (target == nullptr) return false;
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(pixels), int(width_), int(height_), 32, pitch, SDL_PIXELFORMAT_RGB888);
    if (frame == nullptr) return false;
    const bool shown = SDL_BlitScaled(frame, nullptr, target, nullptr) == 0 &&
                       SDL_UpdateWindowSurface(window_) == 0;
    SDL_FreeSurface(frame);
    return shown;
}

bool CPresenter::Minimised() const {
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
}

bool WindowClientSize(HWND window, int* width, int* height) {
    SDL_Window* sdlWindow = winapi::backend::SdlWindowOf(window);
    if (sdlWindow == nullptr) return false;
    SDL_GetWindowSize(sdlWindow, width, height);
    const int scale = winapi::backend::SdlWindowScale(sdlWindow);
    *width /= scale;
    *height /= scale;
    return true;
}

namespace {

void (*resetListener)() = nullptr;

void OnSdlEvent(const SDL_Event& event) {
    if ((event.type == SDL_RENDER_DEVICE_RESET || event.type == SDL_RENDER_TARGETS_RESET) &&
        resetListener != nullptr) {
        resetListener();
    }
}

}  // namespace

void WatchRendererResets(void (*onReset)()) {
    resetListener = onReset;
    winapi::backend::SetEventHandler(winapi::backend::EventSlot::Renderer, &OnSdlEvent);
}

}  // namespace winapi::d3d8
