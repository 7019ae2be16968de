// The process-wide fade.
#include "app/shell/fade.h"

#include <algorithm>

#include "app/shell/frame_timer.h"
#include "app/shell/scene.h"
#include "framework/error/trace.h"

namespace Object::Single::Fade {

bool CIn::IsFinished() {
    SE_MARK();
    const int32_t rate = ::Main::FrameTimer().targetFps;
    // Without a frame rate there is no pace to fade at: the fade is over.
    if (rate <= 0) {
        progress = 2.0;
        return true;
    }
    progress += speed / rate;
    return progress > 1.0;
}

unsigned CIn::Alpha() const {
    if (progress > 1.0) return 0;
    const double opacity = 1.0 - std::min(progress, 1.0);
    if (opacity <= 0.0) return 0;
    return static_cast<unsigned>(opacity * 255.0);
}

void CIn::Draw() {
    SE_MARK();
    Scene::DrawBlackRectangle(Alpha());
}

void RetireFinishedFade() {
    SE_MARK();
    NVireo::NPattern::NOI::NSingle::CInterface* fade = CRegistry::Active();
    if (fade != nullptr && fade->IsFinished()) delete fade;
}

void DrawActiveFade() {
    SE_MARK();
    if (CRegistry::Active() != nullptr) CRegistry::Active()->Draw();
}

}  // namespace Object::Single::Fade
