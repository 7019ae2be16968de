// D3DX 8 pixel-shader assembler: D3DXAssembleShader turns ps.1.0 and ps.1.1 text into the
// token stream IDirect3DDevice8::CreatePixelShader takes, after checking it as the
// assembler on Windows does (register ranges, texture instructions first, registers read
// only after they are written, the instruction limits, r0 written at the end).
// Supports: "ps.1.0" and "ps.1.1"; the instructions tex, texcoord, texkill, def, nop, mov,
// add, sub, mul, mad, lrp, dp3, cnd; co-issued pairs ("+", one writing .rgb, one .a);
// the modifiers _x2, _x4, _d2 and _sat; the source modifiers -, 1-, _bias and _bx2 and
// the .a replicate; the write masks .rgba, .rgb and .a (and their xyzw spellings);
// comments after "//" or ";". Any letter case.
// Does not support (E_NOTIMPL, said once on standard error): other shader versions,
// vertex shaders, the texture-addressing instructions beyond tex and texcoord (texbem,
// texm3x3... and the like), flags, macros and includes.
#include <d3dx8.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "backend/com_object.h"
#include "backend/syserror.h"

namespace {

using winapi::backend::WarnUnsupported;

// Bytes handed out by the D3DX functions.
class CBuffer final : public winapi::backend::CSingleInterface<ID3DXBuffer> {
public:
    explicit CBuffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return DWORD(bytes_.size()); }

private:
    ~CBuffer() override = default;
    bool Answers(REFIID riid) const override { return riid == IID_ID3DXBuffer; }
    std::vector<uint8_t> bytes_;
};

LPD3DXBUFFER MakeBuffer(const void* data, size_t size) {
    std::vector<uint8_t> bytes(size);
    if (size != 0) std::memcpy(bytes.data(), data, size);
    return new CBuffer(std::move(bytes));
}

// What each instruction takes: a destination, then sources (def: four numbers).
struct Instruction {
    const char* name;
    DWORD opcode;
    int sources;
    bool texture;  // a texture instruction (tex, texcoord, texkill)
};

constexpr Instruction kInstructions[] = {
    {"nop", D3DSIO_NOP, -1, false},       {"mov", D3DSIO_MOV, 1, false},
    {"add", D3DSIO_ADD, 2, false},        {"sub", D3DSIO_SUB, 2, false},
    {"mul", D3DSIO_MUL, 2, false},        {"mad", D3DSIO_MAD, 3, false},
    {"lrp", D3DSIO_LRP, 3, false},        {"dp3", D3DSIO_DP3, 2, false},
    {"cnd", D3DSIO_CND, 3, false},        {"def", D3DSIO_DEF, 4, false},
    {"tex", D3DSIO_TEX, 0, true},         {"texcoord", D3DSIO_TEXCOORD, 0, true},
    {"texkill", D3DSIO_TEXKILL, 0, true},
};

// Valid ps.1.x instructions this assembler does not take.
constexpr const char* kUnsupported[] = {
    "texbem",       "texbeml",    "texreg2ar",  "texreg2gb",   "texreg2rgb",  "texm3x2pad",
    "texm3x2tex",   "texm3x3pad", "texm3x3tex", "texm3x3diff", "texm3x3spec", "texm3x3vspec",
    "texm3x2depth", "texdp3",     "texdp3tex",  "texm3x3",     "texdepth",    "texcrd",
    "texld",        "cmp",        "dp4",        "bem",         "phase",
};

struct Failure {
    HRESULT code;
    std::string message;
};

// Arithmetic instructions take modifiers, pair up and count against the limit of 8.
bool IsArithmetic(const Instruction& instruction) {
    return !instruction.texture && instruction.opcode != D3DSIO_DEF &&
           instruction.opcode != D3DSIO_NOP;
}

// One register named in the text.
struct Register {
    DWORD type = 0;  // D3DSPR_*
    DWORD index = 0;
    char letter = 0;
};

