// Files dropped on the main window: the list the workspace takes its file from.
#pragma once

#include <shellapi.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/containers/nstring.h"

namespace NVireo::NDrop {

// The paths of the last drop, in the order they were dropped (code page 932).
class CDroppedFiles {
public:
    uint32_t Count() const { return static_cast<uint32_t>(paths.size()); }
    bool Empty() const { return paths.empty(); }
    const char* Path(uint32_t index) const { return paths[index].c_str(); }
    void Clear() { paths.clear(); }

    std::vector<NString::BBasic<char>> paths;
};

// The process's one list.
CDroppedFiles& DroppedFiles();

// DragAcceptFiles(main window, TRUE).
void AcceptDroppedFiles();
// Empties the list and fills it with every path of the drop.
void TakeDroppedFiles(HDROP drop);
// The main window's WM_DROPFILES: takes the files, finishes the drop, gives the main
// window the focus and brings it to the front (a failure is reported); answers 1.
LRESULT HandleDroppedFiles(HDROP drop);

}  // namespace NVireo::NDrop
