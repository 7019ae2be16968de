// d3dx8math.h: the D3DX 8 matrix helpers this program calls. Matrices are row-major and
// multiply row vectors (v' = v x M), as Direct3D's are; angles are in radians.
#pragma once

#include "d3d8types.h"

#define D3DX_PI 3.141592654f

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    explicit D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}
    float& operator()(UINT row, UINT column) { return m[row][column]; }
    float operator()(UINT row, UINT column) const { return m[row][column]; }
};
typedef D3DXMATRIX* LPD3DXMATRIX;

// Each helper writes its result to out and returns out.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// The translation by (x, y, z): the identity with x, y, z in the fourth row.
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
// Rotations about the x and y axes (clockwise looking along the axis towards the origin).
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
// m1 x m2: transforming by the result is transforming by m1, then by m2. out may be one
// of the operands.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
// Left-handed orthographic projection of a w x h view volume from zn to zf.
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf);
// Left-handed perspective projection: fovy the vertical field of view, aspect the view's
// width divided by its height.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn,
                                       float zf);
