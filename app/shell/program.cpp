// The program: start-up, the message loop, the frame, the main window's messages and
// shutdown. Everything here runs on the main thread.
#include "app/shell/program.h"

#include <hostdesktop.h>
#include <objbase.h>
#include <seh.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "app/audio/bgm.h"
#include "app/audio/sound_effects.h"
#include "app/gui/check_box.h"
#include "app/gui/help_line.h"
#include "app/gui/text_caches.h"
#include "app/scenes/start_scenes.h"
#include "app/setup/application_info.h"
#include "app/setup/data_paths.h"
#include "app/setup/error_handlers.h"
#include "app/setup/settings.h"
#include "app/shell/app_state.h"
#include "app/shell/command_line.h"
#include "app/shell/fade.h"
#include "app/shell/frame_timer.h"
#include "app/shell/graphic_effect.h"
#include "app/shell/keyboard_handler.h"
#include "app/shell/main_window.h"
#include "app/shell/scene.h"
#include "app/shell/window_placement.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/gui/dispatch.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/platform/thread.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "framework/window/dropped_files.h"
#include "framework/window/keyboard.h"
#include "framework/window/window.h"
#include "sound/output/sound_device.h"

namespace Site = NVireo::NError::NSite::NProgram;

namespace Main {

namespace {

using NVireo::NError::kSite;

constexpr DWORD kGuardStartUp = 1;

// The style of the main window: a caption, the system menu and the minimise box.
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// WM_COPYDATA's dwData when a second copy hands the first a file to open; the bytes are
// the path in code page 932 with its terminator.
constexpr ULONG_PTR kOpenFileData = 0x4F50454E;  // "OPEN"

// How long a second copy waits for the first copy's window, which comes once the first
// copy's start-up is through.
constexpr int kFirstWindowTries = 50;
constexpr DWORD kFirstWindowPauseMs = 100;

// A runtime error number left behind by a start-up step is fatal: "CRT", the
// checkpoint's number, the error's symbolic name.
void CheckErrorNumber(uint32_t checkpoint) {
    SE_MARK();
    if (errno == 0) return;
    const char* name = NVireo::NError::ErrorName(errno);
    Raise("CRT", checkpoint, name ? name : "");
}

// The window system, audio, font and rendering libraries under the layer leave error
// numbers of their own internal probing behind (a configuration file they looked for,
// a socket that was not there) even when the call succeeds; those name no failure of
// the program, so they are dropped after each call into them.
void ForgetLibraryErrorNumber() { errno = 0; }

void ReportSystemFailure(uint32_t site) {
    RecordSystemError();
    Raise(kSite, site, "");
}

std::terminate_handler previousTerminate = nullptr;

// A pure virtual call (and any other way to std::terminate) is reported first; the
// handler that was installed before then ends the process as it would have.
[[noreturn]] void ReportPureCall() {
    Raise(kSite, Site::kPureCall, "");
    if (previousTerminate) previousTerminate();
    std::abort();
}

HWND MainHandle() { return NVireo::NWindow::MainWindowHandle(); }

// Start-up refused for want of something the desktop must offer: the line on standard
// error and, for a report to be sent, in the report folder's Error.log; no message box,
// which could not show the text either. Answers the exit code, 1.
int RefuseToStart(uint32_t site, const std::string& line) {
    SE_MARK();
    std::fprintf(stderr, "SE Retimer: %s\n", line.c_str());
    NVireo::NError::Record().policy = 2;  // Raise records the error and returns
    Raise(kSite, site, line.c_str());
    NVireo::NError::WriteReport(Appli::ReportFolder().c_str());
    return 1;
}

// A second copy: brings the first copy's window forward and hands it the file named on
// the command line, which it opens as a dropped file. One line on standard error says
// what happened; answers the exit code (1 when the first copy did not answer).
int HandOverToFirstCopy(const std::string& instanceName) {
    SE_MARK();
    HWND first = FindWindowA(instanceName.c_str(), nullptr);
    for (int tries = 1; first == nullptr && tries < kFirstWindowTries; ++tries) {
        Sleep(kFirstWindowPauseMs);
        first = FindWindowA(instanceName.c_str(), nullptr);
    }
    const std::string& file = CommandLine().file;
    bool answered = first != nullptr && SetForegroundWindow(first);
    if (answered && !file.empty()) {
        COPYDATASTRUCT data{kOpenFileData, static_cast<DWORD>(file.size() + 1),
                            const_cast<char*>(file.c_str())};
        answered = SendMessageA(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0;
    }
    const char* what = !answered      ? "it did not answer, so nothing was opened"
                       : file.empty() ? "its window was brought to the front"
                                      : "the file was handed to it to open";
    std::fprintf(stderr, "SE Retimer is already running; %s.\n", what);
    return answered ? 0 : 1;
}

// Steps 4 to 15 and the window phase; an exit code when start-up stops early (a second
// copy, a desktop without a display or a font), nothing when the program runs.
std::optional<int> StartUp(std::unique_ptr<Window::CMain>& window) {
    SE_MARK();
    // What the desktop must offer, asked before anything is made: a display for the
    // window and a font for the interface's text.
    if (const std::string missing = hostdesktop::MissingDisplay(); !missing.empty()) {
        std::fprintf(stderr, "SE Retimer: %s\n", missing.c_str());
        return 1;
    }
    if (const std::string missing = hostdesktop::MissingFont(); !missing.empty()) {
        return RefuseToStart(Site::kNoFont, missing);
    }
    ForgetLibraryErrorNumber();
    // Data paths are the constants of data_paths.h; the package lies below the home folder.
    NVireo::NFile::EnterHomeFolder();
    NVireo::NRender::ProgramPackage().Open();
    previousTerminate = std::set_terminate(ReportPureCall);
    CheckErrorNumber(4);

    if (FAILED(CoInitialize(nullptr))) ReportSystemFailure(Site::kCoInitialize);

    NVireo::NText::ApplicationStrings().Load(NVireo::NText::kApplicationStringsName);
    NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
    CheckErrorNumber(6);

    char programPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, programPath, sizeof programPath);
    Appli::LoadApplicationInfo(programPath);
    CheckErrorNumber(7);

    // One copy at a time on a display: a second one hands its file to the first and
    // ends. The mutex is held until the process ends.
    static NVireo::NSynchronization::CMutex single;
    const std::string instanceName = Appli::InstanceName();
    if (!single.CreateSingle(instanceName.c_str())) return HandOverToFirstCopy(instanceName);

    D3DPRESENT_PARAMETERS& presentation = NVireo::NDirectX::N3D::PresentParameters();
    presentation.BackBufferWidth = NVireo::NDirectX::N3D::kBackBufferWidth;
    presentation.BackBufferHeight = NVireo::NDirectX::N3D::kBackBufferHeight;
    presentation.Windowed = TRUE;
    Appli::Settings().style = kMainWindowStyle;

    NVireo::NFile::EnterHomeFolder();
    if (!Appli::LoadSettings()) {
        // No settings file is the first run, an ordinary outcome: the error number its
        // failed open left behind names no failure.
        Appli::Settings().firstRun = true;
        errno = 0;
    }
    CheckErrorNumber(10);
    CheckErrorNumber(11);

    window = std::make_unique<Window::CMain>();
    NVireo::NWindow::SetMainWindow(window.get());
    Keyborad::SetHandler(std::make_unique<Keyborad::CWindower>());
    Keyborad::Hooks().saveScreenshot = [] {
        NVireo::NDirectX::N3D::SaveScreenshot(Appli::ScreenshotFolder().c_str());
    };
    Keyborad::Hooks().goToTitleStart = Scene::GoToTitleStart;
    window->Create(instanceName.c_str(), Appli::WindowTitle().c_str(), kMainWindowStyle);
    ForgetLibraryErrorNumber();

    // The window phase.
    NVireo::NDirectX::NSound::SoundDevice().Create(window->hwnd);
    ForgetLibraryErrorNumber();
    SoundEffectBank().Reset(new SE::CSEID);
    NVireo::NDrop::AcceptDroppedFiles();
    Appli::PlaceMainWindow(*window);
    if (!UpdateWindow(window->hwnd)) ReportSystemFailure(Site::kUpdateWindow);
    ShowWindow(window->hwnd, SW_SHOW);
    ForgetLibraryErrorNumber();
    NVireo::NDirectX::N3D::StartRenderer(window->hwnd);
    ForgetLibraryErrorNumber();
    CreateTextCaches();
    Camera::Create();
    SetFrameRate(40);  // makes the frame-rate line's font through fontconfig
    ForgetLibraryErrorNumber();
    if (EffectsOn()) BuildEffectTargets();
    CheckErrorNumber(14);

    State().ready = 1;
    CheckErrorNumber(15);
    return std::nullopt;
}

struct CRunArguments {
    Main::CInterface* program;
    int exitCode;
};

int RunGuardedBody(Main::CInterface& program) {
    SE_MARK();
    std::unique_ptr<Window::CMain> window;
    // Every mouse message of the main window reaches the widgets once; the default
    // render states run the pixel-shader probe.
    Windows::Window::Main::SetMouseDispatcher(NVireo::NGUI::HandleMouseMessage);
    NVireo::NDirectX::N3D::InstallPixelShaderProbe();
    errno = 0;
    if (const std::optional<int> stopped = StartUp(window)) return *stopped;
    program.CreateFirstScene();
    UpdateWindow(window->hwnd);
    ShowWindow(window->hwnd, SW_SHOW);
    FrameTimer().Restart();
    int exitCode = 0;
    try {
        exitCode = MessageLoop();
    } catch (const NVireo::NError::CObject&) {
        throw;
    } catch (const std::bad_alloc&) {
        Raise(kSite, Site::kOutOfMemory, "");
    } catch (...) {
        Raise(kSite, Site::kLoopException, "");
    }
    NVireo::NWindow::SetMainWindow(nullptr);
    window.reset();
    return exitCode;
}

DWORD GuardedRun(void* argument) {
    CRunArguments& run = *static_cast<CRunArguments*>(argument);
    try {
        run.exitCode = RunGuardedBody(*run.program);
    } catch (const NVireo::NError::CObject&) {
        throw;
    } catch (...) {
        Raise(kSite, Site::kEscapedException, "");
    }
    return 0;
}

}  // namespace

int CInterface::Run() {
    SE_MARK();
    // The command line is read first, while the current folder is still the one the
    // program was started in: a file named there is relative to it.
    CommandLine();
    FixHomeFolder();
    Appli::InstallErrorHandlers();
    CRunArguments run{this, 0};
    SehGuard(GuardedRun, &run, NVireo::NError::StructuredExceptionFilter, kGuardStartUp);
    return run.exitCode;
}

NVireo::NGame::NScene::CInterface* CTester::CreateFirstScene() {
    SE_MARK();
    return new Scene::Tester::CMain;
}

bool DrawStep() {
    SE_MARK();
    const CState& state = State();
    if (NVireo::NError::errorInProgress || state.quitting) return false;
    HWND window = MainHandle();
    if (!state.ready) {
        // Before the renderer is up: a white client area with the start-up text.
        if (window == nullptr) return false;
        HDC dc = GetDC(window);
        RECT client{};
        if (!GetClientRect(window, &client)) ReportSystemFailure(Site::kClientRect);
        if (!FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)))) {
            ReportSystemFailure(Site::kFillRect);
        }
        SetBkMode(dc, TRANSPARENT);
        const std::string& text =
            NVireo::NText::SystemStrings().Get(StringId::System::StartingPlaceholder);
        if (!TextOutA(dc, 100, 100, text.c_str(), static_cast<int>(text.size()))) {
            ReportSystemFailure(Site::kTextOut);
        }
        ReleaseDC(window, dc);
        return false;
    }
    // The last frame overran its slot: this one only updates.
    if (FrameTimer().late) return false;
    bool rendered = false;
    if (NVireo::NDirectX::N3D::Device().TestCooperativeLevel()) {
        NVireo::NDirectX::N3D::CFrameSteps steps;
        steps.graphicEffect = EffectsOn();  // also when switched on in the settings
        steps.showFps = state.showFps != 0;
        steps.drawEffect = [] {
            if (NVireo::NGame::NScene::Current()) NVireo::NGame::NScene::Current()->DrawEffect();
        };
        steps.drawScene = [] {
            if (NVireo::NGame::NScene::Current()) NVireo::NGame::NScene::Current()->Draw();
            Object::Single::Fade::DrawActiveFade();
        };
        steps.drawFpsLine = [] { DrawFpsLine(FrameTimer().FpsText().c_str(), FpsFont()); };
        NVireo::NDirectX::N3D::RenderFrame(steps);
        rendered = true;
    }
    if (window != nullptr) ValidateRect(window, nullptr);
    return rendered;
}

