// What user32's event pump and shell32's drop functions share: the HDROP that carries
// the files of one drop to the window's WM_DROPFILES.
#pragma once

#include <shellapi.h>
#include <windows.h>

#include <string>
#include <vector>

namespace winapi::backend {

// A new HDROP holding paths (code page 932) and the drop point in client coordinates;
// DragFinish frees it.
HDROP MakeDrop(std::vector<std::string> paths, POINT point);

}  // namespace winapi::backend
