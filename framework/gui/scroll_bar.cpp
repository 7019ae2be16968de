#include "framework/gui/scroll_bar.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NScrollBar;

namespace NVireo::NDirectX::N3D::NGUI::NBox {

void CObject::Setup(int32_t x, int32_t y, uint32_t boxSize, float degrees, float triangleScale) {
    SE_MARK();
    direction = degrees;
    size = boxSize;
    scale = triangleScale;
    const int32_t s = static_cast<int32_t>(boxSize);
    const bool upOrDown = degrees == 0.0f || degrees == 180.0f;
    rect = RECT{x, y, x + s + (upOrDown ? 1 : 0), y + s + (upOrDown ? 0 : 1)};

    // A triangle pointing up, its apex and base half a scaled box from the centre,
    // turned clockwise by the direction around the box's centre.
    const float cx = static_cast<float>(rect.left + rect.right) * 0.5f;
    const float cy = static_cast<float>(rect.top + rect.bottom) * 0.5f;
    const float half = static_cast<float>(boxSize) * triangleScale * 0.5f;
    const float ux[3] = {0.0f, half, -half};
    const float uy[3] = {-half, half, half};
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    const float c = static_cast<float>(std::cos(radians));
    const float sn = static_cast<float>(std::sin(radians));
    for (int i = 0; i < 3; ++i) {
        triangle.x[i] = cx + ux[i] * c - uy[i] * sn;
        triangle.y[i] = cy + ux[i] * sn + uy[i] * c;
    }
}

bool CObject::Contains(int32_t x, int32_t y) const {
    return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

}  // namespace NVireo::NDirectX::N3D::NGUI::NBox

namespace NVireo::NGUI::NScrollBar {

namespace {

constexpr int32_t kThickness = 25;
constexpr uint32_t kArrowSize = 24;
constexpr float kArrowScale = 0.75f;
constexpr uint32_t kShortestThumb = 10;

bool Inside(const RECT& r, int32_t x, int32_t y) {
    return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

// Halves away from zero, kept within the 32-bit range.
int32_t RoundToInt(double v) {
    const double r = std::round(v);
    if (!(r > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

int32_t ClampToInt(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool ReadProcessClock(uint32_t& milliseconds) {
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    milliseconds = static_cast<uint32_t>(
        duration_cast<std::chrono::milliseconds>(steady_clock::now() - origin).count());
    return true;
}

ClockReader& Clock() {
    static ClockReader reader = ReadProcessClock;
    return reader;
}

namespace {

bool Now(uint32_t& milliseconds) {
    const ClockReader reader = Clock() ? Clock() : ReadProcessClock;
    if (reader(milliseconds)) return true;
    Raise(NVireo::NError::kSite, Site::kClock, "");
    return false;
}

}  // namespace

void CStopwatch::Restart() {
    SE_MARK();
    uint32_t now = 0;
    if (Now(now)) start = now;
    accumulated = 0;
    paused = false;
}

uint32_t CStopwatch::Reading() const {
    SE_MARK();
    if (paused) return accumulated;
    uint32_t now = start;
    Now(now);
    return accumulated + (now - start);  // unsigned: a wrapped clock still counts forward
}

bool CRepeatGate::Pass(uint32_t part) {
    SE_MARK();
    if (part == kNone) {
        Reset();
        return false;
    }
    if (part != lastPart) {
        repeatCount = 0;
    } else {
        const uint32_t interval = repeatCount < firstIntervals ? firstInterval : laterInterval;
        if (stopwatch.Reading() < interval) return false;
        ++repeatCount;
    }
    lastPart = part;
    stopwatch.Restart();
    return true;
}

void CRepeatGate::Reset() {
    SE_MARK();
    lastPart = 0;
    repeatCount = 0;
}

CBase::CBase() {
    SE_MARK();
    RegisterWithMainWindow();
}

int32_t CBase::Thickness() const {
    return orientation == 'v' ? bar.right - bar.left : bar.bottom - bar.top;
}

void CBase::SetGeometry(int32_t x, int32_t y, int32_t length, char axis) {
    SE_MARK();
    orientation = axis == 'v' ? 'v' : 'h';
    if (orientation == 'h') {
        bar = RECT{x, y, x + length, y + kThickness};
        firstArrow.Setup(x, y, kArrowSize, 270.0f, kArrowScale);
        secondArrow.Setup(x + length - static_cast<int32_t>(kArrowSize), y, kArrowSize, 90.0f,
                          kArrowScale);
    } else {
        bar = RECT{x, y, x + kThickness, y + length};
        firstArrow.Setup(x, y, kArrowSize, 0.0f, kArrowScale);
        secondArrow.Setup(x, y + length - static_cast<int32_t>(kArrowSize), kArrowSize, 180.0f,
                          kArrowScale);
    }
    trackLength = length > 2 * kThickness ? static_cast<uint32_t>(length - 2 * kThickness) : 0;
}

void CBase::SetRange(int32_t lo, int32_t hi) {
    SE_MARK();
    if (hi < lo) hi = lo;
    const int64_t range = int64_t{hi} - lo;
    offset = lo;
    minimum = 0;
    maximum = ClampToInt(range);
    if (range == 0) {
        thumbLength = trackLength;
        value = 0;
    } else {
        thumbLength = trackLength >= range ? static_cast<uint32_t>(trackLength - range) : 0;
        if (thumbLength < kShortestThumb) thumbLength = kShortestThumb;
        ToMinimum();
    }
    ThumbHome();
}

int64_t CBase::Travel() const { return int64_t{trackLength} - int64_t{thumbLength}; }

void CBase::SetValue(int32_t publicValue) {
    SE_MARK();
    if (minimum == maximum) return;
    value = ClampToInt(std::clamp<int64_t>(int64_t{publicValue} - offset, minimum, maximum));
    ThumbHome();
    const int64_t travel = std::max<int64_t>(Travel(), 0);
    const double span = static_cast<double>(int64_t{maximum} - minimum);
    ShiftThumb(RoundToInt(static_cast<double>(travel) / span * value));
}

void CBase::ToMinimum() {
    SE_MARK();
    ThumbHome();
    value = minimum;
}

void CBase::ToMaximum() {
    SE_MARK();
    ThumbHome();
    value = maximum;
    ShiftThumb(ClampToInt(std::max<int64_t>(Travel(), 0)));
}

void CBase::MoveThumbBy(int32_t pixels) {
    SE_MARK();
    if (pixels == 0) return;
    ShiftThumb(pixels);
    const bool vertical = orientation == 'v';
    const int32_t lead = vertical ? thumb.top : thumb.left;
    const int32_t trail = vertical ? thumb.bottom : thumb.right;
    if (lead <= (vertical ? firstArrow.rect.bottom : firstArrow.rect.right)) ToMinimum();
    if (trail >= (vertical ? secondArrow.rect.top : secondArrow.rect.left)) ToMaximum();
    const int64_t travel = Travel();
    if (travel <= 0) return;  // the thumb fills the track: the ends decided the value
    const double d = static_cast<double>(ThumbLead() - HomeLead());
    const double span = static_cast<double>(int64_t{maximum} - minimum);
    const int32_t v = RoundToInt(span * (d / static_cast<double>(travel)) + minimum);
    value = std::clamp(v, minimum, maximum);
}

uint32_t CBase::PartAt(int32_t x, int32_t y) const {
    SE_MARK();
    if (!Inside(bar, x, y) || minimum == maximum) return kNone;
    if (firstArrow.Contains(x, y)) return kFirstArrow;
    if (secondArrow.Contains(x, y)) return kSecondArrow;
    if (thumbLength == 0) return kNone;
    if (Inside(thumb, x, y)) return kThumb;
    if (orientation == 'v') return y >= thumb.top ? kTrackAfter : kTrackBefore;
    return x >= thumb.left ? kTrackAfter : kTrackBefore;
}

int32_t CBase::Page() const {
    SE_MARK();
    const int64_t span = int64_t{maximum} - minimum;
    const int64_t travel = Travel();
    if (travel <= 0) return ClampToInt(span);  // no room to move: one page is the whole range
    return RoundToInt(static_cast<double>(span) * thumbLength / static_cast<double>(travel));
}

void CBase::ThumbHome() {
    thumb = bar;
    const int32_t t = Thickness();
    const int32_t length = static_cast<int32_t>(std::min<uint32_t>(thumbLength, INT32_MAX));
    if (orientation == 'v') {
        thumb.top = bar.top + t;
        thumb.bottom = bar.top + length + t;
    } else {
        thumb.left = bar.left + t;
        thumb.right = bar.left + length + t;
    }
}

void CBase::ShiftThumb(int32_t pixels) {
    if (orientation == 'v') {
        thumb.top += pixels;
        thumb.bottom += pixels;
    } else {
        thumb.left += pixels;
        thumb.right += pixels;
    }
}

int32_t CBase::ThumbLead() const { return orientation == 'v' ? thumb.top : thumb.left; }

int32_t CBase::HomeLead() const { return (orientation == 'v' ? bar.top : bar.left) + Thickness(); }

void CBase::Press(const PointerPosition& pointer, uint32_t button) {
    SE_MARK();
    lastPointer = pointer;
    pressed = 1;
    pressingButton = button;
    // The first step comes with the press, so a click released before the next frame
    // still moves the value once; holding repeats from the frames.
    Step();
}

void CBase::Release() {
    SE_MARK();
    pressed = 0;
    gate.Reset();
}

void CBase::OnLeftDown(const PointerPosition& pointer, WPARAM) {
    SE_MARK();
    Press(pointer, 1);
}

void CBase::OnRightDown(const PointerPosition& pointer, WPARAM) {
    SE_MARK();
    Press(pointer, 2);
}

void CBase::OnLeftUp(const PointerPosition&, WPARAM) {
    SE_MARK();
    Release();
}

void CBase::OnRightUp(const PointerPosition&, WPARAM) {
    SE_MARK();
    Release();
}

void CBase::OnPointerLeave(const PointerPosition&, WPARAM) {
    SE_MARK();
    Release();
}

void CBase::OnCaptureEnd(const PointerPosition& pointer, WPARAM keyFlags) {
    SE_MARK();
    Release();
    CInterface::OnCaptureEnd(pointer, keyFlags);
}

void CBase::OnPointerMove(const PointerPosition& pointer, WPARAM) {
    SE_MARK();
    if (pressed != 0 && part == kThumb) {
        const int64_t d = orientation == 'v' ? int64_t{pointer.screenY} - lastPointer.screenY
                                             : int64_t{pointer.screenX} - lastPointer.screenX;
        MoveThumbBy(ClampToInt(d));
    }
    lastPointer = pointer;
}

void CBase::OnFrame() {
    SE_MARK();
    if (pressed != 0) Step();
}

void CBase::Step() {
    SE_MARK();
    int64_t step = 0;
    const int32_t arrowStep = pressingButton == 2 ? lineStep : 1;
    switch (part) {
        case kFirstArrow:
            step = -int64_t{arrowStep};
            break;
        case kSecondArrow:
            step = arrowStep;
            break;
        case kTrackBefore:
        case kTrackAfter:
            if (Inside(thumb, lastPointer.clientX, lastPointer.clientY)) {
                part = kThumb;  // the thumb has reached the pointer: from now on moves drag it
                return;
            }
            step = part == kTrackBefore ? -int64_t{Page()} : int64_t{Page()};
            break;
        case kNone:
            gate.Reset();
            return;
        default:
            return;
    }
    if (!gate.Pass(part)) return;
    SetValue(ClampToInt(int64_t{offset} + value + step));
}

bool CBase::HitTest(int32_t x, int32_t y) {
    SE_MARK();
    if (!IsRegistered() || disabled) return false;
    part = PartAt(x, y);
    return part != kNone;
}

bool CBase::HitTestPointer(int32_t x, int32_t y) {
    SE_MARK();
    ConvertPoint(x, y);
    return PartAt(x, y) != kNone;
}

}  // namespace NVireo::NGUI::NScrollBar
