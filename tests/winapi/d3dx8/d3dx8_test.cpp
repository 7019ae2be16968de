// D3DX 8: the pixel-shader assembler (texts to token streams, and the texts it refuses
// with their codes and messages) and the matrix helpers against values worked out by hand.
#include <d3dx8.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

DWORD Bits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

struct Assembled {
    HRESULT result = S_OK;
    std::vector<DWORD> tokens;
    std::string errors;
};

Assembled Assemble(const std::string& text, DWORD flags = 0) {
    Assembled out;
    LPD3DXBUFFER code = nullptr, errors = nullptr, constants = reinterpret_cast<LPD3DXBUFFER>(1);
    out.result =
        D3DXAssembleShader(text.data(), UINT(text.size()), flags, &constants, &code, &errors);
    EXPECT_EQ(constants, nullptr);
    if (code != nullptr) {
        const DWORD* tokens = static_cast<const DWORD*>(code->GetBufferPointer());
        out.tokens.assign(tokens, tokens + code->GetBufferSize() / 4);
        EXPECT_EQ(code->Release(), 0u);
    }
    if (errors != nullptr) {
        out.errors = static_cast<const char*>(errors->GetBufferPointer());
        EXPECT_EQ(errors->Release(), 0u);
    }
    return out;
}

const std::vector<DWORD> kProbeTokens = {0xFFFF0100u, D3DSIO_MOV, 0x800F0000u, 0xA0E40000u,
                                         0x0000FFFFu};

TEST(D3dx8Assembler, TurnsShaderTextsIntoTokenStreams) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<DWORD> tokens;
    };
    const Case cases[] = {
        {"probe", "ps.1.0\nmov r0,c0", kProbeTokens},
        {"comments, blanks and capitals",
         "  ps.1.0 // probe\n; a whole line\n\r\nMOV  r0 ,\tC0 // colour\n", kProbeTokens},
        {"weighted sum",
         "ps.1.0\ntex t0\ntex t1\ntex t2\nmul r0,t0,c0\nmul r1,t1,c1\nadd r0,r0,r1\nmul "
         "r1,t2,c1\nadd r0,r0,r1\n",
         {0xFFFF0100u, D3DSIO_TEX,  0xB00F0000u, D3DSIO_TEX,  0xB00F0001u, D3DSIO_TEX,
          0xB00F0002u, D3DSIO_MUL,  0x800F0000u, 0xB0E40000u, 0xA0E40000u,  //
          D3DSIO_MUL,  0x800F0001u, 0xB0E40001u, 0xA0E40001u,               //
          D3DSIO_ADD,  0x800F0000u, 0x80E40000u, 0x80E40001u,               //
          D3DSIO_MUL,  0x800F0001u, 0xB0E40002u, 0xA0E40001u,               //
          D3DSIO_ADD,  0x800F0000u, 0x80E40000u, 0x80E40001u, 0x0000FFFFu}},
        {"cross-fade with tabs and 1-",
         "ps.1.1\ntex t0\ntex t1\ntex "
         "t2\nmul\tr0\t,t1\t,t0\t\t\nmul\tr1\t,t2\t,1-t0\t\nadd\tr0\t,r0\t,r1\n",
         {0xFFFF0101u, D3DSIO_TEX,  0xB00F0000u, D3DSIO_TEX,  0xB00F0001u, D3DSIO_TEX,
          0xB00F0002u, D3DSIO_MUL,  0x800F0000u, 0xB0E40001u, 0xB0E40000u,  //
          D3DSIO_MUL,  0x800F0001u, 0xB0E40002u, 0xB6E40000u,               //
          D3DSIO_ADD,  0x800F0000u, 0x80E40000u, 0x80E40001u, 0x0000FFFFu}},
        {"def, modifiers and a co-issued pair",
         "ps.1.1\ndef c2, 0.5, 1, 0, 0.25\nmov_x2_sat r0.rgb, -v0_bias\n+mov r0.a, v1.a\n",
         {0xFFFF0101u, D3DSIO_DEF, 0xA00F0002u, Bits(0.5f), Bits(1.0f), Bits(0.0f), Bits(0.25f),
          D3DSIO_MOV, 0x81170000u, 0x93E40000u,  //
          D3DSIO_MOV | D3DSI_COISSUE, 0x80080000u, 0x90FF0001u, 0x0000FFFFu}},
        {"sign and halving",
         "ps.1.1\ntexcoord t3\nmad_d2 r0, t3_bx2, c7, -c0_bx2\n",
         {0xFFFF0101u, D3DSIO_TEXCOORD, 0xB00F0003u, D3DSIO_MAD, 0x8F0F0000u, 0xB4E40003u,
          0xA0E40007u, 0xA5E40000u, 0x0000FFFFu}},
    };
    for (const Case& c : cases) {
        const Assembled a = Assemble(c.text);
        EXPECT_EQ(a.result, D3D_OK) << c.name << ": " << a.errors;
        EXPECT_EQ(a.tokens, c.tokens) << c.name;
        EXPECT_TRUE(a.errors.empty()) << c.name;
    }
}

