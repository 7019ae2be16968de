// shellapi.h: shell32 as this program calls it: files dropped on a window.
#pragma once
#include <windows.h>

struct HDROP__;
typedef HDROP__* HDROP;

// Lets the window receive WM_DROPFILES (wParam: the HDROP) for files dropped on it.
void DragAcceptFiles(HWND window, BOOL accept);
// index 0xFFFFFFFF: the number of files. Otherwise the length of file index's path
// without terminator when buffer is null, or the number of bytes copied (without the
// terminator) into buffer, truncated to size - 1. Paths are code page 932; names that
// code page 932 lacks are kept as described in hostpath.h. 0 for an unknown HDROP.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
// Frees the HDROP; using it afterwards answers 0.
void DragFinish(HDROP drop);
