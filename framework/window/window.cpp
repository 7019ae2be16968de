// Window objects, the window class record, the window map and placement.
#include "framework/window/window.h"

#include <new>
#include <string>
#include <utility>

#include "framework/containers/set.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NWindow;

namespace NVireo {

BWindow::~BWindow() = default;

namespace NWindow {
namespace {

using CMapEntry = std::pair<HWND, BBasic*>;

// Entries are ordered by handle alone: a handle is in the map at most once.
struct CByHandle {
    bool operator()(const CMapEntry& a, const CMapEntry& b) const {
        return std::less<HWND>()(a.first, b.first);
    }
};

using CWindowMap = hoard::set::basic<CMapEntry, CByHandle>;

CWindowMap& WindowMap() {
    static CWindowMap map;
    return map;
}

// The class record: registered once, unregistered when the record goes at process end.
class CWindowClass {
public:
    ~CWindowClass() {
        // At process end nothing may be reported any more: a failure is left alone.
        if (atom != 0) UnregisterClassA(name.c_str(), record.hInstance);
    }
    WNDCLASSEXA record{};
    std::string name;
    ATOM atom = 0;
};

CWindowClass& ClassRecord() {
    static CWindowClass record;
    return record;
}

BBasic* mainWindow = nullptr;

void ReportSystemFailure(uint32_t line, const char* message) {
    RecordSystemError();
    Raise(NError::kSite, line, message);
}

}  // namespace

void RegisterWindowClass(const char* name) {
    SE_MARK();
    CWindowClass& windowClass = ClassRecord();
    if (windowClass.atom != 0) return;
    windowClass.name = name;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (instance == nullptr) ReportSystemFailure(Site::kModuleHandle, "GetModuleHandleA");
    WNDCLASSEXA& record = windowClass.record;
    record = WNDCLASSEXA{};
    record.cbSize = sizeof(WNDCLASSEXA);
    record.style = 0;
    record.lpfnWndProc = WindowProcedure;
    record.cbClsExtra = 0;
    record.cbWndExtra = 0;
    record.hInstance = instance;
    record.hIcon = nullptr;
    record.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    record.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    record.lpszMenuName = nullptr;
    record.lpszClassName = windowClass.name.c_str();
    record.hIconSm = nullptr;
    windowClass.atom = RegisterClassExA(&record);
    if (windowClass.atom == 0) ReportSystemFailure(Site::kRegisterClass, windowClass.name.c_str());
}

void UnregisterWindowClass() {
    SE_MARK();
    CWindowClass& windowClass = ClassRecord();
    if (windowClass.atom == 0) return;
    if (!UnregisterClassA(windowClass.name.c_str(), windowClass.record.hInstance)) {
        ReportSystemFailure(Site::kUnregisterClass, windowClass.name.c_str());
        return;
    }
    windowClass.atom = 0;
}

ATOM WindowClassAtom() { return ClassRecord().atom; }

LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SE_MARK();
    try {
        CWindowMap::node_type* entry = WindowMap().Find(CMapEntry(window, nullptr));
        if (entry == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        BBasic* object = entry->value.second;
        const LRESULT result = object->OnMessage(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            WindowMap().Erase(CMapEntry(window, nullptr));
            if (object->hwnd == window) object->hwnd = nullptr;
        }
        return result;
    } catch (const NError::CObject&) {
        throw;  // already reported (Raise under the throwing policy)
    } catch (const std::bad_alloc&) {
        Raise(NError::kSite, Site::kProcedureOutOfMemory, "std::bad_alloc");
    } catch (...) {
        Raise(NError::kSite, Site::kProcedureException, "? exception");
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BBasic* FindWindowObject(HWND window) {
    CWindowMap::node_type* entry = WindowMap().Find(CMapEntry(window, nullptr));
    return entry != nullptr ? entry->value.second : nullptr;
}

int32_t WindowMapCount() { return WindowMap().count; }

BBasic::~BBasic() {
    SE_MARK();
    if (hwnd == nullptr) return;
    HWND window = hwnd;
    // The object is half gone: its messages go to DefWindowProcA from here on.
    WindowMap().Erase(CMapEntry(window, nullptr));
    hwnd = nullptr;
    if (mainWindow == this) mainWindow = nullptr;
    if (!DestroyWindow(window)) ReportSystemFailure(Site::kDestroyWindow, "DestroyWindow");
}

void BBasic::Create(const char* className, const char* title, DWORD style) {
    SE_MARK();
    RegisterWindowClass(className);
    HWND window =
        CreateWindowExA(0, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        ReportSystemFailure(Site::kCreateWindow, "CreateWindowExA");
        return;
    }
    hwnd = window;
    WindowMap().Insert(CMapEntry(window, this));
}

namespace {

// The window rectangle for a client area of width x height under the window's style.
bool WindowRectFor(HWND window, int32_t width, int32_t height, RECT* rect) {
    *rect = RECT{0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(rect, style, GetMenu(window) != nullptr, exStyle)) {
        ReportSystemFailure(Site::kAdjustWindowRect, "AdjustWindowRectEx");
        return false;
    }
    return true;
}

}  // namespace

void BBasic::CenterClient(int32_t width, int32_t height) {
    SE_MARK();
    RECT rect;
    if (!WindowRectFor(hwnd, width, height, &rect)) return;
    const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Halves rounded down (an arithmetic shift), also for a window larger than the screen.
    const int32_t x = (screenWidth + rect.left - rect.right) >> 1;
    const int32_t y = (screenHeight - (rect.bottom - rect.top)) >> 1;
    if (!MoveWindow(hwnd, x, y, rect.right - rect.left, rect.bottom - rect.top, TRUE)) {
        ReportSystemFailure(Site::kCenterClient, "MoveWindow");
    }
}

void BBasic::MoveClient(int32_t left, int32_t top, int32_t width, int32_t height) {
    SE_MARK();
    RECT rect;
    if (!WindowRectFor(hwnd, width, height, &rect)) return;
    if (!MoveWindow(hwnd, left, top, rect.right - rect.left, rect.bottom - rect.top, TRUE)) {
        ReportSystemFailure(Site::kMoveClient, "MoveWindow");
    }
}

void SetMainWindow(BBasic* window) { mainWindow = window; }
BBasic* MainWindow() { return mainWindow; }
HWND MainWindowHandle() { return mainWindow != nullptr ? mainWindow->hwnd : nullptr; }

}  // namespace NWindow
}  // namespace NVireo