EIdle IdleAction() {
    if (NVireo::NError::errorInProgress) return EIdle::kNothing;
    const CState& state = State();
    if (state.active || state.runWhenInactive) return EIdle::kFrame;
    return EIdle::kWait;
}

void Frame() {
    SE_MARK();
    CState& state = State();
    if (state.quitting) return;

    NVireo::NGame::MarkLowestKeyIfToggled();
    NVireo::NGUI::TickAll();
    Help::Line::UpdateOverlay();
    Pulse().Advance(FrameTimer().targetFps);
    Phases().Advance(FrameTimer().targetFps);
    Object::Single::Fade::RetireFinishedFade();
    if (NVireo::NGame::NScene::CInterface* scene = NVireo::NGame::NScene::Current()) {
        // The message pump, the pointer query and the last frame's presentation went
        // through the window system's libraries, which leave error numbers of their own
        // probing behind: a scene that checks the runtime's error number sees only its own.
        ForgetLibraryErrorNumber();
        scene->Update();  // may switch: scene may be gone now
        POINT pointer{0, 0};
        if (!GetCursorPos(&pointer) || !ScreenToClient(MainHandle(), &pointer)) pointer = {0, 0};
        NVireo::NGUI::PickAtCursor(pointer);
    } else {
        SendMessageA(MainHandle(), WM_CLOSE, 0, 0);
    }

    DrawStep();

    if (state.active) {
        FrameTimer().Step();
    } else {
        FrameTimer().late = false;
    }
}

