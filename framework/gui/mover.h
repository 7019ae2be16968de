// Timed actions on widgets. BMover1X slides a widget along x into the place it has when
// the action starts: Start puts it off to the left (or right, for a negative step) and
// each Step brings it back a little less far than the one before, so the movement slows
// down and ends exactly where it began.
#pragma once

#include <cmath>
#include <cstdint>

#include "framework/error/trace.h"

namespace NVireo::NGUI::NAction {

// A timed action, advanced once a frame.
class ICell {
public:
    // Draws the action's target.
    virtual void Refresh() = 0;
    // Advances one frame.
    virtual void Step() = 0;
    // Position access for actions that move their target; these base versions report an
    // internal error (an action without a position must not be asked for one).
    virtual void MoveTo(int32_t x, int32_t y);
    virtual void Reserved3(uint32_t value);
    virtual void GetPosition(int32_t& x, int32_t& y);
    virtual void Reserved5(uint32_t value);
    virtual void Start() = 0;
    virtual ~ICell() = default;
};

class IMover1X : public ICell {};

// Moves a widget of type T, which provides MoveTo(left, top), GetPosition(left&, top&)
// and Draw(). step is in pixels per unit; over total frames the widget moves total,
// total - 1, ..., 1 units.
template <typename T>
class BMover1X : public IMover1X {
public:
    BMover1X(T* widget, int32_t stepPixels, uint32_t totalSteps)
        : step(stepPixels), total(totalSteps), target(widget) {}

    void Refresh() override {
        SE_MARK();
        target->Draw();
    }

    void Step() override {
        SE_MARK();
        if (done >= total) return;
        x += step * static_cast<int32_t>(remaining);
        MoveTo(x, y);
        --remaining;
        ++done;
    }

    void MoveTo(int32_t left, int32_t top) override {
        SE_MARK();
        target->MoveTo(left, top);
    }

    void GetPosition(int32_t& left, int32_t& top) override {
        SE_MARK();
        target->GetPosition(left, top);
    }

    void Start() override {
        SE_MARK();
        remaining = total;
        done = 0;
        GetPosition(x, y);
        // The whole way: 1 + 2 + ... + total units, truncated toward zero and kept
        // within the coordinate range.
        const double distance = std::trunc((static_cast<double>(total) + 1.0) * total * 0.5 * step);
        const double start = std::fmax(-2147483648.0, std::fmin(2147483647.0, x - distance));
        x = static_cast<int32_t>(start);
        MoveTo(x, y);
    }

    uint32_t remaining = 0;
    int32_t step;
    uint32_t done = 0;
    uint32_t total;
    int32_t x = 0;
    int32_t y = 0;
    T* target;
};

}  // namespace NVireo::NGUI::NAction
