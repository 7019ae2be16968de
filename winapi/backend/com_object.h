// The IUnknown part of an object that is exactly one COM interface: it answers that
// interface for IUnknown and for the identifiers the object names, counts references
// across threads, and deletes itself when the last one is released.
#pragma once

#include <unknwn.h>

#include <atomic>

namespace winapi::backend {

template <class Interface>
class CSingleInterface : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || Answers(riid)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    // Deleted only through Release.
    virtual ~CSingleInterface() = default;
    // Whether riid (other than IUnknown) names this object's interface.
    virtual bool Answers(REFIID riid) const = 0;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace winapi::backend
