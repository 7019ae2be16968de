// kernel32 handles: CloseHandle and the table of live handles that threads and mutexes
// share (kernel32/handles.h).
// Supports: closing a thread handle (the thread goes on alone and frees itself when it
// ends) and a mutex handle (releases the name if this handle holds it). A handle that is
// not live (closed already, never opened, null) answers FALSE with ERROR_INVALID_HANDLE.
// Handles are not inherited by other processes and cannot be duplicated.
#include "kernel32/handles.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace winapi::kernel32 {

namespace {

std::mutex tableLock;

// Never destroyed: threads held by the program's statics close their handles while the
// process exits, after function-local statics made later are gone.
std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>& Table() {
    static auto* table = new std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>;
    return *table;
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    // The object's address is unique among live objects, and an object stays alive at
    // least as long as its table entry.
    const HANDLE handle = object.get();
    std::lock_guard<std::mutex> hold(tableLock);
    Table().emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
    {
        std::lock_guard<std::mutex> hold(tableLock);
        const auto it = Table().find(handle);
        if (it != Table().end()) return it->second;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle, ObjectKind kind) {
    std::shared_ptr<KernelObject> object = FindHandle(handle);
    if (object != nullptr && object->Kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

}  // namespace winapi::kernel32

BOOL CloseHandle(HANDLE handle) {
    using namespace winapi::kernel32;
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard<std::mutex> hold(tableLock);
        const auto it = Table().find(handle);
        if (it != Table().end()) {
            object = std::move(it->second);
            Table().erase(it);
        }
    }
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Closed();
    return TRUE;
}
