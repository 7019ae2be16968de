// The records later pieces of the program fill.
#include "app/later_parts.h"

namespace Main {

CWidgetHooks& WidgetHooks() {
    static CWidgetHooks hooks;
    return hooks;
}

CHelpLineHooks& HelpLineHooks() {
    static CHelpLineHooks hooks;
    return hooks;
}

CTextHooks& TextHooks() {
    static CTextHooks hooks;
    return hooks;
}

CEffectHooks& EffectHooks() {
    static CEffectHooks hooks;
    return hooks;
}

CWorkspaceHooks& WorkspaceHooks() {
    static CWorkspaceHooks hooks;
    return hooks;
}

}  // namespace Main
