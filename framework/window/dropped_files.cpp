// Files dropped on the main window.
#include "framework/window/dropped_files.h"

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/window/window.h"

namespace Site = NVireo::NError::NSite::NDroppedFiles;

namespace NVireo::NDrop {

CDroppedFiles& DroppedFiles() {
    static CDroppedFiles files;
    return files;
}

void AcceptDroppedFiles() {
    SE_MARK();
    DragAcceptFiles(NWindow::MainWindowHandle(), TRUE);
}

void TakeDroppedFiles(HDROP drop) {
    SE_MARK();
    CDroppedFiles& files = DroppedFiles();
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    files.paths.clear();
    files.paths.resize(count);
    std::vector<char> buffer;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        buffer.assign(length + 1, '\0');
        const UINT copied = DragQueryFileA(drop, i, buffer.data(), length + 1);
        files.paths[i].Assign(buffer.data(), copied);
    }
}

LRESULT HandleDroppedFiles(HDROP drop) {
    SE_MARK();
    TakeDroppedFiles(drop);
    DragFinish(drop);
    HWND window = NWindow::MainWindowHandle();
    SetFocus(window);
    if (!SetForegroundWindow(window)) {
        RecordSystemError();
        Raise(NError::kSite, Site::kForegroundWindow, "SetForegroundWindow");
    }
    return 1;
}

}  // namespace NVireo::NDrop
