// The graphic effect behind the "Graphic Effect" setting: the pixel-shader probe, the
// check that the device can render into the effect's texture formats, and the effect's
// resources: two pixel shaders assembled at run time, three screen-sized render targets,
// seven levels of half-size render-target pairs (640 x 480 down to 10 x 7 for the
// program's back buffer) and the quads that would draw them. No frame draws with them;
// they are built while the setting is on and released when it goes off. The render
// targets come back empty after a device reset, as every re-create-only texture does,
// and the shaders outlive it. Main thread only.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>
#include <memory>

#include "framework/render/com.h"
#include "framework/render/texture.h"

namespace NVireo::NDirectX::N3D {

// Holder of one D3DX buffer.
class BD3DXBuffer : public BObject<ID3DXBuffer> {};

namespace NShader {

// An assembled shader's tokens.
class CCompiledCode : public BD3DXBuffer {
public:
    const DWORD* Tokens() const {
        return IsNull() ? nullptr : static_cast<const DWORD*>(Get()->GetBufferPointer());
    }
};

// A pixel shader of the device with the code it was made from. Release deletes the
// handle (a failure is fatal) and the code.
class CPixelShader {
public:
    DWORD handle = 0;  // 0: none
    CCompiledCode code;

    CPixelShader() = default;
    CPixelShader(const CPixelShader&) = delete;
    CPixelShader& operator=(const CPixelShader&) = delete;
    ~CPixelShader() { Release(); }

    // Assembles text (no flags) and creates the shader; either failure is fatal with
    // "error code=0x%x" (false when the report returns, the holder then empty).
    bool Create(const char* text);
    void Release();
    bool Exists() const { return handle != 0; }
};

// The two effect shaders: a weighted sum t0 x c0 + t1 x c1 + t2 x c1 of three textures,
// and the cross-fade t1 x t0 + t2 x (1 - t0) of t1 and t2 steered by t0.
extern const char* const kWeightedSumShader;
extern const char* const kCrossFadeShader;

}  // namespace NShader

// Why the last pixel-shader probe answered no (0: it answered yes).
enum EProbeReason : uint32_t {
    kProbeAssembly = 61,     // assembling the probe failed
    kProbeCreate = 68,       // CreatePixelShader failed
    kProbeConstant = 75,     // SetPixelShaderConstant failed
    kProbeSet = 82,          // SetPixelShader failed
    kProbeResetToNone = 98,  // setting the pixel shader back to none failed
};
uint32_t& ProbeReason();

// Assembles "ps.1.0 / mov r0,c0", creates it, sets constant 0 and the shader, deletes
// it and sets the pixel shader back to none. Any failing step records its reason and
// answers false, silently; without a device the answer is false too. The default states
// run it through SetPixelShaderProbe (InstallPixelShaderProbe).
bool ProbePixelShaders();
void InstallPixelShaderProbe();

// Whether the device runs pixel shaders (the last probe said so) and renders into
// textures of the effect's three formats: X8R8G8B8, A8R8G8B8 and A8R8G8B8 on a 32-bit back
// buffer; R5G6B5, A1R5G5B5 and A4R4G4B4 otherwise.
bool CanUseEffect();

// One effect level: two render targets of w x h and the quad of (w + 1) x (h + 1) that
// would draw them (a triangle strip: right-top, right-bottom, left-top, left-bottom).
struct CEffectLevel {
    NTexture::NOffScreen::CReCreateOnly targets[2];
    CQuadVertex quad[4] = {};
};

// The process-wide effect state.
class CEffectState {
public:
    static constexpr int kLevels = 7;
    static constexpr int kScreenTargets = 3;

    uint8_t flags[2] = {};     // [0]: the "Graphic Effect" setting; [1]: a second effect
    bool initialised = false;  // the resources are built
    CEffectLevel levels[kLevels];
    NTexture::NOffScreen::CReCreateOnly screenTargets[kScreenTargets];
    NShader::CPixelShader shaders[2];  // the weighted sum, the cross-fade
    CQuadVertex screenQuad[4] = {};    // (0, 0) to (W, H), texture coordinates 0 to 1
    CQuadVertex shiftedQuad[4] = {};   // (-1, -1) to (W - 1, H - 1)
    CQuadVertex fullScreenRect[4] = {};

    bool AnyFlag() const { return flags[0] != 0 || flags[1] != 0; }
    // Releases what was built before, then builds for a back buffer of width x height:
    // the shaders, the screen targets (when width is not 0), the levels and the quads.
    // A failure is fatal (false when the report returns).
    bool Build(uint32_t width, uint32_t height);
    // Gives back every shader, render target and level texture.
    void Release();
};

// The effect state; null until created.
CEffectState* EffectState();
CEffectState& CreateEffectState();  // the existing one, or a new one with both flags off
void DeleteEffectState();           // releases its resources first

// The "Graphic Effect" setting: stores the flag (creating the state when needed); then,
// when the device can run the effect, builds the resources for the back buffer while
// either flag is on and releases them otherwise.
void SetGraphicEffect(bool on);
// True while the "Graphic Effect" flag is on.
bool GraphicEffectOn();

}  // namespace NVireo::NDirectX::N3D
