// Pixel shaders of the Direct3D 8 device (see shader.h).
// Supports: ps.1.0 and ps.1.1 token streams with tex, texcoord, texkill, def, nop, mov,
// add, sub, mul, mad, lrp, dp3 and cnd; co-issued pairs; saturation and the x2, x4 and d2
// shifts; the source modifiers negate, bias, bias-negate, sign (_bx2), sign-negate and
// complement; the alpha replicate; write masks .rgba, .rgb and .a; registers r0-r1,
// t0-t3, v0-v1, c0-c7. Values are reals clamped to -1..1 (MaxPixelShaderValue 1), as on
// ps.1.1 hardware; textures are point-sampled as in the fixed-function path.
// Does not support (a refused stream, said once on standard error): other versions and
// the texture-addressing instructions beyond tex and texcoord.
#include "d3d8/shader.h"

#include <algorithm>
#include <cstring>

#include "backend/syserror.h"

namespace winapi::d3d8 {

namespace {

// A stream longer than this is not one this device was given by the assembler (comments
// included); the limit also stops a stream without an end token.
constexpr size_t kLongestStream = 1u << 16;

int SourceCount(DWORD opcode) {
    switch (opcode) {
        case D3DSIO_MOV:
            return 1;
        case D3DSIO_ADD:
        case D3DSIO_SUB:
        case D3DSIO_MUL:
        case D3DSIO_DP3:
            return 2;
        case D3DSIO_MAD:
        case D3DSIO_LRP:
        case D3DSIO_CND:
            return 3;
        default:
            return 0;
    }
}

bool Arithmetic(DWORD opcode) { return SourceCount(opcode) > 0; }

bool RegisterInRange(DWORD type, DWORD index) {
    switch (type) {
        case D3DSPR_TEMP:
            return index < 2;
        case D3DSPR_INPUT:
            return index < 2;
        case D3DSPR_CONST:
            return index < DWORD(kPixelShaderConstants);
        case D3DSPR_TEXTURE:
            return index < DWORD(kPixelShaderTextures);
        default:
            return false;
    }
}

bool DecodeDestination(DWORD token, DWORD opcode, ShaderInstruction& out) {
    const DWORD type = token & D3DSP_REGTYPE_MASK, index = token & D3DSP_REGNUM_MASK;
    const DWORD mask = (token & D3DSP_WRITEMASK_ALL) >> 16;
    const DWORD modifier = token & D3DSP_DSTMOD_MASK;
    const DWORD shift = (token & D3DSP_DSTSHIFT_MASK) >> D3DSP_DSTSHIFT_SHIFT;
    const DWORD known = 0x80000000u | D3DSP_REGTYPE_MASK | D3DSP_REGNUM_MASK | D3DSP_WRITEMASK_ALL |
                        D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK;
    if (!(token & 0x80000000u) || (token & ~known) != 0 || !RegisterInRange(type, index))
        return false;
    if (opcode == D3DSIO_DEF) {
        if (type != D3DSPR_CONST || mask != 0xF || modifier != 0 || shift != 0) return false;
    } else if (!Arithmetic(opcode)) {
        if (type != D3DSPR_TEXTURE || mask != 0xF || modifier != 0 || shift != 0) return false;
    } else {
        if (type != D3DSPR_TEMP && type != D3DSPR_TEXTURE) return false;
        if (mask != 0xF && mask != 0x7 && mask != 0x8) return false;
        if (modifier != D3DSPDM_NONE && modifier != D3DSPDM_SATURATE) return false;
        if (shift != 0 && shift != 1 && shift != 2 && shift != 0xF) return false;
    }
    out.destType = uint8_t(type >> D3DSP_REGTYPE_SHIFT);
    out.destIndex = uint8_t(index);
    out.writeMask = uint8_t(mask);
    out.saturate = modifier == D3DSPDM_SATURATE;
    out.shift = shift == 0xF ? int8_t(-1) : int8_t(shift);
    return true;
}

bool DecodeSource(DWORD token, ShaderSource& out) {
    const DWORD type = token & D3DSP_REGTYPE_MASK, index = token & D3DSP_REGNUM_MASK;
    const DWORD swizzle = token & D3DSP_SWIZZLE_MASK;
    const DWORD modifier = token & D3DSP_SRCMOD_MASK;
    const DWORD known = 0x80000000u | D3DSP_REGTYPE_MASK | D3DSP_REGNUM_MASK | D3DSP_SWIZZLE_MASK |
                        D3DSP_SRCMOD_MASK;
    if (!(token & 0x80000000u) || (token & ~known) != 0 || !RegisterInRange(type, index))
        return false;
    if (swizzle != D3DSP_NOSWIZZLE && swizzle != D3DSP_REPLICATEALPHA) return false;
    if (modifier > D3DSPSM_COMP) return false;
    out.type = uint8_t(type >> D3DSP_REGTYPE_SHIFT);
    out.index = uint8_t(index);
    out.modifier = uint8_t(modifier >> D3DSP_SRCMOD_SHIFT);
    out.alphaReplicate = swizzle == D3DSP_REPLICATEALPHA;
    return true;
}

float Clamp(float v, float low, float high) { return v < low ? low : (v > high ? high : v); }

}  // namespace

std::shared_ptr<const PixelProgram> DecodePixelShader(const DWORD* function) {
    if (function == nullptr) return nullptr;
    auto program = std::make_shared<PixelProgram>();
    const DWORD version = function[0];
    if (version != D3DPS_VERSION(1, 0) && version != D3DPS_VERSION(1, 1)) {
        if ((version & 0xFFFF0000u) == 0xFFFF0000u || (version & 0xFFFF0000u) == 0xFFFE0000u) {
            backend::WarnUnsupported("Direct3D shader versions other than ps.1.0 and ps.1.1");
        }
        return nullptr;
    }
    program->version = version;
    bool writesR0 = false;
    size_t at = 1;
    while (true) {
        if (at >= kLongestStream) return nullptr;
        const DWORD token = function[at++];
        if (token == D3DPS_END()) break;
        const DWORD opcode = token & D3DSI_OPCODE_MASK;
        if (opcode == D3DSIO_COMMENT) {
            if (token & 0x80000000u) return nullptr;
            at += (token >> 16) & 0x7FFFu;
            continue;
        }
        const bool coissue = (token & D3DSI_COISSUE) != 0;
        if ((token & ~(D3DSI_OPCODE_MASK | D3DSI_COISSUE)) != 0) return nullptr;
        ShaderInstruction instruction;
        instruction.opcode = uint16_t(opcode);
        instruction.coissue = coissue;
        switch (opcode) {
            case D3DSIO_NOP:
                if (coissue) return nullptr;
                continue;
            case D3DSIO_TEX:
            case D3DSIO_TEXCOORD:
            case D3DSIO_TEXKILL:
            case D3DSIO_DEF:
                if (coissue) return nullptr;
                break;
            default:
                if (!Arithmetic(opcode)) {
                    if (opcode >= D3DSIO_TEXCOORD && opcode <= D3DSIO_BEM) {
                        backend::WarnUnsupported(
                            "Direct3D pixel-shader instructions beyond tex, texcoord, "
                            "texkill and the arithmetic ones");
                    }
                    return nullptr;
                }
                if (coissue && (program->instructions.empty() ||
                                !Arithmetic(program->instructions.back().opcode) ||
                                program->instructions.back().coissue)) {
                    return nullptr;
                }
                break;
        }
        if (at >= kLongestStream || !DecodeDestination(function[at++], opcode, instruction))
            return nullptr;
        if (opcode == D3DSIO_DEF) {
            for (float& value : instruction.value) {
                if (at >= kLongestStream) return nullptr;
                std::memcpy(&value, &function[at++], 4);
            }
        }
        for (int i = 0; i < SourceCount(opcode); ++i) {
            if (at >= kLongestStream || !DecodeSource(function[at++], instruction.sources[i]))
                return nullptr;
        }
        if (opcode == D3DSIO_TEX) program->sampledStages |= uint8_t(1u << instruction.destIndex);
        if (Arithmetic(opcode) && instruction.destType == 0 && instruction.destIndex == 0)
            writesR0 = true;
        program->instructions.push_back(instruction);
    }
    // The pixel's colour is r0: a program that never writes it is refused.
    if (!writesR0) return nullptr;
    return program;
}

bool RunPixelShader(const PixelProgram& program, const PixelInputs& in, float out[4]) {
    float temp[2][4] = {};
    float texture[kPixelShaderTextures][4] = {};
    float defined[kPixelShaderConstants][4];
    bool isDefined[kPixelShaderConstants] = {};

    auto read = [&](const ShaderSource& s, float v[4]) {
        const float* reg = nullptr;
        switch (s.type) {
            case 0:
                reg = temp[s.index];
                break;
            case 1:
                reg = s.index == 0 ? in.diffuse : in.specular;
                break;
            case 2:
                reg = isDefined[s.index] ? defined[s.index] : in.constants[s.index];
                break;
            default:
                reg = texture[s.index];
                break;
        }
        for (int k = 0; k < 4; ++k) {
            float x = reg[s.alphaReplicate ? 3 : k];
            if (s.type == 2) x = Clamp(x, -1.0f, 1.0f);
            switch (s.modifier) {
                case 1:
                    x = -x;
                    break;  // negate
                case 2:
                    x = x - 0.5f;
                    break;  // bias
                case 3:
                    x = 0.5f - x;
                    break;  // bias, negated
                case 4:
                    x = 2.0f * x - 1.0f;
                    break;  // sign (_bx2)
                case 5:
                    x = 1.0f - 2.0f * x;
                    break;  // sign, negated
                case 6:
                    x = 1.0f - x;
                    break;  // complement
                default:
                    break;
            }
            v[k] = x;
        }
    };

    struct Pending {
        float* target;
        uint8_t mask;
        float value[4];
    };
    const std::vector<ShaderInstruction>& code = program.instructions;
    for (size_t i = 0; i < code.size();) {
        const ShaderInstruction& first = code[i];
        switch (first.opcode) {
            case D3DSIO_DEF:
                std::memcpy(defined[first.destIndex], first.value, sizeof first.value);
                isDefined[first.destIndex] = true;
                ++i;
                continue;
            case D3DSIO_TEX:
                std::memcpy(texture[first.destIndex], in.texel[first.destIndex], 4 * sizeof(float));
                ++i;
                continue;
            case D3DSIO_TEXCOORD:
                for (int k = 0; k < 4; ++k) {
                    texture[first.destIndex][k] =
                        Clamp(in.coordinates[first.destIndex][k], 0.0f, 1.0f);
                }
                ++i;
                continue;
            case D3DSIO_TEXKILL:
                for (int k = 0; k < 3; ++k) {
                    if (in.coordinates[first.destIndex][k] < 0.0f) return false;
                }
                ++i;
                continue;
            default:
                break;
        }
        // An arithmetic instruction and the one co-issued with it read before either writes.
        Pending pending[2];
        int count = 0;
        do {
            const ShaderInstruction& op = code[i];
            float a[4] = {}, b[4] = {}, c[4] = {}, r[4] = {};
            const int sources = SourceCount(op.opcode);
            read(op.sources[0], a);
            if (sources > 1) read(op.sources[1], b);
            if (sources > 2) read(op.sources[2], c);
            const float dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
            for (int k = 0; k < 4; ++k) {
                switch (op.opcode) {
                    case D3DSIO_MOV:
                        r[k] = a[k];
                        break;
                    case D3DSIO_ADD:
                        r[k] = a[k] + b[k];
                        break;
                    case D3DSIO_SUB:
                        r[k] = a[k] - b[k];
                        break;
                    case D3DSIO_MUL:
                        r[k] = a[k] * b[k];
                        break;
                    case D3DSIO_MAD:
                        r[k] = a[k] * b[k] + c[k];
                        break;
                    case D3DSIO_LRP:
                        r[k] = a[k] * b[k] + (1.0f - a[k]) * c[k];
                        break;
                    case D3DSIO_DP3:
                        r[k] = dot;
                        break;
                    case D3DSIO_CND:
                        r[k] = a[k] > 0.5f ? b[k] : c[k];
                        break;
                    default:
                        break;
                }
                if (op.shift == 1) r[k] *= 2.0f;
                if (op.shift == 2) r[k] *= 4.0f;
                if (op.shift == -1) r[k] *= 0.5f;
                r[k] = op.saturate ? Clamp(r[k], 0.0f, 1.0f) : Clamp(r[k], -1.0f, 1.0f);
            }
            Pending& p = pending[count++];
            p.target = op.destType == 0 ? temp[op.destIndex] : texture[op.destIndex];
            p.mask = op.writeMask;
            std::memcpy(p.value, r, sizeof r);
            ++i;
        } while (i < code.size() && code[i].coissue && count < 2);
        for (int n = 0; n < count; ++n) {
            for (int k = 0; k < 4; ++k) {
                if (pending[n].mask & (1u << k)) pending[n].target[k] = pending[n].value[k];
            }
        }
    }
    for (int k = 0; k < 4; ++k) out[k] = Clamp(temp[0][k], 0.0f, 1.0f);
    return true;
}

}  // namespace winapi::d3d8
