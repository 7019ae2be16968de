// seh.h: the layer's stand-in for a __try / __except block, which C++ on Linux lacks.
//
//     __try { result = body(argument); }
//     __except (filter(GetExceptionInformation(), id)) { ExitProcess(0); }
//
// becomes SehGuard(body, argument, filter, id). A fault on the calling thread while body
// runs (an access violation, a bus error, an arithmetic fault, an illegal instruction,
// and a stack overflow, which is caught on an alternate signal stack) builds an
// EXCEPTION_RECORD from the signal, calls filter on the faulting thread, and ends the
// process with exit code 0: the handler blocks of this program all end the process, so
// the guard never resumes. Guards nest; the innermost one's filter runs. A fault outside
// any guard takes the default action of the signal.
#pragma once

#include <windows.h>

typedef LONG (*SEH_FILTER)(EXCEPTION_POINTERS* pointers, DWORD id);

DWORD SehGuard(DWORD (*body)(void* argument), void* argument, SEH_FILTER filter, DWORD id);
