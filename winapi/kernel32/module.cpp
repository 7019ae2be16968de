// kernel32 modules: GetModuleHandleA for the program itself.
// Supports: a null name, answered with one fixed handle for the whole run (the program
// has a single module; the handle only identifies it, e.g. as a window class's instance).
// Does not support: named modules (DLLs): null with ERROR_MOD_NOT_FOUND.
#include <windows.h>

#include "backend/syserror.h"

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        winapi::backend::WarnUnsupported("GetModuleHandleA: only the program itself");
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Windows' usual image base of a program; any stable non-null value would do.
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));
}
