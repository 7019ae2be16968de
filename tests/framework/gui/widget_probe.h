// A widget for the widget tests: a rectangle that writes every handler call into one
// shared event log as "<name> <event>".
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/gui/dispatch.h"
#include "framework/gui/widget.h"

namespace widget_test {

inline std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

class Probe : public NVireo::NGUI::CInterface {
public:
    using Pointer = NVireo::NGUI::PointerPosition;

    Probe(const char* probeName, RECT probeArea, HWND owner) : name(probeName), area(probeArea) {
        Register(owner);
    }

    void OnRaise() override { Note("raise"); }
    void OnLeftDown(const Pointer&, WPARAM) override { Note("ldown"); }
    void OnRightDown(const Pointer&, WPARAM) override { Note("rdown"); }
    void OnMiddleDown(const Pointer&, WPARAM) override { Note("mdown"); }
    void OnLeftUp(const Pointer&, WPARAM) override { Note("lup"); }
    void OnRightUp(const Pointer&, WPARAM) override { Note("rup"); }
    void OnMiddleUp(const Pointer&, WPARAM) override { Note("mup"); }
    void OnPointerMove(const Pointer& pointer, WPARAM) override {
        lastMove = pointer;
        Note("move");
    }
    void OnPointerLeave(const Pointer&, WPARAM) override { Note("leave"); }
    void OnWheel(const Pointer&, WPARAM keyFlags) override {
        lastWheelFlags = keyFlags;
        Note("wheel");
    }
    bool ClaimsWheel() override { return claimsWheel; }
    void OnCaptureEnd(const Pointer& pointer, WPARAM keyFlags) override {
        Note("end");
        CInterface::OnCaptureEnd(pointer, keyFlags);
    }
    void OnFrame() override {
        Note("frame");
        if (onFrame) onFrame();
    }
    bool HitTest(int32_t x, int32_t y) override {
        return x >= area.left && x < area.right && y >= area.top && y < area.bottom;
    }

    void Note(const char* event) { Events().push_back(name + " " + event); }

    std::string name;
    RECT area;
    bool claimsWheel = false;
    std::function<void()> onFrame;
    Pointer lastMove{};
    WPARAM lastWheelFlags = 0;
};

// Leaves the registry's process-wide state as a test found it.
struct RegistryGuard {
    RegistryGuard() { Events().clear(); }
    ~RegistryGuard() {
        NVireo::NGUI::ClearActiveWidget();
        NVireo::NGUI::Registry().backgroundPress = false;
        NVireo::NGUI::SetPointConverter(nullptr);
        Events().clear();
    }
};

}  // namespace widget_test
