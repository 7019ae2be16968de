// Timed actions: the position operations an action without a position must not be asked.
#include "framework/gui/mover.h"

#include "framework/error/error.h"
#include "framework/error/sites.h"

namespace Site = NVireo::NError::NSite::NMover;

namespace NVireo::NGUI::NAction {

void ICell::MoveTo(int32_t, int32_t) {
    SE_MARK();
    Raise(NError::kSite, Site::kMoveTo, "");
}

void ICell::Reserved3(uint32_t) {
    SE_MARK();
    Raise(NError::kSite, Site::kReserved3, "");
}

void ICell::GetPosition(int32_t&, int32_t&) {
    SE_MARK();
    Raise(NError::kSite, Site::kGetPosition, "");
}

void ICell::Reserved5(uint32_t) {
    SE_MARK();
    Raise(NError::kSite, Site::kReserved5, "");
}

}  // namespace NVireo::NGUI::NAction