int MessageLoop() {
    SE_MARK();
    MSG message{};
    while (MainHandle() != nullptr) {
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        switch (IdleAction()) {
            case EIdle::kFrame:
                Frame();
                break;
            case EIdle::kWait:
                WaitMessage();
                break;
            case EIdle::kNothing:
                break;
        }
    }
    // The window is gone: its WM_DESTROY posted the quit message still waiting here.
    if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
    }
    return 0;
}

void ChangeActivation(bool active) {
    SE_MARK();
    CState& state = State();
    if (NVireo::NError::errorInProgress || state.quitting) return;
    NVireo::NGame::MarkLowestKeyChanged();
    if (active) {
        state.active = 1;
    } else {
        InvalidateRect(nullptr, nullptr, TRUE);
        state.active = 0;
    }
    BGM::Streamer().SetActive(active);
}

LRESULT TakeHandedFile(const COPYDATASTRUCT* data) {
    SE_MARK();
    if (data == nullptr || data->dwData != kOpenFileData || data->lpData == nullptr ||
        NVireo::NError::errorInProgress || State().quitting) {
        return FALSE;
    }
    const char* bytes = static_cast<const char*>(data->lpData);
    const size_t length = strnlen(bytes, data->cbData);
    if (length == 0) return FALSE;
    NVireo::NDrop::CDroppedFiles& dropped = NVireo::NDrop::DroppedFiles();
    dropped.paths.clear();
    dropped.paths.emplace_back();
    dropped.paths.back().Assign(bytes, static_cast<uint32_t>(length));
    SetForegroundWindow(MainHandle());
    return TRUE;
}

