// One object of a kind at a time, with one more queued behind it: the first object of
// an id class becomes the active one, a later one waits in the queue (a queued one that
// is replaced is deleted, not lost), and deleting the active one makes the queued one
// active. The program's fades are kept this way.
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
