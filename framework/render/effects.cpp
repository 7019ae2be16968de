// The graphic effect: the pixel-shader probe, the format check and the effect resources
// (see effects.h). Every Raise has its own site number (864xx).
#include "framework/render/effects.h"

#include <cstdio>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace Site = NVireo::NError::NSite::NEffects;

namespace NVireo::NDirectX::N3D {

namespace {

using NVireo::NError::kSite;

// A screen-aligned quad from (left, top) to (right, bottom) over the whole texture.
void FillQuad(CQuadVertex (&quad)[4], float left, float top, float right, float bottom) {
    TexturedQuad(left, top, right, bottom, 1.0f, 1.0f, quad);
}

// The state lives until shutdown deletes it; a plain pointer, so nothing runs at exit
// after the texture registries are gone.
CEffectState* effectState = nullptr;

}  // namespace

namespace NShader {

const char* const kWeightedSumShader =
    "ps.1.0\ntex t0\ntex t1\ntex t2\nmul r0,t0,c0\nmul r1,t1,c1\nadd r0,r0,r1\nmul r1,t2,c1\nadd "
    "r0,r0,r1\n";
const char* const kCrossFadeShader =
    "ps.1.1\ntex t0\ntex t1\ntex "
    "t2\nmul\tr0\t,t1\t,t0\t\t\nmul\tr1\t,t2\t,1-t0\t\nadd\tr0\t,r0\t,r1\n";

bool CPixelShader::Create(const char* text) {
    SE_MARK();
    Release();
    IDirect3DDevice8* device = Device().Get();
    if (device == nullptr) {
        Raise(kSite, Site::kNoDevice, "no device");
        return false;
    }
    const HRESULT assembled = D3DXAssembleShader(text, static_cast<UINT>(std::strlen(text)), 0,
                                                 nullptr, code.Receive(), nullptr);
    if (RaiseIfFailed(assembled, Site::kAssemble)) return false;
    DWORD made = 0;
    if (RaiseIfFailed(device->CreatePixelShader(code.Tokens(), &made), Site::kCreatePixelShader)) {
        code.Release();
        return false;
    }
    handle = made;
    return true;
}

void CPixelShader::Release() {
    SE_MARK();
    const DWORD old = handle;
    handle = 0;
    code.Release();
    // Without a device the handle went with it.
    if (old != 0 && Device().Exists())
        RaiseIfFailed(Device().Get()->DeletePixelShader(old), Site::kDeletePixelShader);
}

}  // namespace NShader

uint32_t& ProbeReason() {
    static uint32_t reason = 0;
    return reason;
}

bool ProbePixelShaders() {
    SE_MARK();
    IDirect3DDevice8* device = Device().Get();
    if (device == nullptr) {
        ProbeReason() = kProbeCreate;
        return false;
    }
    char text[32];
    std::snprintf(text, sizeof text, "ps.1.%u\nmov r0,c0", 0u);
    NShader::CCompiledCode code;
    if (FAILED(D3DXAssembleShader(text, static_cast<UINT>(std::strlen(text)), 0, nullptr,
                                  code.Receive(), nullptr))) {
        ProbeReason() = kProbeAssembly;
        return false;
    }
    DWORD handle = 0;
    if (FAILED(device->CreatePixelShader(code.Tokens(), &handle))) {
        ProbeReason() = kProbeCreate;
        return false;
    }
    const float constant[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    uint32_t reason = 0;
    if (FAILED(device->SetPixelShaderConstant(0, constant, 1))) {
        reason = kProbeConstant;
    } else if (FAILED(device->SetPixelShader(handle))) {
        reason = kProbeSet;
    }
    // The probe shader is given back whatever happened; a device that cannot give it
    // back, or cannot return to the fixed-function pipeline, is no use for the effect.
    if (FAILED(device->DeletePixelShader(handle)) && reason == 0) reason = kProbeResetToNone;
    if (FAILED(device->SetPixelShader(0)) && reason == 0) reason = kProbeResetToNone;
    ProbeReason() = reason;
    return reason == 0;
}

void InstallPixelShaderProbe() { SetPixelShaderProbe(&ProbePixelShaders); }

bool CanUseEffect() {
    SE_MARK();
    IDirect3D8* d3d = Direct3D().Get();
    if (d3d == nullptr || !Device().Exists() || !RendererState().pixelShaders) return false;
    const bool wide = FormatBits(PresentParameters().BackBufferFormat) == 32;
    const D3DFORMAT formats[3] = {wide ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5,
                                  wide ? D3DFMT_A8R8G8B8 : D3DFMT_A1R5G5B5,
                                  wide ? D3DFMT_A8R8G8B8 : D3DFMT_A4R4G4B4};
    for (D3DFORMAT format : formats) {
        const HRESULT checked =
            d3d->CheckDeviceFormat(0, static_cast<D3DDEVTYPE>(Device().type), DisplayFormat(),
                                   D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format);
        if (FAILED(checked)) return false;
    }
    return true;
}

bool CEffectState::Build(uint32_t width, uint32_t height) {
    SE_MARK();
    Release();
    initialised = true;
    if (!shaders[0].Create(NShader::kWeightedSumShader) ||
        !shaders[1].Create(NShader::kCrossFadeShader)) {
        return false;
    }
    if (width != 0) {
        for (NTexture::NOffScreen::CReCreateOnly& target : screenTargets) {
            if (!target.Create(width, height, 0)) return false;
        }
    }
    for (int i = 0; i < kLevels; ++i) {
        const uint32_t w = width >> i, h = height >> i;
        CEffectLevel& level = levels[i];
        // A level that would have no pixels has no targets.
        if (w != 0 && h != 0) {
            for (NTexture::NOffScreen::CReCreateOnly& target : level.targets) {
                if (!target.Create(w, h, 0)) return false;
            }
        }
        FillQuad(level.quad, 0.0f, 0.0f, static_cast<float>(w + 1), static_cast<float>(h + 1));
    }
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    FillQuad(screenQuad, 0.0f, 0.0f, w, h);
    FillQuad(shiftedQuad, -1.0f, -1.0f, w - 1.0f, h - 1.0f);
    FillQuad(fullScreenRect, 0.0f, 0.0f, w, h);
    return true;
}

void CEffectState::Release() {
    SE_MARK();
    for (NShader::CPixelShader& shader : shaders) shader.Release();
    for (NTexture::NOffScreen::CReCreateOnly& target : screenTargets) target.Release();
    for (CEffectLevel& level : levels) {
        for (NTexture::NOffScreen::CReCreateOnly& target : level.targets) target.Release();
    }
    initialised = false;
}

CEffectState* EffectState() { return effectState; }

CEffectState& CreateEffectState() {
    SE_MARK();
    if (effectState == nullptr) effectState = new CEffectState;
    return *effectState;
}

void DeleteEffectState() {
    SE_MARK();
    CEffectState* old = effectState;
    effectState = nullptr;
    if (old != nullptr) {
        old->Release();
        delete old;
    }
}

void SetGraphicEffect(bool on) {
    SE_MARK();
    CEffectState& state = CreateEffectState();
    state.flags[0] = on ? 1 : 0;
    if (!CanUseEffect()) return;
    if (state.AnyFlag()) {
        state.Build(PresentParameters().BackBufferWidth, PresentParameters().BackBufferHeight);
    } else {
        state.Release();
    }
}

bool GraphicEffectOn() { return effectState != nullptr && effectState->flags[0] != 0; }

}  // namespace NVireo::NDirectX::N3D
