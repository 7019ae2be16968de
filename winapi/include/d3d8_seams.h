// d3d8_seams.h: what tests use to reach into the Direct3D 8 device: force a lost device
// as the presenter would report it, and read back the pixels the device drew or showed.
// Not for the program itself.
#pragma once

#include <vector>

#include "d3d8.h"

// Makes the device lost, as when the renderer behind its window is reset: Present answers
// D3DERR_DEVICELOST, TestCooperativeLevel answers D3DERR_DEVICELOST for the next
// pollsWhileLost calls and then D3DERR_DEVICENOTRESET until Reset succeeds. FALSE for a
// device this layer did not create.
BOOL SeForceDeviceLoss(IDirect3DDevice8* device, UINT pollsWhileLost);

// The current render target's pixels as 0xAARRGGBB values, top row first (the X byte of
// an X8R8G8B8 target reads as 0xFF). Empty for a device this layer did not create.
std::vector<DWORD> SeReadRenderTarget(IDirect3DDevice8* device, UINT* width, UINT* height);

// The last frame Present handed to the presenter, in the same layout; empty before the
// first Present. Kept whether or not the device has a window to show it in.
std::vector<DWORD> SePresentedFrame(IDirect3DDevice8* device, UINT* width, UINT* height);

// TRUE when the device shows its frames in a window (headless devices have none).
BOOL SeHasPresenter(IDirect3DDevice8* device);

// How many resources of the default pool (render targets, render-target textures and
// other default-pool textures) are alive, and how many pixel shaders exist; 0 for a
// device this layer did not create.
UINT SeDefaultPoolCount(IDirect3DDevice8* device);
UINT SePixelShaderCount(IDirect3DDevice8* device);

// Makes the device answer as one without pixel shaders (caps version 0, CreatePixelShader
// refused) while without is TRUE. FALSE for a device this layer did not create.
BOOL SeWithoutPixelShaders(IDirect3DDevice8* device, BOOL without);

// Two triangles that tile a screen-aligned rectangle are drawn in one pass row by row;
// while force is TRUE every triangle is drawn on its own instead (process-wide), so a test
// can compare the two. SeRectanglesWithSse2 runs that pass on SSE2 even where the
// processor has AVX2; SeRectanglesInOnePass counts the rectangles it has taken.
void SeTrianglesOneByOne(BOOL force);
void SeRectanglesWithSse2(BOOL force);
UINT SeRectanglesInOnePass();

// What the last Present did: whether it drew its frame (FALSE: the frame was the last one
// again, and the back buffer already held it), and how many rows of the frame differed
// from the frame shown before (the rows handed to the window).
BOOL SeFrameDrawn(IDirect3DDevice8* device);
UINT SeRowsShown(IDirect3DDevice8* device);
