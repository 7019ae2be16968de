// shell32 drops: DragAcceptFiles, DragQueryFileA and DragFinish over the files SDL2
// reports dropped on a window (user32's pump gathers them into one WM_DROPFILES).
// Supports: the count query (index 0xFFFFFFFF), the length query (null buffer) and
// copying a path, truncated to the buffer and always terminated. Paths are code page
// 932; a host name with characters code page 932 lacks keeps them as hostpath.h says, so
// it opens the same file.
// Does not support: DragQueryPoint (the point is kept but not asked for by the program).
// A stale or unknown HDROP answers 0 and is otherwise ignored.
#include <shellapi.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "backend/drops.h"
#include "user32/user32_state.h"

namespace {

struct Drop {
    std::vector<std::string> paths;
    POINT point;
};

std::mutex dropsLock;
std::map<HDROP, std::unique_ptr<Drop>> drops;
uintptr_t nextDrop = 0x20000;

}  // namespace

namespace winapi::backend {

HDROP MakeDrop(std::vector<std::string> paths, POINT point) {
    std::lock_guard hold(dropsLock);
    HDROP handle = reinterpret_cast<HDROP>(nextDrop);
    nextDrop += 4;
    drops[handle] = std::make_unique<Drop>(Drop{std::move(paths), point});
    return handle;
}

}  // namespace winapi::backend

void DragAcceptFiles(HWND window, BOOL accept) {
    std::lock_guard hold(winapi::user32::Lock());
    if (winapi::user32::Window* found = winapi::user32::Find(window))
        found->acceptsDrops = accept != FALSE;
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    std::lock_guard hold(dropsLock);
    auto found = drops.find(drop);
    if (found == drops.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::vector<std::string>& paths = found->second->paths;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(paths.size());
    if (index >= paths.size()) return 0;
    const std::string& path = paths[index];
    if (buffer == nullptr) return static_cast<UINT>(path.size());
    if (size == 0) return 0;
    const size_t length = std::min(path.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return static_cast<UINT>(length);
}

void DragFinish(HDROP drop) {
    std::lock_guard hold(dropsLock);
    drops.erase(drop);
}
