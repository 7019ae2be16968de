// kernel32 memory: VirtualAlloc and VirtualFree over mmap.
// Supports: committing a fresh read-write region (address null, MEM_COMMIT | MEM_RESERVE,
// PAGE_READWRITE) and releasing it whole (MEM_RELEASE, size 0). Regions are marked for
// transparent huge pages: a buffer of a hundred megabytes is then touched for the first
// time in a fraction of the time 4 KiB pages take. Reserving without committing, other
// protections and partial releases answer ERROR_INVALID_PARAMETER / ERROR_NOT_SUPPORTED.
// The pages are committed up front, as a commit on Windows guarantees them.
#include <sys/mman.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
#include <windows.h>

#include <map>
#include <mutex>

#include "backend/syserror.h"

namespace {

std::mutex regionsLock;
// Never destroyed: objects with static storage may give their regions back while the
// process exits, after a map of static storage would already be gone.
std::map<void*, size_t>& Regions() {
    static auto* regions = new std::map<void*, size_t>;
    return *regions;
}

}  // namespace

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    if (address != nullptr || size == 0 || allocationType != (MEM_COMMIT | MEM_RESERVE) ||
        protect != PAGE_READWRITE) {
        winapi::backend::WarnUnsupported("VirtualAlloc: only fresh committed read-write regions");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* region = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Advice only: a kernel without transparent huge pages ignores the first, one older
    // than 5.14 the second. Committing the pages now, in one call, costs a fraction of
    // taking a fault on each page at first touch.
    madvise(region, size, MADV_HUGEPAGE);
    madvise(region, size, MADV_POPULATE_WRITE);
    std::lock_guard<std::mutex> guard(regionsLock);
    Regions()[region] = size;
    return region;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    if (freeType != MEM_RELEASE || size != 0) {
        winapi::backend::WarnUnsupported("VirtualFree: only MEM_RELEASE of a whole region");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    size_t length = 0;
    {
        std::lock_guard<std::mutex> guard(regionsLock);
        auto it = Regions().find(address);
        if (it == Regions().end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        length = it->second;
        Regions().erase(it);
    }
    munmap(address, length);
    return TRUE;
}
