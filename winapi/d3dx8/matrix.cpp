// D3DX 8 matrix helpers: identity, translation, rotations about x and y, products and the
// left-handed orthographic and perspective projections, with Direct3D's row-vector
// layout and its documented formulas.
// Supports: the helpers declared in d3dx8math.h. Does not support: the rest of the D3DX
// math library (vectors, quaternions, planes, inverses).
#include <d3dx8math.h>

#include <cmath>

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    for (UINT r = 0; r < 4; ++r) {
        for (UINT c = 0; c < 4; ++c) out->m[r][c] = r == c ? 1.0f : 0.0f;
    }
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    // Computed into a copy first: out may be m1 or m2.
    D3DXMATRIX product;
    for (UINT r = 0; r < 4; ++r) {
        for (UINT c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (UINT k = 0; k < 4; ++k) sum += m1->m[r][k] * m2->m[k][c];
            product.m[r][c] = sum;
        }
    }
    *out = product;
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf) {
    D3DXMatrixIdentity(out);
    out->_11 = 2.0f / w;
    out->_22 = 2.0f / h;
    out->_33 = 1.0f / (zf - zn);
    out->_43 = zn / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn,
                                       float zf) {
    const float yScale = 1.0f / std::tan(fovy / 2.0f);
    D3DXMatrixIdentity(out);
    out->_11 = yScale / aspect;
    out->_22 = yScale;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = -zn * zf / (zf - zn);
    out->_44 = 0.0f;
    return out;
}
