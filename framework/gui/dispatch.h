// Mouse dispatch to the widgets: the main window hands every mouse message to
// HandleMouseMessage, the main loop runs TickAll and PickAtCursor once a frame. The
// separate steps are public so that widgets (and tests) can run them on their own.
//
// A message is handled in this order: the leave check on a move without a held button;
// then, unless a press that began over the background is held, the wheel (to the one
// widget that claimed it, else to every widget under the pointer) and the dispatch (a
// button message, or any message while a button is held, goes to the active widget;
// otherwise the hover selection runs: the smallest depth wins, a tie goes to a later
// widget only when it is preferred); last, the mouse capture decides whether the held
// buttons changed, which ends the active widget's hold or the background press. Walks
// over the registry continue from the entry after the one just visited, so a handler may
// destroy or create widgets (a click that changes the scene).
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/gui/widget.h"

namespace NVireo::NGUI {

// For every mouse message of a window (WM_MOUSEMOVE to WM_MBUTTONDBLCLK, WM_MOUSEWHEEL):
// fills CurrentPointer() from the message, then runs, in order, the leave check (moves
// only); while a background press is held OnBackgroundMessage and nothing else,
// otherwise RouteWheel (wheel only) and Dispatch, with OnBackgroundMessage when no
// widget took the message; and last OnButtonsChanged. Other messages are ignored.
void HandleMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_MOUSEMOVE with no button held and an active widget: when the pointer (the current
// pointer's client pair, through the point converter) is no longer on the active
// widget, it gets OnPointerLeave and the active record is cleared.
void OnMoveLeaveCheck(UINT message, WPARAM keyFlags);
// A press or double-click that no widget took starts a background press.
void OnBackgroundMessage(UINT message);
// The wheel goes to the one widget that claims it; when none or several do, to every
// enabled widget of the window under the pointer.
void RouteWheel(const PointerPosition& pointer, HWND window, WPARAM keyFlags);
// Delivers the message to the active widget while it holds the mouse (a button message,
// or left or right held, in its own window); otherwise ends its hover and runs the
// hover selection. True when the message was taken by a widget.
bool Dispatch(const PointerPosition& pointer, HWND window, UINT message, WPARAM keyFlags);
// Updates the mouse capture; when the held buttons changed during a capture, ends the
// active widget's capture (OnCaptureEnd) or the background press.
void OnButtonsChanged(HWND window, WPARAM keyFlags);

// The hover selection at a client position: the enabled widget on it with the smallest
// depth (a tie goes to a later one only when it is preferred) is raised when its depth
// was already given, gets OnPointerMove and becomes active. Does nothing during a
// background press. True when a widget was found.
bool SelectHover(int32_t clientX, int32_t clientY);

// Once a frame: OnFrame for every enabled widget with an owner window, unless a
// background press is held.
void TickAll();
// Once a frame, after the scene's update: the hover selection at the cursor's client
// position, so a motionless pointer still finds the widget under it.
void PickAtCursor(POINT client);
// The hover selection at the cursor's current position in the main window's client
// area: for widgets whose click may just have changed what lies under the pointer.
void PickAtCursor();

// Forgets the active widget: a scene change starts without a hovered widget.
void ResetHover();

}  // namespace NVireo::NGUI
