// The current scene.
#include "framework/scene/scene.h"

#include "framework/error/trace.h"
#include "framework/gui/dispatch.h"

namespace NVireo::NGame::NScene {

namespace {

CInterface*& CurrentSlot() {
    static CInterface* current = nullptr;
    return current;
}

}  // namespace

CInterface::CInterface() {
    SE_MARK();
    CInterface*& current = CurrentSlot();
    CInterface* old = current;
    current = nullptr;
    delete old;
    current = this;
    SE_MARK();
}

CInterface::~CInterface() {
    // A scene whose construction failed, or one deleted from outside, leaves no dangling
    // current scene behind.
    if (CurrentSlot() == this) CurrentSlot() = nullptr;
    NVireo::NGUI::ResetHover();
}

CInterface* Current() { return CurrentSlot(); }

}  // namespace NVireo::NGame::NScene