TEST(D3dx8Assembler, RefusesMalformedAndUnsupportedTextsWithTheirCodes) {
    struct Case {
        std::string text;
        HRESULT result;
        const char* message;  // part of the error text
    };
    std::string nineArithmetic = "ps.1.1\n";
    for (int i = 0; i < 9; ++i) nineArithmetic += "mov r0, c0\n";
    const Case cases[] = {
        {"mov r0, c0", D3DXERR_INVALIDDATA, "(1): the shader must start with its version"},
        {"ps.1.1 mov r0, c0", D3DXERR_INVALIDDATA, "alone on a line"},
        {"\n\n", D3DXERR_INVALIDDATA, "no shader version"},
        {"ps.1.1\nmov r0, c8", D3DXERR_INVALIDDATA, "(2): register out of range 'c8'"},
        {"ps.1.1\nmov r0, t4", D3DXERR_INVALIDDATA, "register out of range"},
        {"ps.1.1\nmov r0, x0", D3DXERR_INVALIDDATA, "bad register 'x0'"},
        {"ps.1.1\nmov r0, t0", D3DXERR_INVALIDDATA, "t0 is read without a texture instruction"},
        {"ps.1.1\nmov r0, r1", D3DXERR_INVALIDDATA, "r1 is read before it is written"},
        {"ps.1.1\nmov r1, c0", D3DXERR_INVALIDDATA, "r0 is never written"},
        {"ps.1.1\nmov r0", D3DXERR_INVALIDDATA, "mov takes 2 operands"},
        {"ps.1.1\nadd r0, c0,", D3DXERR_INVALIDDATA, "missing operand"},
        {"ps.1.1\nmov r0, c0\ntex t0", D3DXERR_INVALIDDATA,
         "(3): texture instructions come before"},
        {"ps.1.1\ntex t0\ntex t0\nmov r0, t0", D3DXERR_INVALIDDATA, "t0 is declared twice"},
        {"ps.1.1\ntex r0\nmov r0, c0", D3DXERR_INVALIDDATA, "writes a whole t register"},
        {"ps.1.1\nfoo r0, c0", D3DXERR_INVALIDDATA, "unknown instruction 'foo'"},
        {"ps.1.1\nps.1.1\nmov r0, c0", D3DXERR_INVALIDDATA, "a second version"},
        {"ps.1.1\nmov r0.rg, c0", D3DXERR_INVALIDDATA, "bad write mask '.rg'"},
        {"ps.1.1\nmov r0, c0.g", D3DXERR_INVALIDDATA, "bad source selector '.g'"},
        {"ps.1.1\nmov_x3 r0, c0", D3DXERR_INVALIDDATA, "bad instruction modifier '_x3'"},
        {"ps.1.1\nmov_x2_x4 r0, c0", D3DXERR_INVALIDDATA, "bad instruction modifier '_x4'"},
        {"ps.1.1\nmov r0, 1-c0_bias", D3DXERR_INVALIDDATA, "1- takes no other modifier"},
        {"ps.1.1\nmov c0, v0", D3DXERR_INVALIDDATA, "cannot write 'c0'"},
        {"ps.1.1\nmov r0, c0\ndef c1, 0, 0, 0, 0", D3DXERR_INVALIDDATA, "def must come before"},
        {"ps.1.1\ndef c1, 0, 0, x, 0\nmov r0, c1", D3DXERR_INVALIDDATA, "four numbers, not 'x'"},
        {"ps.1.1\ndef r1, 0, 0, 0, 0\nmov r0, c1", D3DXERR_INVALIDDATA, "def defines a c register"},
        {"ps.1.1\nmov r0, c0\ncnd r0, c2.a, c0, c1", D3DXERR_INVALIDDATA, "cnd decides on r0.a"},
        {"ps.1.1\nmov r0.rgb, c0\n+mov r0.rgb, c1", D3DXERR_INVALIDDATA, "co-issued pair"},
        {"ps.1.1\n+mov r0.a, c1", D3DXERR_INVALIDDATA, "co-issued pair"},
        {"ps.1.1\n+tex t0\nmov r0, c0", D3DXERR_INVALIDDATA, "tex cannot be co-issued"},
        {"ps.1.1\ntex_x2 t0\nmov r0, c0", D3DXERR_INVALIDDATA, "tex takes no instruction modifier"},
        {nineArithmetic, D3DXERR_INVALIDDATA, "(10): too many arithmetic instructions"},
        {"ps.1.4\nmov r0, c0", E_NOTIMPL, "unsupported shader version ps.1.4"},
        {"vs.1.1\nmov oPos, v0", E_NOTIMPL, "unsupported shader version vs.1.1"},
        {"ps.1.1\ntex t0\ntexbem t1, t0\nmov r0, t1", E_NOTIMPL,
         "(3): unsupported instruction texbem"},
        {"ps.1.1\nmov r0, c0\ndp4 r0, c0, c1", E_NOTIMPL, "unsupported instruction dp4"},
    };
    for (const Case& c : cases) {
        const Assembled a = Assemble(c.text);
        EXPECT_EQ(a.result, c.result) << c.text;
        EXPECT_TRUE(a.tokens.empty()) << c.text;
        EXPECT_NE(a.errors.find(c.message), std::string::npos) << c.text << " gave: " << a.errors;
    }
}

