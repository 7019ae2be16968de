// Where start-up, the frame, the scenes and shutdown call into pieces of the program
// that are added later: the widgets and their pointer dispatch, the help line and
// description boxes, text rendering, the camera and graphic effects, the workspace's start. Each
// piece fills its own record when it is linked in (at start-up, before the first scene); an empty
// entry does nothing, so the shell runs with whatever is there.
#pragma once

#include <windows.h>

namespace Main {

// The widgets: their per-frame step, the widget under the pointer, the hover state a
// scene change resets, and the client-to-scene point converter deleted at shutdown.
struct CWidgetHooks {
    void (*step)() = nullptr;
    void (*pickUnderPointer)(POINT client) = nullptr;
    void (*resetHover)() = nullptr;
    void (*releasePointConverter)() = nullptr;
    void (*setGuiPalette)(DWORD baseColor) = nullptr;
};
CWidgetHooks& WidgetHooks();

// The help line and description boxes: their per-frame update, the overlay every
// fading scene draws over its content, the cells a scene change empties, and the
// default text colours the boot scene sets.
struct CHelpLineHooks {
    void (*update)() = nullptr;
    void (*drawOverlay)() = nullptr;
    void (*resetCells)() = nullptr;
    void (*setTextColors)(DWORD text, DWORD outline) = nullptr;
};
CHelpLineHooks& HelpLineHooks();

// Text rendering: the texture and text caches made at start-up and released at
// shutdown, and the frame-rate line drawn at the top left in the FPS font.
struct CTextHooks {
    void (*createCaches)() = nullptr;
    void (*releaseCaches)() = nullptr;
    void (*drawFpsLine)(const char* text, HFONT font) = nullptr;
};
CTextHooks& TextHooks();

// The camera and the graphic effects: the camera made at start-up with its defaults,
// the effect targets when an effect switch is on, and their release at shutdown.
struct CEffectHooks {
    void (*createCamera)() = nullptr;
    void (*setCameraDefaults)() = nullptr;
    void (*deleteCamera)() = nullptr;
    bool (*effectsOn)() = nullptr;
    void (*buildTargets)() = nullptr;
    void (*releaseTargets)() = nullptr;
};
CEffectHooks& EffectHooks();

// The workspace's start: prepares the shared clip and, for a path naming an existing
// file, starts loading it (answering true: the loading screen is now current).
struct CWorkspaceHooks {
    void (*prepareClip)() = nullptr;
    bool (*startLoading)(const char* arguments) = nullptr;
};
CWorkspaceHooks& WorkspaceHooks();

}  // namespace Main
