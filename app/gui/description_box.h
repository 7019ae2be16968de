// The description boxes themselves: a box drawing its lines through a text set of its
// own font height, in framed panels of the GUI palette.
#pragma once

#include <cstdint>

#include "app/gui/description.h"
#include "app/gui/label.h"

namespace Help::Normal {

// A box whose text goes through a text set of type TSet.
template <typename TSet>
class CBase : public CInterface {
public:
    TSet set;

    explicit CBase(int32_t fontHeight);
    ~CBase() override = default;

    // Only while the mode is not 0, the font height is not 0 and the box has a width and
    // lines: one framed panel per group of lines between "*" lines, stacked from the top,
    // then the lines.
    void Draw() override;
    // Every line but the separators at (left + 6, top + 6 + k x (h + 6)), k counting the
    // lines before it, separators included.
    void DrawLines() override;
    int32_t LineHeight() override;
};

extern template class CBase<Label::Out::CMainBoxer>;

// The shared box.
class CBasic : public CBase<Label::Out::CMainBoxer> {
public:
    CBasic();
};

// The workspace's second box.
class CObject : public CBasic {};

}  // namespace Help::Normal