TEST(D3dx8Assembler, CheckItsArgumentsAndEndsTheTextAtItsLengthOrAZeroByte) {
    LPD3DXBUFFER code = nullptr;
    EXPECT_EQ(D3DXAssembleShader(nullptr, 4, 0, nullptr, &code, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXAssembleShader("ps.1.0", 0, 0, nullptr, &code, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXAssembleShader("ps.1.0\nmov r0,c0", 17, 1, nullptr, &code, nullptr),
              D3DERR_INVALIDCALL)
        << "flags";
    EXPECT_EQ(code, nullptr);

    // The length cuts the text: without its last line r0 is never written.
    const char text[] = "ps.1.0\nmov r0,c0\0garbage";
    EXPECT_EQ(D3DXAssembleShader(text, 6, 0, nullptr, &code, nullptr), D3DXERR_INVALIDDATA);
    ASSERT_EQ(D3DXAssembleShader(text, sizeof text, 0, nullptr, &code, nullptr), D3D_OK);
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->GetBufferSize(), kProbeTokens.size() * 4);
    void* same = nullptr;
    EXPECT_EQ(code->QueryInterface(IID_ID3DXBuffer, &same), S_OK);
    EXPECT_EQ(same, code);
    EXPECT_EQ(code->Release(), 1u);
    EXPECT_EQ(code->Release(), 0u);
    // Neither output is required.
    EXPECT_EQ(D3DXAssembleShader(text, sizeof text, 0, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(D3DXAssembleShader("mov", 3, 0, nullptr, nullptr, nullptr), D3DXERR_INVALIDDATA);
}

void ExpectMatrix(const D3DXMATRIX& m, const float (&expected)[4][4], const char* what) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(m.m[r][c], expected[r][c], 1e-6) << what << " [" << r << "][" << c << "]";
        }
    }
}

// Row vector times matrix.
void Transform(const D3DXMATRIX& m, const float (&v)[4], float (&out)[4]) {
    for (int c = 0; c < 4; ++c)
        out[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
}

TEST(D3dx8Matrix, HelpersGiveTheDocumentedMatrices) {
    const float half = D3DX_PI / 2;
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixTranslation(&m, 1, 2, 3), &m);
    ExpectMatrix(m, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}, "translation");
    D3DXMatrixRotationX(&m, half);
    ExpectMatrix(m, {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}, "rotation x");
    D3DXMatrixRotationY(&m, half);
    ExpectMatrix(m, {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}, "rotation y");
    D3DXMatrixOrthoLH(&m, 4, 2, 1, 11);
    ExpectMatrix(m, {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -0.1f, 1}}, "ortho");
    D3DXMatrixPerspectiveFovLH(&m, half, 2, 1, 3);
    ExpectMatrix(m, {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.5f, 1}, {0, 0, -1.5f, 0}},
                 "perspective");

    // The near plane lands on depth 0 and the far plane on 1, after the divide by w.
    float out[4];
    Transform(m, {0, 0, 1, 1}, out);
    EXPECT_NEAR(out[2] / out[3], 0.0f, 1e-6);
    Transform(m, {0, 0, 3, 1}, out);
    EXPECT_NEAR(out[2] / out[3], 1.0f, 1e-6);
}

TEST(D3dx8Matrix, ProductsApplyTheLeftMatrixFirstEvenInPlace) {
    D3DXMATRIX move, turn, product;
    D3DXMatrixTranslation(&move, 1, 0, 0);
    D3DXMatrixRotationY(&turn, D3DX_PI / 2);
    EXPECT_EQ(D3DXMatrixMultiply(&product, &move, &turn), &product);
    float out[4];
    Transform(product, {1, 0, 0, 1}, out);  // moved to x = 2, then turned onto -z
    EXPECT_NEAR(out[0], 0.0f, 1e-6);
    EXPECT_NEAR(out[2], -2.0f, 1e-6);
    EXPECT_NEAR(out[3], 1.0f, 1e-6);

    D3DXMatrixMultiply(&move, &move, &turn);  // the output is one of the operands
    ExpectMatrix(move,
                 {{product._11, product._12, product._13, product._14},
                  {product._21, product._22, product._23, product._24},
                  {product._31, product._32, product._33, product._34},
                  {product._41, product._42, product._43, product._44}},
                 "in place");
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixMultiply(&product, &identity, &turn);
    EXPECT_EQ(std::memcmp(&product, &turn, sizeof turn), 0);
}

}  // namespace
