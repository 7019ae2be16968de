// The Direct3D object and the program's one rendering device: creation with its
// fall-backs, the wrapped device calls (a failing one is fatal, "error code=0x%x"), the
// default states, the per-frame sequence, lost-device recovery and screenshots. The
// drawing presets are in presets.h, the diagnostic logs in device_logs.h. Main thread
// only.
#pragma once

#include <d3d8.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/containers/nstring.h"
#include "framework/render/com.h"

namespace NVireo::NDirectX::N3D {

// The back-buffer size the program asks for.
inline constexpr uint32_t kBackBufferWidth = 640;
inline constexpr uint32_t kBackBufferHeight = 480;

// Bits per pixel of a display or back-buffer format; 0 for a format outside the table.
uint32_t FormatBits(D3DFORMAT format);

// The Direct3D object, created at start-up.
class CDirect3D {
public:
    NVireo::CCOM::CObject<IDirect3D8> object;

    // Releases any previous object and creates the object; a null answer is fatal (false
    // when the report returns).
    bool Create();
    void Release() { object.Release(); }
    IDirect3D8* Get() const { return object.Get(); }
};
CDirect3D& Direct3D();

enum EDeviceType : uint32_t { kHardware = 1, kReference = 2, kSoftware = 3 };

// The rendering device with the type and behaviour flags it was created with.
class CDevice {
public:
    NVireo::CCOM::CObject<IDirect3DDevice8> object;
    uint32_t type = 0;      // EDeviceType; 0 before creation
    uint32_t behavior = 0;  // D3DCREATE_* flags that worked
    D3DFORMAT depthFormat = D3DFMT_UNKNOWN;

    // Creates the windowed device for window: the back-buffer format is the desktop's,
    // after checking a display mode of that depth holds the back buffer; device types
    // hardware, reference, software, each with hardware, mixed and software vertex
    // processing, until one is accepted; then the 16-bit depth buffer is checked. Answers
    // false when no configuration is accepted or the depth buffer is not supported.
    bool CreateWindowed(HWND window);
    void Release();
    IDirect3DDevice8* Get() const { return object.Get(); }
    bool Exists() const { return !object.IsNull(); }

    // The wrapped calls. A failing result is fatal; when the report returns they answer
    // false (or null) and change nothing more.
    bool BeginScene();
    bool EndScene();
    bool Clear(DWORD flags, float z);  // opaque black
    bool ClearAll();                   // the target, and the depth buffer when there is one
    bool SetFVF(DWORD fvf);
    bool DrawUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride);
    bool SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    bool SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    bool SetTexture(IDirect3DBaseTexture8* texture);  // stage 0
    IDirect3DTexture8* CreateTexture(UINT width, UINT height, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool);
    IDirect3DSurface8* GetRenderTarget();  // a new reference
    // The viewport at the origin, clipped to the back buffer.
    bool SetViewport(DWORD width, DWORD height, float minZ, float maxZ);
    // Copies parameters into the process record, then resets; the result is returned.
    HRESULT Reset(const D3DPRESENT_PARAMETERS& parameters);
    // Whether a frame may be drawn now; resets and restores a device that can be reset.
    bool TestCooperativeLevel();
};
CDevice& Device();

// The presentation parameters in use; zero except BackBufferCount = 1 until set up.
D3DPRESENT_PARAMETERS& PresentParameters();
// The device's capabilities, read once after creation.
D3DCAPS8& DeviceCaps();
// The current display format of the default adapter (read at creation and reset).
D3DFORMAT DisplayFormat();

// The renderer's own process-wide values.
struct CRendererState {
    uint32_t lostCount = 0;   // failed reset attempts in a row; 0: device fine
    float brightness = 0.0f;  // -0.5 .. 0.5; the overlay at the end of each frame
    bool presenting = false;  // the frame sequence is running
    bool waitForVerticalBlank = false;
    bool pixelShaders = false;  // the answer of the last pixel-shader probe
    // The camera's matrix block (view, projection and the rest: five 4 x 4 matrices).
    std::vector<D3DMATRIX> cameraMatrices;
};
CRendererState& RendererState();

// The pixel-shader probe the default states run; without one installed the answer is
// "no pixel shaders". The graphic-effect resources install theirs.
void SetPixelShaderProbe(bool (*probe)());

// A failing result of a Direct3D call is reported at site as "error code=0x%x" (fatal)
// and answers true; a success answers false.
bool RaiseIfFailed(HRESULT result, uint32_t site);

// Start-up after the main window is shown: the Direct3D object, the brightness range
// check, the windowed device for window, its capabilities, the last-pixel state, the
// camera's matrix block and the default states. Each failure is fatal (false when the
// report returns). The frame rate (40) is the main loop's to set afterwards.
bool StartRenderer(HWND window);
// Shutdown: the device, then the Direct3D object.
void StopRenderer();

// The states every frame starts from: clamped addressing on all stages, no lighting,
// the whole back buffer as viewport, no last pixel, and the pixel-shader probe.
void ApplyDefaultStates();

// The pieces of one frame the application provides. Each may be empty.
struct CFrameSteps {
    std::function<void()> drawEffect;   // while the graphic effect is on, before the scene
    std::function<void()> drawScene;    // the current scene, then the running fade
    std::function<void()> drawFpsLine;  // the frame-rate line, while the overlay is shown
    bool graphicEffect = false;
    bool showFps = false;
};

// One frame: begin, default states, the scene, the frame-rate line, the brightness
// overlay, end, present. A call while a frame is being drawn does nothing. A present
// that reports a lost device starts the recovery (lostCount 1).
void RenderFrame(const CFrameSteps& steps);

// The brightness overlay's colour for b (0xAARRGGBB): black for b < 0, white for b > 0,
// alpha trunc(|b| x 255); 0 (nothing drawn) for b = 0.
D3DCOLOR BrightnessColor(float brightness);

// Releases every registered device resource, resets the device (choosing the back-buffer
// format again when the desktop's depth changed) and re-creates the resources. Answers
// true when the device is back; false to try again next pass. More than 100 failed
// attempts in a row, and the failures that cannot pass, are fatal.
bool ResetAndRestore();

// Saves the current render target as "<folder>/%4u.bmp" (a folder relative to the home
// folder, or absolute; made when missing), at the first free index from 0 to 9999;
// nothing without a device. Says on standard error, with the full path, whether the
// picture was saved or could not be written (a folder that cannot be made, is a file or
// is read-only, or every name taken). Answers the file name written, or an empty string.
NVireo::NString::BBasic<char> SaveScreenshot(const char* folder);

}  // namespace NVireo::NDirectX::N3D
