// The process-wide fade: a black screen that clears over 0.8 s at 40 frames per second
// (1.25 per second of frames), drawn over the scene. At most two fade objects exist: the
// active one, drawn and advanced, and one queued behind it that becomes active when the
// active one is deleted.
#pragma once

namespace NVireo::NPattern::NOI::NSingle {

class CInterface {
public:
    virtual ~CInterface() = default;
    virtual bool IsFinished() = 0;
    virtual void Draw() = 0;
    virtual bool Reserved() { return false; }
};

namespace NGame {

// Registration of the objects of one id class: the first becomes active, a later one
// waits in the queue (a fade already queued is deleted, not lost).
template <typename CIDClass>
class BInterface : public CInterface {
public:
    BInterface() {
        if (active == nullptr) {
            active = this;
        } else {
            CInterface* old = queued;
            queued = this;
            if (old != nullptr) delete old;
        }
    }
    ~BInterface() override {
        if (active == this) {
            active = queued;
            queued = nullptr;
        } else if (queued == this) {
            queued = nullptr;
        }
    }
    static CInterface* Active() { return active; }
    static CInterface* Queued() { return queued; }
    // Deletes both (shutdown).
    static void DeleteAll() {
        delete queued;
        delete active;
    }

private:
    static inline CInterface* active = nullptr;
    static inline CInterface* queued = nullptr;
};

}  // namespace NGame
}  // namespace NVireo::NPattern::NOI::NSingle

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
