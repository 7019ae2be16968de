// windows.h: the subset of the Windows API that this program calls, implemented for
// Linux by the winapi library. Only what the program uses is declared here; each
// service's source file says what it supports and what it does not.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;
typedef uintptr_t ULONG_PTR;
typedef void* PVOID;

// Types that both user32 and gdi32 use (Windows keeps them in windef.h).
struct HDC__;
typedef HDC__* HDC;
struct HGDIOBJ__;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HFONT;
typedef HGDIOBJ HBRUSH;
typedef DWORD COLORREF;
typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;
typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE;
typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;
// A 64-bit value that Windows also shows as two 32-bit halves (low part first).
typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    int64_t QuadPart;
} LARGE_INTEGER;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// Error codes that the layer reports through GetLastError.
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_WRITE_FAULT 29u
#define ERROR_READ_FAULT 30u
#define ERROR_GEN_FAILURE 31u
#define ERROR_HANDLE_EOF 38u
#define ERROR_HANDLE_DISK_FULL 39u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_DISK_FULL 112u
#define ERROR_INVALID_NAME 123u
#define ERROR_DIR_NOT_EMPTY 145u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_DIRECTORY 267u
#define ERROR_NOT_OWNER 288u
#define ERROR_NOT_SAME_DEVICE 17u

// kernel32: last error and messages.
DWORD GetLastError();
void SetLastError(DWORD code);

#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments);

// kernel32: the program's own file and the current folder. Paths are code page 932 text.
// GetModuleFileNameA takes only a null module (the program itself); a buffer that is too
// small receives the truncated, terminated path, the answer is size and the last error
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// Only the program itself (a null name): a fixed, non-null handle. A named module answers
// null with ERROR_MOD_NOT_FOUND.
HMODULE GetModuleHandleA(LPCSTR moduleName);
#define ERROR_MOD_NOT_FOUND 126u
BOOL SetCurrentDirectoryA(LPCSTR path);
// Answers the length without terminator; when the buffer is too small, the size needed
// including the terminator (the buffer is left alone).
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);

// kernel32: time and threads.
void Sleep(DWORD milliseconds);
DWORD GetCurrentThreadId();

// kernel32: files. Paths are code page 932 text, as everywhere in the program.
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
DWORD GetFileAttributesA(LPCSTR path);

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u
BOOL MoveFileExA(LPCSTR existingPath, LPCSTR newPath, DWORD flags);
BOOL DeleteFileA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, LPVOID securityAttributes);

// Creates an empty file with a unique name "<folder>/<prefix up to 3 chars><hex>.tmp"
// and writes its path (at most MAX_PATH bytes with the terminator) to tempPath.
// unique must be 0 (create a new file); answers 0 on failure.
UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR tempPath);

// kernel32: memory. Whole regions for large buffers; the layer asks for huge pages.
typedef size_t SIZE_T;
#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_RELEASE 0x00008000u
#define PAGE_READWRITE 0x04u
// Supports: address null, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE. Zero-filled.
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
// Supports: MEM_RELEASE with size 0 on a region VirtualAlloc answered.
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);

// kernel32: threads. Thread handles stand for joinable threads; closing one lets the
// thread go on alone (its resources are freed when it ends).
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
// Supports: default security, any stack size (0: the default), flags 0 (start at once).
HANDLE CreateThread(LPVOID security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId);
[[noreturn]] void ExitThread(DWORD exitCode);
// Closes a thread handle or a mutex handle.
BOOL CloseHandle(HANDLE handle);
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
// Supports: thread handles (waits for the thread's end).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
#define STILL_ACTIVE 259u

// kernel32: interlocked operations on 32-bit values (sequentially consistent).
inline LONG InterlockedIncrement(LONG volatile* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}

// kernel32: named mutexes, one per name across this user's processes. A name held by
// another process answers a handle with ERROR_ALREADY_EXISTS, as on Windows; the name is
// free again when its holder releases it, closes it or ends (also when killed).
// Supports: default security, initialOwner TRUE, a non-empty name.
HANDLE CreateMutexA(LPVOID security, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// kernel32: the command line as Windows gives it: each argument of the process in
// code page 932 (see hostpath.h), quoted, separated by blanks: "<exe>" "<arg>" ...
LPSTR GetCommandLineA();

// kernel32: structured exceptions (see seh.h for the guard that stands in for __try).
#define EXCEPTION_MAXIMUM_PARAMETERS 15
typedef struct _EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    struct _EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
} EXCEPTION_RECORD;
typedef struct _CONTEXT CONTEXT;  // not filled in by the layer
typedef struct _EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
} EXCEPTION_POINTERS;
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define EXCEPTION_STACK_OVERFLOW 0xC00000FDu
#define EXCEPTION_BREAKPOINT 0x80000003u
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
// The last filter: says on standard error what happened; answers EXCEPTION_EXECUTE_HANDLER.
LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);

// The other services' declarations, as Windows' own windows.h gathers them.
#include "wingdi.h"
#include "winuser.h"
#include "winver.h"
