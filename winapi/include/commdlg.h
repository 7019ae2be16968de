// commdlg.h: comdlg32 as this program calls it: the open-file and save-file dialogs
// (shown with GTK3; see the service for what it supports) and their error codes.
#pragma once

#include <cstdint>

#include "windows.h"

// The dialog record. Paths and texts are code page 932. Fields the layer does not
// support (custom filter, file title, default extension, hooks and templates) must be
// null; hInstance and lCustData are ignored.
typedef struct tagOFNA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;  // pairs of description and patterns, each NUL-terminated; NUL NUL ends
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based pair shown first; receives the pair the user had chosen
    LPSTR lpstrFile;     // in: the initial name (may be empty); out: the chosen path
    DWORD nMaxFile;      // bytes of lpstrFile, terminator included
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;  // null: the current folder
    LPCSTR lpstrTitle;       // null: the dialog's own title
    DWORD Flags;
    WORD nFileOffset;     // out: where the file name starts in lpstrFile
    WORD nFileExtension;  // out: where its extension starts (at the terminator: none)
    LPCSTR lpstrDefExt;
    intptr_t lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
} OPENFILENAMEA, *LPOPENFILENAMEA;

// lStructSize: the size 32-bit Windows programs give (OPENFILENAMEA with the reserved
// fields), which the layer accepts as well as sizeof(OPENFILENAMEA).
#define OPENFILENAME_SIZE_WIN32 88u

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u

// CommDlgExtendedError codes.
#define CDERR_STRUCTSIZE 0x0001u
#define CDERR_INITIALIZATION 0x0002u
#define CDERR_DIALOGFAILURE 0xFFFFu
#define FNERR_SUBCLASSFAILURE 0x3001u
#define FNERR_INVALIDFILENAME 0x3002u
#define FNERR_BUFFERTOOSMALL 0x3003u

// TRUE with the chosen path in lpstrFile; FALSE when the user cancelled
// (CommDlgExtendedError() answers 0) or the dialog failed (it answers the code).
BOOL GetOpenFileNameA(LPOPENFILENAMEA record);
BOOL GetSaveFileNameA(LPOPENFILENAMEA record);
// The error of the calling thread's last dialog; 0 after a success or a cancel.
DWORD CommDlgExtendedError();
