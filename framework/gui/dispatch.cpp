// Mouse dispatch to the widgets.
#include "framework/gui/dispatch.h"

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/window/mouse_capture.h"
#include "framework/window/window.h"

namespace Site = NVireo::NError::NSite::NDispatch;

namespace NVireo::NGUI {
namespace {

using CEntryNode = hoard::tree::rb::node<CRegistryEntry>;

// The node of the smallest entry after key in the set as it is now, or null.
const CEntryNode* EntryAfter(const CRegistryEntry& key) {
    const CEntryNode* found = nullptr;
    for (const CEntryNode* at = Registry().widgets.root; at != nullptr;) {
        if (key < at->value) {
            found = at;
            at = at->left;
        } else {
            at = at->right;
        }
    }
    return found;
}

// Visits the enabled widgets in set order. A visit may register, unregister or destroy
// widgets (a click that changes the scene does): the walk goes on from the entry after
// the one just visited in the set as it is then, and never touches a visited widget again.
template <typename Visit>
void WalkEnabled(Visit visit) {
    const CEntryNode* node = Registry().widgets.leftmost;
    while (node != nullptr) {
        const CRegistryEntry entry = node->value;
        if (!entry.widget->disabled) visit(entry);
        node = EntryAfter(entry);
    }
}

bool StillRegistered(const CRegistryEntry& entry) { return Registry().widgets.Contains(entry); }

bool IsButtonMessage(UINT message) {
    return message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK;
}

bool IsPressMessage(UINT message) {
    return IsButtonMessage(message) && message != WM_LBUTTONUP && message != WM_RBUTTONUP &&
           message != WM_MBUTTONUP;
}

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// The handler of a widget that holds the mouse for each message.
void Deliver(CInterface* widget, UINT message, const PointerPosition& pointer, WPARAM keyFlags) {
    switch (message) {
        case WM_MOUSEMOVE:
            widget->OnPointerMove(pointer, keyFlags);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            widget->OnLeftDown(pointer, keyFlags);
            break;
        case WM_LBUTTONUP:
            widget->OnLeftUp(pointer, keyFlags);
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            widget->OnRightDown(pointer, keyFlags);
            break;
        case WM_RBUTTONUP:
            widget->OnRightUp(pointer, keyFlags);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            widget->OnMiddleDown(pointer, keyFlags);
            break;
        case WM_MBUTTONUP:
            widget->OnMiddleUp(pointer, keyFlags);
            break;
        default:  // the wheel has its own routing
            break;
    }
}

}  // namespace

void HandleMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SE_MARK();
    if (message < WM_MOUSEMOVE || message > WM_MOUSEWHEEL) return;
    CurrentPointer() = PointerFromMessage(window, message, lParam);
    const PointerPosition pointer = CurrentPointer();
    OnMoveLeaveCheck(message, wParam);
    if (Registry().backgroundPress) {
        OnBackgroundMessage(message);
    } else {
        if (message == WM_MOUSEWHEEL) RouteWheel(pointer, window, wParam);
        if (!Dispatch(pointer, window, message, wParam)) OnBackgroundMessage(message);
    }
    OnButtonsChanged(window, wParam);
}

void OnMoveLeaveCheck(UINT message, WPARAM keyFlags) {
    SE_MARK();
    if (message != WM_MOUSEMOVE) return;
    if (MouseCapture().captureWindow != nullptr || NError::errorInProgress) return;
    CInterface* active = Registry().active;
    if (active == nullptr) return;
    int32_t x = CurrentPointer().clientX;
    int32_t y = CurrentPointer().clientY;
    ConvertPoint(x, y);
    if (active->HitTest(x, y)) return;
    active->OnPointerLeave(CurrentPointer(), keyFlags);
    ClearActiveWidget();
}

void OnBackgroundMessage(UINT message) {
    SE_MARK();
    if (IsPressMessage(message)) Registry().backgroundPress = true;
}

