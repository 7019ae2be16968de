// stringapiset.h: wide (UTF-16) text and the conversion from the program's code page 932
// text to it, for the services that take wide strings (DirectShow file names).
#pragma once

#include "windows.h"

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

#define CP_ACP 0
#define MB_ERR_INVALID_CHARS 0x00000008

// Converts code page 932 text (codePage CP_ACP or 932) to UTF-16. bytes -1 converts up to
// and including the terminator. wideChars 0 asks for the size needed. Answers the UTF-16
// units written (or needed), or 0 with the last error set: ERROR_INVALID_PARAMETER,
// ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION (an invalid byte sequence under
// MB_ERR_INVALID_CHARS; otherwise it becomes U+FFFD). User-defined characters (lead bytes
// 0xF0..0xF9) become the private-use characters U+E000..U+E757, as on Windows.
#define ERROR_NO_UNICODE_TRANSLATION 1113u
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide,
                        int wideChars);