void ShutDown() {
    SE_MARK();
    Object::Single::Fade::CRegistry::DeleteAll();
    Scene::EndScenes();
    Camera::Delete();
    BGM::Streamer().Shutdown();
    SoundEffectBank().ReleaseAll();
    ReleaseTextCaches();
    ReleaseEffectTargets();
    Button::Image::ReleaseCheckBoxPictures();
    NVireo::NDirectX::N3D::StopRenderer();
    Keyborad::SetHandler(nullptr);
    NVireo::NGUI::SetPointConverter(nullptr);
    State().quitting = 1;
    NVireo::NError::SetErrorHandler(nullptr);
    Appli::SaveSettings(Appli::ApplicationInfo().productName.c_str());
    InvalidateRect(nullptr, nullptr, TRUE);
}

}  // namespace Main

namespace Window {

LRESULT CMain::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SE_MARK();
    const Main::CState& state = Main::State();
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            break;
        case WM_MOVE:
            Appli::RememberWindowMove(window);
            break;
        case WM_SIZE:
            if (!NVireo::NError::errorInProgress && !state.quitting && state.ready) {
                Appli::RememberWindowSize(window, wParam, lParam);
            }
            break;
        case WM_ACTIVATE:
            Main::ChangeActivation(LOWORD(wParam) != WA_INACTIVE);
            break;
        case WM_PAINT:
            SE_MARK();
            if (!NVireo::NError::errorInProgress) Main::DrawStep();
            break;
        case WM_CLOSE:
            // While a failure is reported, its handler ends the process: the close button
            // or a close signal waits for that (the message box gives way to a signal).
            if (NVireo::NError::errorInProgress) return 0;
            Main::ShutDown();
            break;
        case WM_KEYDOWN:
            if (!NVireo::NError::errorInProgress && !state.quitting && Keyborad::Handler()) {
                Keyborad::Handler()->OnKeyDown(wParam, lParam);
            }
            break;
        case WM_DROPFILES:
            return NVireo::NDrop::HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
        case WM_COPYDATA:
            return Main::TakeHandedFile(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace Window
