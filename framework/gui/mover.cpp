// Timed actions: the position operations an action without a position must not be asked.
#include "framework/gui/mover.h"

#include "framework/error/error.h"

namespace NVireo::NGUI::NAction {

void ICell::MoveTo(int32_t, int32_t) {
    SE_MARK();
    Raise(NError::kSite, __LINE__, "");
}

void ICell::Reserved3(uint32_t) {
    SE_MARK();
    Raise(NError::kSite, __LINE__, "");
}

void ICell::GetPosition(int32_t&, int32_t&) {
    SE_MARK();
    Raise(NError::kSite, __LINE__, "");
}

void ICell::Reserved5(uint32_t) {
    SE_MARK();
    Raise(NError::kSite, __LINE__, "");
}

}  // namespace NVireo::NGUI::NAction
