// Holders of one COM reference. A holder owns either nothing or exactly one reference of
// its interface: replacing the pointee or destroying the holder releases the old one, so
// a device resource is never leaked nor released twice.
#pragma once

#include <unknwn.h>

namespace NVireo::CCOM {

template <typename I>
class CObject {
public:
    I* object = nullptr;  // the owned reference, or null

    CObject() = default;
    // Takes over one reference the caller already holds (no AddRef).
    explicit CObject(I* owned) : object(owned) {}
    // A copy holds a reference of its own.
    CObject(const CObject& other) : object(other.object) {
        if (object) object->AddRef();
    }
    CObject& operator=(const CObject& other) {
        if (this != &other) {
            if (other.object) other.object->AddRef();
            Release();
            object = other.object;
        }
        return *this;
    }
    virtual ~CObject() { Release(); }

    // Releases the reference held, if any; the holder is empty afterwards.
    void Release() {
        I* old = object;
        object = nullptr;
        if (old) old->Release();
    }
    // Replaces the held reference by owned, which the caller hands over (no AddRef).
    void Attach(I* owned) {
        if (owned == object) return;
        Release();
        object = owned;
    }
    // The address a creating call writes a new reference into; any old one is released.
    I** Receive() {
        Release();
        return &object;
    }

    I* Get() const { return object; }
    I* operator->() const { return object; }
    bool IsNull() const { return object == nullptr; }
};

}  // namespace NVireo::CCOM

namespace NVireo::NDirectX::N3D {

// The Direct3D-side holder: the textures, surfaces and shader buffers derive from it.
template <typename I>
class BObject : public NVireo::CCOM::CObject<I> {
public:
    using NVireo::CCOM::CObject<I>::CObject;
};

}  // namespace NVireo::NDirectX::N3D
