// winver.h: the version resource as this program reads it: the version record compiled
// into the program from the build's version and product name, reached through the
// resource calls and the version-information calls. Included by windows.h; include
// windows.h instead.
#pragma once
#include "windows.h"

typedef void* HRSRC;
typedef void* HGLOBAL;

#ifndef MAKEINTRESOURCEA  // winuser.h has it too
#define MAKEINTRESOURCEA(id) ((LPSTR)((ULONG_PTR)((WORD)(id))))
#endif
#define RT_VERSION MAKEINTRESOURCEA(16)
#define VS_VERSION_INFO 1
#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812u
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813u
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

// Resources of the program itself (module null): only the version record, resource 1 of
// type RT_VERSION, laid out as Windows lays out VS_VERSIONINFO (UTF-16 keys and values,
// the fixed information 40 bytes in). Other modules, types or names answer null with
// ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// The version information of a file. Only the program's own file has one (any path that
// names it, by way of links included); any other file answers 0 with
// ERROR_RESOURCE_TYPE_NOT_FOUND, a missing file ERROR_FILE_NOT_FOUND. handle receives 0.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, DWORD* handle);
// Copies the record into data (size bytes, at least what GetFileVersionInfoSizeA
// answered); the space after the record receives the code page 932 copies of the texts
// that VerQueryValueA hands out.
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
// subBlock "\" gives the VS_FIXEDFILEINFO; "\StringFileInfo\<lang><codepage>\<name>" a
// code page 932 text (length in characters with the terminator);
// "\VarFileInfo\Translation" the language and code page pairs. Keys compare without
// regard to case. FALSE when the path is not there.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);