// One line of the shader as it goes through the steps: Split fills the first three
// fields, Parse the instruction, its modifiers and its operands, Check the register the
// instruction writes.
struct CStatement {
    bool coissue = false;  // "+": the second instruction of a pair
    std::string word;      // the mnemonic with its modifiers, as written
    std::string rest;      // the operands, as written
    const Instruction* instruction = nullptr;
    DWORD modifiers = 0;  // saturate and shift, for the destination token
    std::vector<std::string> operands;
    Register written;  // tex, texcoord, texkill and arithmetic
    DWORD mask = 0;    // the destination's write mask
};

class CAssembler {
public:
    bool Run(const std::string& text);
    const std::vector<DWORD>& Tokens() const { return tokens_; }
    const Failure& Error() const { return failure_; }

private:
    bool Fail(HRESULT code, const std::string& message) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "(%u): ", line_);
        failure_ = {code, prefix + message};
        return false;
    }
    bool Statement(std::string text);
    bool Parse(CStatement& statement);
    bool ParseMnemonic(CStatement& statement, std::string& name);
    bool ParseOperands(CStatement& statement, const std::string& name);
    bool Check(CStatement& statement, std::vector<DWORD>& tokens);
    bool CheckDefinition(const std::vector<std::string>& operands, std::vector<DWORD>& tokens);
    bool CheckTexture(CStatement& statement, std::vector<DWORD>& tokens);
    bool CheckArithmetic(CStatement& statement, std::vector<DWORD>& tokens);
    void Emit(const CStatement& statement, const std::vector<DWORD>& operands);
    bool Version(const std::string& word);
    bool ParseRegister(const std::string& text, Register& out);
    bool Destination(const std::string& text, bool textureInstruction, DWORD& token, DWORD& mask,
                     Register& reg);
    bool Source(const std::string& text, DWORD& token, Register& reg, bool& alphaOnly);
    bool Readable(const Register& reg);

    std::vector<DWORD> tokens_;
    Failure failure_{S_OK, {}};
    unsigned line_ = 0;
    bool versionSeen_ = false;
    bool instructionSeen_ = false;  // anything but def
    bool arithmeticSeen_ = false;
    int textureCount_ = 0;
    int arithmeticCount_ = 0;
    bool written_[2] = {};       // r0, r1
    bool textureReady_[4] = {};  // t0..t3 hold a value
    DWORD previousMask_ = 0;     // the write mask of the last arithmetic instruction
    bool previousCoissued_ = false;
};

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
    }
    return out;
}

bool CAssembler::Run(const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++line_;
        std::string statement = text.substr(start, end - start);
        const size_t slashes = statement.find("//");
        if (slashes != std::string::npos) statement.resize(slashes);
        const size_t semicolon = statement.find(';');
        if (semicolon != std::string::npos) statement.resize(semicolon);
        if (!Statement(Lower(statement))) return false;
        start = end + 1;
    }
    if (!versionSeen_) return Fail(D3DXERR_INVALIDDATA, "no shader version");
    if (!written_[0])
        return Fail(D3DXERR_INVALIDDATA, "r0 is never written (it is the pixel's colour)");
    tokens_.push_back(D3DPS_END());
    return true;
}

bool CAssembler::Version(const std::string& word) {
    if (word == "ps.1.0" || word == "ps.1.1") {
        tokens_.push_back(D3DPS_VERSION(1, word[5] - '0'));
        versionSeen_ = true;
        return true;
    }
    if (word.rfind("ps.", 0) == 0 || word.rfind("vs.", 0) == 0 || word.rfind("ps_", 0) == 0 ||
        word.rfind("vs_", 0) == 0) {
        WarnUnsupported("D3DXAssembleShader versions other than ps.1.0 and ps.1.1");
        return Fail(E_NOTIMPL, "unsupported shader version " + word);
    }
    return Fail(D3DXERR_INVALIDDATA, "the shader must start with its version, not " + word);
}

