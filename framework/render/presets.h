// Render-state presets for drawing pre-transformed quads: blending by one-letter code,
// the texture factor, the depth switches, the colour and alpha set-ups of texture stage 0,
// and a flat rectangle drawn in the current preset. Each sets states on the program's
// device (direct3d.h); a failing call is reported there. Main thread only.
#pragma once

#include <d3d8.h>

namespace NVireo::NDirectX::N3D {

// Blending by one-letter code: "a" additive, "b" normal alpha, "m" multiply, "s" darken
// by source alpha; any other letter switches blending off and leaves the factors.
void SetBlend(char code);
void SetTextureFactor(D3DCOLOR color);
void DisableZ();
void DisableZWrite();

// The drawing presets for pre-transformed quads on texture stage 0.
void PresetTextured();         // the texture as it is, normal alpha
void PresetTinted();           // the texture factor's colour, the texture's alpha
void PresetTintedModulated();  // the factor's colour, texture alpha x factor alpha
void PresetAdditiveTint();     // texture x factor, added to the target
void PresetFlat(D3DCOLOR color, char blendCode);  // a flat colour, blended by code
void PresetFlatAdditive(D3DCOLOR color);
void PresetFlatAlpha(D3DCOLOR color);

// A flat rectangle from (left, top) to (right, bottom) in the current preset.
void DrawFlatRect(float left, float top, float right, float bottom);

}  // namespace NVireo::NDirectX::N3D
