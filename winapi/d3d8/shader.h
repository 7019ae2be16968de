// Pixel shaders of the Direct3D 8 device: a ps.1.0/ps.1.1 token stream checked and
// decoded once (CreatePixelShader), then run for every pixel the rasterizer shades while
// the shader is set.
#pragma once

#include <d3d8.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace winapi::d3d8 {

constexpr int kPixelShaderConstants = 8;
constexpr int kPixelShaderTextures = 4;

struct ShaderSource {
    uint8_t type = 0;  // 0 temporary, 1 input (colour), 2 constant, 3 texture
    uint8_t index = 0;
    uint8_t modifier = 0;  // D3DSPSM_* >> D3DSP_SRCMOD_SHIFT
    bool alphaReplicate = false;
};

struct ShaderInstruction {
    uint16_t opcode = 0;
    bool coissue = false;
    uint8_t destType = 0, destIndex = 0;
    uint8_t writeMask = 0xF;  // bit 0 red ... bit 3 alpha
    bool saturate = false;
    int8_t shift = 0;  // 1: x2, 2: x4, -1: d2
    ShaderSource sources[3];
    float value[4] = {};  // def
};

struct PixelProgram {
    DWORD version = 0;
    std::vector<ShaderInstruction> instructions;
    uint8_t sampledStages = 0;  // stages a tex instruction reads (bit per stage)
};

// Decodes a token stream; null when it is not one the device runs (the reason is said
// once on standard error for a valid but unsupported stream).
std::shared_ptr<const PixelProgram> DecodePixelShader(const DWORD* function);

// What one pixel brings to the shader: colours and texture coordinates as 0..1 reals,
// r, g, b, a order; texel[i] is stage i's sample (for the stages the program samples).
struct PixelInputs {
    float diffuse[4];
    float specular[4];
    float texel[kPixelShaderTextures][4];
    float coordinates[kPixelShaderTextures][4];  // u, v, 0, 1
    const float (*constants)[4];
};

// Runs the program; false when texkill discards the pixel. out is r0, clamped to 0..1.
bool RunPixelShader(const PixelProgram& program, const PixelInputs& in, float out[4]);

}  // namespace winapi::d3d8