void RouteWheel(const PointerPosition& pointer, HWND window, WPARAM keyFlags) {
    SE_MARK();
    int32_t claimers = 0;
    CRegistryEntry claimer{};
    WalkEnabled([&](const CRegistryEntry& entry) {
        if (!entry.widget->ClaimsWheel()) return;
        ++claimers;
        claimer = entry;
    });
    if (claimers == 1) {
        if (StillRegistered(claimer)) claimer.widget->OnWheel(pointer, keyFlags);
        return;
    }
    int32_t x = pointer.clientX;
    int32_t y = pointer.clientY;
    ConvertPoint(x, y);
    WalkEnabled([&](const CRegistryEntry& entry) {
        if (entry.owner == window && entry.widget->HitTest(x, y)) {
            entry.widget->OnWheel(pointer, keyFlags);
        }
    });
}

bool Dispatch(const PointerPosition& pointer, HWND window, UINT message, WPARAM keyFlags) {
    SE_MARK();
    CRegistry& registry = Registry();
    if (CInterface* active = registry.active) {
        // Only the active widget's own window's messages reach it; there it keeps every
        // message while left or right is held, and every button message.
        const bool held = KeyDown(VK_LBUTTON) || KeyDown(VK_RBUTTON);
        if (registry.activeOwner == window && (held || IsButtonMessage(message))) {
            Deliver(active, message, pointer, keyFlags);
            return true;
        }
        active->OnPointerLeave(pointer, keyFlags);
    }
    return SelectHover(pointer.clientX, pointer.clientY);
}

void OnButtonsChanged(HWND window, WPARAM keyFlags) {
    SE_MARK();
    if (!MouseCapture().Update(window)) return;
    CRegistry& registry = Registry();
    if (CInterface* active = registry.active) {
        active->OnCaptureEnd(CurrentPointer(), keyFlags);
        ClearActiveWidget();
    } else {
        registry.backgroundPress = false;
    }
}

bool SelectHover(int32_t clientX, int32_t clientY) {
    SE_MARK();
    CRegistry& registry = Registry();
    if (registry.widgets.count == 0 || registry.backgroundPress) return false;

    CRegistryEntry chosen{};
    uint32_t best = 0xFFFFFFFFu;
    WalkEnabled([&](const CRegistryEntry& entry) {
        int32_t x = clientX;
        int32_t y = clientY;
        ConvertPoint(x, y);
        CInterface* widget = entry.widget;
        if (!widget->HitTest(x, y)) return;
        if (widget->depth < best || (widget->depth == best && widget->preferred)) {
            chosen = entry;
            best = widget->depth;
        }
    });
    if (chosen.widget == nullptr || !StillRegistered(chosen)) return false;

    CInterface* widget = chosen.widget;
    if (widget->depth < CInterface::kInitialDepth) {
        widget->depth = --registry.raiseCounter;
        widget->OnRaise();
        if (!StillRegistered(chosen)) return true;
    }
    POINT cursor{0, 0};
    if (!GetCursorPos(&cursor)) Raise(NError::kSite, Site::kCursorPosition, "");
    widget->OnPointerMove(PointerPosition{cursor.x, cursor.y, clientX, clientY}, 0);
    // The handler may have unregistered or destroyed the widget (a scene change).
    if (StillRegistered(chosen)) {
        registry.activeOwner = chosen.owner;
        registry.active = widget;
    }
    return true;
}

void TickAll() {
    SE_MARK();
    if (Registry().backgroundPress) return;
    WalkEnabled([](const CRegistryEntry& entry) {
        if (entry.owner != nullptr) entry.widget->OnFrame();
    });
}

void PickAtCursor(POINT client) {
    SE_MARK();
    SelectHover(client.x, client.y);
}

void PickAtCursor() {
    SE_MARK();
    POINT cursor{0, 0};
    if (!GetCursorPos(&cursor)) return;
    const HWND window = NWindow::MainWindowHandle();
    if (window != nullptr && !ScreenToClient(window, &cursor)) return;
    SelectHover(cursor.x, cursor.y);
}

void ResetHover() {
    SE_MARK();
    ClearActiveWidget();
}

}  // namespace NVireo::NGUI
