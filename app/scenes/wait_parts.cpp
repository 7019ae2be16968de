// The wait screens' widgets.
#include "app/scenes/wait_parts.h"

#include "framework/error/trace.h"

namespace Scene::Main {

void SetWaitTitle(const char* text) {
    SE_MARK();
    (void)text;
}

void SetWaitBar(const char* text) {
    SE_MARK();
    (void)text;
}

CProgressText::CProgressText() { SE_MARK(); }

CProgressText::~CProgressText() { SE_MARK(); }

void CProgressText::Draw(int32_t x, int32_t y, const std::string& text) {
    SE_MARK();
    (void)x;
    (void)y;
    (void)text;
}

}  // namespace Scene::Main

namespace Scene::Main::Button::Break {

CObject::CObject() { SE_MARK(); }

CObject::~CObject() { SE_MARK(); }

void CObject::Step() { SE_MARK(); }

void CObject::Draw() { SE_MARK(); }

}  // namespace Scene::Main::Button::Break
