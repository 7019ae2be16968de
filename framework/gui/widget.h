// The widget base: every interactive element the scenes draw derives from CInterface.
// The base owns no drawing; it owns input. It keeps the process's registry of live
// widgets, decides which one widget is active (the one under the pointer, or the one
// that keeps the mouse while a button is held) and turns the main window's mouse
// messages into calls of the virtual handlers below (framework/gui/dispatch.h).
// Everything here runs on the thread that owns the window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/containers/nstring.h"
#include "framework/containers/pointer.h"
#include "framework/containers/set.h"
#include "framework/window/pointer_position.h"

namespace NVireo::NGUI {

class CInterface {
public:
    // The depth a widget starts with; a widget that still has it is never raised.
    static constexpr uint32_t kInitialDepth = 0xFFFFFFFEu;

    CInterface() = default;
    CInterface(const CInterface&) = delete;
    CInterface& operator=(const CInterface&) = delete;

    // The handlers, in slot order. The base versions do nothing unless said otherwise.
    // keyFlags is the message's first parameter as the window delivers it (MK_ bits;
    // for the wheel its high word is the delta); the hover selection passes 0.

    // The widget was just raised by the hover selection.
    virtual void OnRaise();
    // Not called by the base.
    virtual void Reserved1(uint32_t value);
    // Button pressed or double-clicked.
    virtual void OnLeftDown(const PointerPosition& pointer, WPARAM keyFlags);
    virtual void OnRightDown(const PointerPosition& pointer, WPARAM keyFlags);
    virtual void OnMiddleDown(const PointerPosition& pointer, WPARAM keyFlags);
    // Button released.
    virtual void OnLeftUp(const PointerPosition& pointer, WPARAM keyFlags);
    virtual void OnRightUp(const PointerPosition& pointer, WPARAM keyFlags);
    virtual void OnMiddleUp(const PointerPosition& pointer, WPARAM keyFlags);
    // The pointer moved while this widget is active and a button is held, and every
    // time the hover selection picks this widget (on mouse messages and once a frame).
    virtual void OnPointerMove(const PointerPosition& pointer, WPARAM keyFlags);
    // The pointer moved with no button held: on every such move just before the hover
    // selection runs again, and when it leaves the widget.
    virtual void OnPointerLeave(const PointerPosition& pointer, WPARAM keyFlags);
    // The wheel turned over the widget (or anywhere, for the one widget claiming it).
    virtual void OnWheel(const PointerPosition& pointer, WPARAM keyFlags);
    // True: this widget wants every wheel message while it is the only one that does.
    virtual bool ClaimsWheel();
    // The held mouse buttons changed while this widget was active. The base clears the
    // active-widget record; overrides must do so too (call this one).
    virtual void OnCaptureEnd(const PointerPosition& pointer, WPARAM keyFlags);
    // Once a frame, for every registered, enabled widget of a window.
    virtual void OnFrame();
    // Whether the client position (x, y), already passed through the point converter,
    // lies on the widget.
    virtual bool HitTest(int32_t x, int32_t y) = 0;
    // Not called by the base; reports an internal error and answers false.
    virtual bool Reserved15(uint32_t first, uint32_t second);
    // Not called by the base; false. Overrides pass the position through the point
    // converter (ConvertPoint) and then apply HitTest.
    virtual bool HitTestPointer(int32_t x, int32_t y);
    // Unregisters the widget (clearing the active record if it is the active one).
    virtual ~CInterface();

    // Unregisters first if registered, then enters the widget in the registry against
    // ownerWindow (null is allowed) and enables it.
    void Register(HWND ownerWindow);
    // Against the main window, or against null while there is none: what every concrete
    // widget's constructor does.
    void RegisterWithMainWindow();
    // Leaves the registry (ownerWindow becomes null); clears the active record when this
    // widget is active. Nothing happens when the widget is not registered.
    void Unregister();
    bool IsRegistered() const;
    // disabled = !enable. Disabling the active widget calls its OnCaptureEnd.
    void SetEnabled(bool enable);
    // The active-widget record holds this widget with this widget's owner window.
    bool IsActive() const;

    HWND ownerWindow = nullptr;          // null while not registered
    bool disabled = false;               // ignores input; skipped by hit tests, hover and the tick
    NVireo::NString::BBasic<char> text;  // for subclasses (code page 932)
    uint32_t depth = kInitialDepth;      // smaller is nearer the front
    bool preferred = false;              // wins ties of equal depth in the hover selection
};

namespace NInterface {

// Maps a client position of a window whose client area is scaled against the drawing
// surface onto the drawing surface. The program installs none. The name keeps the
// design's spelling ("Conveter") on purpose, so it stays searchable.
class IClientPointConveter {
public:
    virtual void Convert(int32_t& x, int32_t& y) = 0;
    virtual ~IClientPointConveter() = default;
};

}  // namespace NInterface

// One registered widget: ordered by owner window, then by the widget's address.
struct CRegistryEntry {
    HWND owner;
    CInterface* widget;
    bool operator<(const CRegistryEntry& other) const;
};

// The process's widget registry: created on first use.
struct CRegistry {
    hoard::set::basic<CRegistryEntry> widgets;  // every registered widget exactly once
    HWND activeOwner = nullptr;                 // the active-widget record
    CInterface* active = nullptr;
    uint32_t raiseCounter = CInterface::kInitialDepth;  // each raise takes one less
    hoard::ptr::auton<NInterface::IClientPointConveter> pointConverter;
    bool backgroundPress = false;  // a button pressed outside every widget is held
};

CRegistry& Registry();

// The active widget, or null.
CInterface* ActiveWidget();
// Clears the active-widget record.
void ClearActiveWidget();
// Passes a client position through the installed point converter (unchanged without).
void ConvertPoint(int32_t& x, int32_t& y);
// Installs (owning it) or, with null, deletes the point converter.
void SetPointConverter(NInterface::IClientPointConveter* converter);

}  // namespace NVireo::NGUI