bool CAssembler::ParseRegister(const std::string& text, Register& out) {
    if (text.size() < 2) return Fail(D3DXERR_INVALIDDATA, "bad register '" + text + "'");
    const char letter = text[0];
    for (size_t i = 1; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return Fail(D3DXERR_INVALIDDATA, "bad register '" + text + "'");
        }
    }
    if (text.size() > 3) return Fail(D3DXERR_INVALIDDATA, "register out of range '" + text + "'");
    const DWORD index = DWORD(std::strtoul(text.c_str() + 1, nullptr, 10));
    DWORD limit = 0;
    switch (letter) {
        case 'r':
            out.type = D3DSPR_TEMP;
            limit = 2;
            break;
        case 'v':
            out.type = D3DSPR_INPUT;
            limit = 2;
            break;
        case 'c':
            out.type = D3DSPR_CONST;
            limit = 8;
            break;
        case 't':
            out.type = D3DSPR_TEXTURE;
            limit = 4;
            break;
        default:
            return Fail(D3DXERR_INVALIDDATA, "bad register '" + text + "'");
    }
    if (index >= limit) return Fail(D3DXERR_INVALIDDATA, "register out of range '" + text + "'");
    out.index = index;
    out.letter = letter;
    return true;
}

bool CAssembler::Destination(const std::string& text, bool textureInstruction, DWORD& token,
                             DWORD& mask, Register& reg) {
    std::string name = text, suffix;
    const size_t dot = text.find('.');
    if (dot != std::string::npos) {
        name = text.substr(0, dot);
        suffix = text.substr(dot + 1);
    }
    if (!ParseRegister(name, reg)) return false;
    mask = D3DSP_WRITEMASK_ALL;
    if (dot != std::string::npos) {
        if (suffix == "rgba" || suffix == "xyzw") {
            mask = D3DSP_WRITEMASK_ALL;
        } else if (suffix == "rgb" || suffix == "xyz") {
            mask = D3DSP_WRITEMASK_0 | D3DSP_WRITEMASK_1 | D3DSP_WRITEMASK_2;
        } else if (suffix == "a" || suffix == "w") {
            mask = D3DSP_WRITEMASK_3;
        } else {
            return Fail(D3DXERR_INVALIDDATA, "bad write mask '." + suffix + "'");
        }
    }
    if (textureInstruction) {
        if (reg.type != D3DSPR_TEXTURE || dot != std::string::npos) {
            return Fail(D3DXERR_INVALIDDATA, "a texture instruction writes a whole t register");
        }
    } else if (reg.type != D3DSPR_TEMP && reg.type != D3DSPR_TEXTURE) {
        return Fail(D3DXERR_INVALIDDATA, "cannot write '" + name + "'");
    }
    token = 0x80000000u | reg.type | reg.index | mask;
    return true;
}

bool CAssembler::Readable(const Register& reg) {
    if (reg.type == D3DSPR_TEMP && !written_[reg.index]) {
        return Fail(D3DXERR_INVALIDDATA,
                    "r" + std::to_string(reg.index) + " is read before it is written");
    }
    if (reg.type == D3DSPR_TEXTURE && !textureReady_[reg.index]) {
        return Fail(D3DXERR_INVALIDDATA,
                    "t" + std::to_string(reg.index) + " is read without a texture instruction");
    }
    return true;
}

bool CAssembler::Source(const std::string& text, DWORD& token, Register& reg, bool& alphaOnly) {
    std::string s = text;
    bool negate = false, complement = false;
    if (s.rfind("1-", 0) == 0) {
        complement = true;
        s = s.substr(2);
    } else if (s.rfind("-", 0) == 0) {
        negate = true;
        s = s.substr(1);
    }
    std::string swizzle;
    const size_t dot = s.find('.');
    if (dot != std::string::npos) {
        swizzle = s.substr(dot + 1);
        s.resize(dot);
    }
    DWORD modifier = D3DSPSM_NONE;
    auto endsWith = [&](const char* tail) {
        const size_t n = std::strlen(tail);
        if (s.size() <= n || s.compare(s.size() - n, n, tail) != 0) return false;
        s.resize(s.size() - n);
        return true;
    };
    if (endsWith("_bias")) {
        modifier = negate ? D3DSPSM_BIASNEG : D3DSPSM_BIAS;
    } else if (endsWith("_bx2")) {
        modifier = negate ? D3DSPSM_SIGNNEG : D3DSPSM_SIGN;
    } else if (negate) {
        modifier = D3DSPSM_NEG;
    }
    if (complement) {
        if (modifier != D3DSPSM_NONE)
            return Fail(D3DXERR_INVALIDDATA, "1- takes no other modifier");
        modifier = D3DSPSM_COMP;
    }
    if (!ParseRegister(s, reg) || !Readable(reg)) return false;
    DWORD swizzleBits = D3DSP_NOSWIZZLE;
    alphaOnly = false;
    if (dot != std::string::npos) {
        if (swizzle == "a" || swizzle == "w") {
            swizzleBits = D3DSP_REPLICATEALPHA;
            alphaOnly = true;
        } else if (swizzle != "rgba" && swizzle != "xyzw") {
            return Fail(D3DXERR_INVALIDDATA, "bad source selector '." + swizzle + "'");
        }
    }
    token = 0x80000000u | reg.type | reg.index | swizzleBits | modifier;
    return true;
}

