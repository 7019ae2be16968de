// The process-wide fade: a black screen that clears over 0.8 s at 40 frames per second
// (1.25 per second of frames), drawn over the scene. At most two fade objects exist: the
// active one, drawn and advanced, and one queued behind it that becomes active when the
// active one is deleted.
#pragma once

#include "framework/scene/single.h"

namespace Object::Single::Fade {

class CIDClass {};

class CIn : public NVireo::NPattern::NOI::NSingle::NGame::BInterface<CIDClass> {
public:
    // Advances by speed / the target frame rate; true once past 1.
    bool IsFinished() override;
    void Draw() override;
    // The black rectangle's alpha now (0: nothing drawn).
    unsigned Alpha() const;

    double progress = 0.0;
    double speed = 1.25;
};

using CRegistry = NVireo::NPattern::NOI::NSingle::NGame::BInterface<CIDClass>;

// The frame's step: deletes the active fade once it reports finished.
void RetireFinishedFade();
// The active fade's Draw, after the scene.
void DrawActiveFade();

}  // namespace Object::Single::Fade
