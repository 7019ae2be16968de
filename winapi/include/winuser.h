// winuser.h: user32 as this program calls it: message boxes (GTK3); windows, the
// message queue and input (SDL2). Included by windows.h; include windows.h instead.
#pragma once
#include "windows.h"

// user32: message boxes (shown with GTK; see the service for the headless answer).
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define IDOK 1
#define IDCANCEL 2
// Text and caption are code page 932. Supports MB_OK and MB_OKCANCEL, with or without
// MB_ICONWARNING, MB_SYSTEMMODAL or MB_TASKMODAL; an owner window may be null.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