bool ParseNumber(const std::string& text, float& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    return end != nullptr && *end == '\0';
}

// Splits a line into its co-issue mark, first word and rest; false for a blank line.
bool Split(std::string text, CStatement& out) {
    // Leading and trailing blanks go; a "+" marks the second instruction of a pair.
    size_t first = 0;
    while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    text.erase(0, first);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    if (text.empty()) return false;
    if (text[0] == '+') {
        out.coissue = true;
        text.erase(0, 1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text[0]))) text.erase(0, 1);
    }
    size_t wordEnd = 0;
    while (wordEnd < text.size() && !std::isspace(static_cast<unsigned char>(text[wordEnd])))
        ++wordEnd;
    out.word = text.substr(0, wordEnd);
    out.rest = text.substr(wordEnd);
    return true;
}

// A line is assembled in three steps. Parse reads the instruction, its modifiers and
// its operands as text (after Split and the version line). Check turns the operands into
// tokens against the rules and what came before: which registers hold a value, the order
// of the instructions, the limits. Emit appends the tokens and records what the
// instruction changed. A failing step stops the shader, so only Emit changes the state.
bool CAssembler::Statement(std::string text) {
    CStatement statement;
    if (!Split(std::move(text), statement)) return true;  // a blank line
    if (!versionSeen_) {
        if (statement.coissue || !WithoutBlanks(statement.rest).empty()) {
            return Fail(D3DXERR_INVALIDDATA,
                        "the shader must start with its version alone on a line");
        }
        return Version(statement.word);
    }
    std::vector<DWORD> operands;
    if (!Parse(statement) || !Check(statement, operands)) return false;
    Emit(statement, operands);
    return true;
}

bool CAssembler::Parse(CStatement& statement) {
    std::string name;
    return ParseMnemonic(statement, name) && ParseOperands(statement, name);
}

// The mnemonic and its instruction modifiers; name is the mnemonic without them.
bool CAssembler::ParseMnemonic(CStatement& statement, std::string& name) {
    name = statement.word;
    DWORD shift = 0, saturate = 0;
    bool modified = false;
    for (size_t underscore = name.find('_'); underscore != std::string::npos;
         underscore = name.find('_')) {
        const std::string tail = name.substr(underscore + 1);
        const size_t next = tail.find('_');
        const std::string mod = tail.substr(0, next);
        name = name.substr(0, underscore) +
               (next == std::string::npos ? "" : "_" + tail.substr(next + 1));
        if (mod == "x2" && shift == 0) {
            shift = 1;
        } else if (mod == "x4" && shift == 0) {
            shift = 2;
        } else if (mod == "d2" && shift == 0) {
            shift = 0xF;
        } else if (mod == "sat" && saturate == 0) {
            saturate = D3DSPDM_SATURATE;
        } else {
            return Fail(D3DXERR_INVALIDDATA, "bad instruction modifier '_" + mod + "'");
        }
        modified = true;
    }
    statement.modifiers = saturate | (shift << D3DSP_DSTSHIFT_SHIFT);
    for (const Instruction& candidate : kInstructions) {
        if (name == candidate.name) statement.instruction = &candidate;
    }
    if (statement.instruction == nullptr) {
        for (const char* unsupported : kUnsupported) {
            if (name == unsupported) {
                WarnUnsupported(
                    "D3DXAssembleShader instructions beyond tex, texcoord, texkill and the "
                    "arithmetic ones");
                return Fail(E_NOTIMPL, "unsupported instruction " + name);
            }
        }
        if (name.rfind("ps.", 0) == 0 || name.rfind("vs.", 0) == 0) {
            return Fail(D3DXERR_INVALIDDATA, "a second version statement");
        }
        return Fail(D3DXERR_INVALIDDATA, "unknown instruction '" + statement.word + "'");
    }
    if (modified && !IsArithmetic(*statement.instruction))
        return Fail(D3DXERR_INVALIDDATA, name + " takes no instruction modifier");
    if (statement.coissue && !IsArithmetic(*statement.instruction))
        return Fail(D3DXERR_INVALIDDATA, name + " cannot be co-issued");
    return true;
}

