// The layer's kernel objects behind a HANDLE: a small object with a kind tag, kept in one
// table, so that a closed or made-up handle is refused with ERROR_INVALID_HANDLE instead
// of being followed. Threads and mutexes are the kinds the program opens.
#pragma once

#include <windows.h>

#include <memory>

namespace winapi::kernel32 {

enum class ObjectKind { Thread, Mutex };

class KernelObject {
public:
    explicit KernelObject(ObjectKind kind) : kind_(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    ObjectKind Kind() const { return kind_; }
    // The handle was closed: let go of what the handle held. The object itself lives on
    // while someone still refers to it (a running thread refers to its own object).
    virtual void Closed() = 0;

private:
    const ObjectKind kind_;
};

// Enters the object into the table and answers its handle (never null).
HANDLE AddHandle(std::shared_ptr<KernelObject> object);

// The object behind a live handle; null (and the last error set to ERROR_INVALID_HANDLE)
// for anything else.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
// The same, for a handle that must be of the given kind.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle, ObjectKind kind);

}  // namespace winapi::kernel32
