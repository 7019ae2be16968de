// The widget base and its registry.
#include "framework/gui/widget.h"

#include <functional>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/window/window.h"

namespace Site = NVireo::NError::NSite::NWidget;

namespace NVireo::NGUI {

bool CRegistryEntry::operator<(const CRegistryEntry& other) const {
    // std::less gives a total order over unrelated pointers.
    if (owner != other.owner) return std::less<HWND>()(owner, other.owner);
    return std::less<CInterface*>()(widget, other.widget);
}

CRegistry& Registry() {
    static CRegistry registry;
    return registry;
}

CInterface* ActiveWidget() {
    SE_MARK();
    return Registry().active;
}

void ClearActiveWidget() {
    SE_MARK();
    CRegistry& registry = Registry();
    registry.activeOwner = nullptr;
    registry.active = nullptr;
}

void ConvertPoint(int32_t& x, int32_t& y) {
    SE_MARK();
    if (NInterface::IClientPointConveter* converter = Registry().pointConverter.Get()) {
        converter->Convert(x, y);
    }
}

void SetPointConverter(NInterface::IClientPointConveter* converter) {
    SE_MARK();
    Registry().pointConverter.Reset(converter);
}

void CInterface::OnRaise() { SE_MARK(); }
void CInterface::Reserved1(uint32_t) { SE_MARK(); }
void CInterface::OnLeftDown(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnRightDown(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnMiddleDown(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnLeftUp(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnRightUp(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnMiddleUp(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnPointerMove(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnPointerLeave(const PointerPosition&, WPARAM) { SE_MARK(); }
void CInterface::OnWheel(const PointerPosition&, WPARAM) { SE_MARK(); }
bool CInterface::ClaimsWheel() {
    SE_MARK();
    return false;
}

void CInterface::OnCaptureEnd(const PointerPosition&, WPARAM) {
    SE_MARK();
    ClearActiveWidget();
}

void CInterface::OnFrame() { SE_MARK(); }

bool CInterface::Reserved15(uint32_t, uint32_t) {
    SE_MARK();
    Raise(NError::kSite, Site::kReserved15, "");
    return false;
}

bool CInterface::HitTestPointer(int32_t, int32_t) {
    SE_MARK();
    return false;
}

CInterface::~CInterface() { Unregister(); }

void CInterface::Register(HWND owner) {
    SE_MARK();
    Unregister();
    ownerWindow = owner;
    disabled = false;
    Registry().widgets.Insert(CRegistryEntry{owner, this});
}

void CInterface::RegisterWithMainWindow() {
    SE_MARK();
    Register(NWindow::MainWindowHandle());
}

void CInterface::Unregister() {
    SE_MARK();
    CRegistry& registry = Registry();
    if (!registry.widgets.Erase(CRegistryEntry{ownerWindow, this})) return;
    if (registry.active == this) ClearActiveWidget();
    ownerWindow = nullptr;
}

bool CInterface::IsRegistered() const {
    SE_MARK();
    return Registry().widgets.Contains(CRegistryEntry{ownerWindow, const_cast<CInterface*>(this)});
}

void CInterface::SetEnabled(bool enable) {
    SE_MARK();
    const bool wasEnabled = !disabled;
    disabled = !enable;
    if (wasEnabled && !enable && Registry().active == this) {
        OnCaptureEnd(CurrentPointer(), 0);
    }
}

bool CInterface::IsActive() const {
    SE_MARK();
    const CRegistry& registry = Registry();
    return registry.active == this && registry.activeOwner == ownerWindow;
}

}  // namespace NVireo::NGUI