// The operands, separated by commas, as many as the instruction takes.
bool CAssembler::ParseOperands(CStatement& statement, const std::string& name) {
    const std::string compact = WithoutBlanks(statement.rest);
    if (!compact.empty()) {
        size_t from = 0;
        while (true) {
            const size_t comma = compact.find(',', from);
            statement.operands.push_back(compact.substr(
                from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    const int sources = statement.instruction->sources;
    const size_t wanted = sources < 0 ? 0 : size_t(sources) + 1;
    if (statement.operands.size() != wanted) {
        return Fail(D3DXERR_INVALIDDATA, name + " takes " + std::to_string(wanted) + " operands");
    }
    for (const std::string& operand : statement.operands) {
        if (operand.empty()) return Fail(D3DXERR_INVALIDDATA, "missing operand");
    }
    return true;
}

bool CAssembler::Check(CStatement& statement, std::vector<DWORD>& tokens) {
    const Instruction& instruction = *statement.instruction;
    if (instruction.opcode == D3DSIO_NOP) return true;
    if (instruction.opcode == D3DSIO_DEF) return CheckDefinition(statement.operands, tokens);
    if (instruction.texture) return CheckTexture(statement, tokens);
    return CheckArithmetic(statement, tokens);
}

// def: a c register and four numbers, before any instruction.
bool CAssembler::CheckDefinition(const std::vector<std::string>& operands,
                                 std::vector<DWORD>& tokens) {
    if (instructionSeen_) return Fail(D3DXERR_INVALIDDATA, "def must come before the instructions");
    Register reg;
    if (!ParseRegister(operands[0], reg)) return false;
    if (reg.type != D3DSPR_CONST) return Fail(D3DXERR_INVALIDDATA, "def defines a c register");
    tokens.push_back(0x80000000u | D3DSPR_CONST | reg.index | D3DSP_WRITEMASK_ALL);
    for (size_t i = 1; i <= 4; ++i) {
        float value = 0;
        if (!ParseNumber(operands[i], value)) {
            return Fail(D3DXERR_INVALIDDATA, "def takes four numbers, not '" + operands[i] + "'");
        }
        DWORD bits;
        std::memcpy(&bits, &value, 4);
        tokens.push_back(bits);
    }
    return true;
}

// tex, texcoord, texkill: a t register not declared before, before the arithmetic.
bool CAssembler::CheckTexture(CStatement& statement, std::vector<DWORD>& tokens) {
    if (arithmeticSeen_)
        return Fail(D3DXERR_INVALIDDATA, "texture instructions come before arithmetic ones");
    DWORD token = 0;
    if (!Destination(statement.operands[0], true, token, statement.mask, statement.written))
        return false;
    if (textureReady_[statement.written.index]) {
        return Fail(D3DXERR_INVALIDDATA,
                    "t" + std::to_string(statement.written.index) + " is declared twice");
    }
    if (textureCount_ == 4) return Fail(D3DXERR_INVALIDDATA, "too many texture instructions");
    tokens.push_back(token);
    return true;
}

// Arithmetic: sources are read before the destination is written.
bool CAssembler::CheckArithmetic(CStatement& statement, std::vector<DWORD>& tokens) {
    const Instruction& instruction = *statement.instruction;
    const std::vector<std::string>& operands = statement.operands;
    DWORD token = 0;
    std::vector<DWORD> sources;
    for (size_t i = 1; i < operands.size(); ++i) {
        Register reg;
        bool alphaOnly = false;
        if (!Source(operands[i], token, reg, alphaOnly)) return false;
        if (instruction.opcode == D3DSIO_CND && i == 1 &&
            !(reg.type == D3DSPR_TEMP && reg.index == 0 && alphaOnly)) {
            return Fail(D3DXERR_INVALIDDATA, "cnd decides on r0.a");
        }
        sources.push_back(token);
    }
    if (!Destination(operands[0], false, token, statement.mask, statement.written)) return false;
    if (statement.coissue) {
        const DWORD rgb = D3DSP_WRITEMASK_0 | D3DSP_WRITEMASK_1 | D3DSP_WRITEMASK_2;
        const DWORD mask = statement.mask;
        const bool pairs = (previousMask_ == rgb && mask == D3DSP_WRITEMASK_3) ||
                           (previousMask_ == D3DSP_WRITEMASK_3 && mask == rgb);
        if (previousCoissued_ || !pairs) {
            return Fail(D3DXERR_INVALIDDATA,
                        "a co-issued pair writes .rgb in one instruction and .a in the other");
        }
    } else if (arithmeticCount_ == 8) {
        return Fail(D3DXERR_INVALIDDATA, "too many arithmetic instructions (8 at most)");
    }
    tokens.push_back(token | statement.modifiers);
    tokens.insert(tokens.end(), sources.begin(), sources.end());
    return true;
}

void CAssembler::Emit(const CStatement& statement, const std::vector<DWORD>& operands) {
    const Instruction& instruction = *statement.instruction;
    const Register& reg = statement.written;
    if (instruction.texture) {
        ++textureCount_;
        // texkill reads the coordinates only; tex and texcoord fill the register.
        if (instruction.opcode != D3DSIO_TEXKILL) textureReady_[reg.index] = true;
    } else if (IsArithmetic(instruction)) {
        arithmeticSeen_ = true;
        if (!statement.coissue) ++arithmeticCount_;
        previousMask_ = statement.mask;
        previousCoissued_ = statement.coissue;
        if (reg.type == D3DSPR_TEMP) written_[reg.index] = true;
        if (reg.type == D3DSPR_TEXTURE) textureReady_[reg.index] = true;
    }
    if (instruction.opcode != D3DSIO_NOP && instruction.opcode != D3DSIO_DEF) {
        instructionSeen_ = true;
    }
    tokens_.push_back(instruction.opcode | (statement.coissue ? D3DSI_COISSUE : 0u));
    tokens_.insert(tokens_.end(), operands.begin(), operands.end());
}

}  // namespace

HRESULT D3DXAssembleShader(const void* source, UINT sourceLength, DWORD flags,
                           LPD3DXBUFFER* constants, LPD3DXBUFFER* compiledShader,
                           LPD3DXBUFFER* errors) {
    if (constants != nullptr) *constants = nullptr;
    if (compiledShader != nullptr) *compiledShader = nullptr;
    if (errors != nullptr) *errors = nullptr;
    if (source == nullptr || sourceLength == 0) return D3DERR_INVALIDCALL;
    if (flags != 0) {
        WarnUnsupported("D3DXAssembleShader flags");
        return D3DERR_INVALIDCALL;
    }
    // The text ends at its length or at the first zero byte.
    const char* text = static_cast<const char*>(source);
    const size_t length = strnlen(text, sourceLength);
    CAssembler assembler;
    if (!assembler.Run(std::string(text, length))) {
        if (errors != nullptr) {
            const std::string& message = assembler.Error().message;
            *errors = MakeBuffer(message.c_str(), message.size() + 1);
        }
        return assembler.Error().code;
    }
    if (compiledShader != nullptr) {
        const std::vector<DWORD>& tokens = assembler.Tokens();
        *compiledShader = MakeBuffer(tokens.data(), tokens.size() * sizeof(DWORD));
    }
    return D3D_OK;
}
