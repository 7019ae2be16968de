// Render-state presets: blending by code, the texture factor, the depth switches and the
// drawing presets of texture stage 0, each set on the program's device.
#include "framework/render/presets.h"

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace NVireo::NDirectX::N3D {

void SetBlend(char code) {
    CDevice& device = Device();
    DWORD source = 0, destination = 0;
    switch (code) {
        case 'a':
            source = D3DBLEND_ONE;
            destination = D3DBLEND_ONE;
            break;
        case 'b':
            source = D3DBLEND_SRCALPHA;
            destination = D3DBLEND_INVSRCALPHA;
            break;
        case 'm':
            source = D3DBLEND_ZERO;
            destination = D3DBLEND_SRCCOLOR;
            break;
        case 's':
            source = D3DBLEND_ZERO;
            destination = D3DBLEND_INVSRCALPHA;
            break;
        default:
            device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
            return;
    }
    device.SetRenderState(D3DRS_SRCBLEND, source);
    device.SetRenderState(D3DRS_DESTBLEND, destination);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
}

void SetTextureFactor(D3DCOLOR color) { Device().SetRenderState(D3DRS_TEXTUREFACTOR, color); }
void DisableZ() { Device().SetRenderState(D3DRS_ZENABLE, FALSE); }
void DisableZWrite() { Device().SetRenderState(D3DRS_ZWRITEENABLE, FALSE); }

namespace {

void StageColor(DWORD operation, DWORD argument1, DWORD argument2) {
    Device().SetTextureStageState(0, D3DTSS_COLOROP, operation);
    Device().SetTextureStageState(0, D3DTSS_COLORARG1, argument1);
    Device().SetTextureStageState(0, D3DTSS_COLORARG2, argument2);
}

void StageAlpha(DWORD operation, DWORD argument1, DWORD argument2) {
    Device().SetTextureStageState(0, D3DTSS_ALPHAOP, operation);
    Device().SetTextureStageState(0, D3DTSS_ALPHAARG1, argument1);
    Device().SetTextureStageState(0, D3DTSS_ALPHAARG2, argument2);
}

}  // namespace

void PresetTextured() {
    SE_MARK();
    StageColor(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    StageAlpha(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    Device().SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    Device().SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    Device().SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    SetBlend('b');
}

void PresetTinted() {
    SE_MARK();
    StageColor(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
    StageAlpha(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetBlend('b');
}

void PresetTintedModulated() {
    SE_MARK();
    StageColor(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
    StageAlpha(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR);
    SetBlend('b');
}

void PresetAdditiveTint() {
    SE_MARK();
    StageColor(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR);
    SetBlend('a');
}

void PresetFlat(D3DCOLOR color, char blendCode) {
    SE_MARK();
    SetTextureFactor(color);
    StageColor(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
    SetBlend(blendCode);
}

namespace {
// The flat colour with its own alpha too, blended by blendCode.
void PresetFlatWithAlpha(D3DCOLOR color, char blendCode) {
    PresetFlat(color, blendCode);
    StageAlpha(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
}
}  // namespace

void PresetFlatAdditive(D3DCOLOR color) {
    SE_MARK();
    PresetFlatWithAlpha(color, 'a');
}

void PresetFlatAlpha(D3DCOLOR color) {
    SE_MARK();
    PresetFlatWithAlpha(color, 'b');
}

void DrawFlatRect(float left, float top, float right, float bottom) {
    SE_MARK();
    struct CVertex {
        float x, y, z, rhw;
    };
    const CVertex fan[4] = {
        {left, top, 0.0f, 1.0f},
        {right, top, 0.0f, 1.0f},
        {right, bottom, 0.0f, 1.0f},
        {left, bottom, 0.0f, 1.0f},
    };
    CDevice& device = Device();
    device.SetTexture(nullptr);
    device.SetFVF(D3DFVF_XYZRHW);
    device.DrawUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(CVertex));
}

}  // namespace NVireo::NDirectX::N3D
