// The application's state flags.
#include "app/shell/app_state.h"

#include "framework/window/keyboard.h"

namespace Main {

CState& State() {
    static CState record;
    static const bool answersActivity =
        (NVireo::NGame::SetActiveQuery([] { return State().active != 0; }), true);
    (void)answersActivity;
    return record;
}

}  // namespace Main
