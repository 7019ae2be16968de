// The wait screens' widgets.
#include "app/scenes/wait_widgets.h"

#include "app/gui/help_line.h"
#include "framework/error/trace.h"

namespace Scene::Main {

void SetWaitTitle(const char* text) {
    SE_MARK();
    Help::Line::SetTitle(text);
}

void SetWaitBar(const char* text) {
    SE_MARK();
    Help::Line::SetBarText(text);
}

CProgressText::CProgressText() {
    SE_MARK();
    label.SetFontHeight(kFontHeight);
}

void CProgressText::Draw(int32_t x, int32_t y, const std::string& text) {
    SE_MARK();
    label.Draw(x, y, text.c_str());
}

}  // namespace Scene::Main

namespace Scene::Main::Button::Break {

CObject::CObject() {
    SE_MARK();
    Help::CLines lines;
    Help::AddLine(lines, "強制的に中止します");
    Setup(RECT{120, 360, 189, 391}, "中止", lines, 0, 0);
}

void CObject::Step() {
    SE_MARK();
    PollShortcut();
}

}  // namespace Scene::Main::Button::Break
