// The program: start-up in its order, the message loop, one frame, the main window's
// messages, activation, and shutdown in its order.
//
// Start-up: the command-line record (while the folder the program was started in is
// current) and the home folder, the error handlers, then under SehGuard: a display and a
// font for the interface (without one, a line on standard error and exit code 1; for the
// font also Error.log), the package, a terminate handler, CoInitialize, the two string
// tables, the application information, the single-instance mutex (a second copy on the
// same display brings the first forward, hands it the file named on its command line,
// says so on standard error and returns), the settings file, the main window and its
// keyboard handler, then the window phase: sound device and effects, dropped files,
// placement, the renderer, the text caches, the camera, 40 frames per second, the
// graphic effect. The runtime's error number is checked after the numbered steps ("CRT",
// the step, the name); the numbers the window, audio, font and rendering libraries leave
// behind from their own probing are dropped after each call into them.
// The loop dispatches every waiting message; when none waits it runs a frame while the
// window is active (or frames run while inactive), else waits for a message. A frame:
// key upkeep, the widgets' tick, the help line, the pulse and phases, a finished fade
// retired, the current scene's Update (no scene: WM_CLOSE), the pick under the pointer,
// drawing unless the last frame was late, pacing. WM_CLOSE (the close button, F12, or a
// close signal, which the layer turns into one) runs the shutdown and saves the
// settings; while a failure is being reported it is left to the error handler.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/shell/main_window.h"

namespace NVireo::NGame::NScene {
class CInterface;
}

namespace Main {

class CInterface {
public:
    // The scene the message loop starts with.
    virtual NVireo::NGame::NScene::CInterface* CreateFirstScene() = 0;
    virtual ~CInterface() = default;

    // The whole run: start-up, the message loop, and the exit code (WM_QUIT's wParam;
    // start-up's own when it stops early: 0 for a second copy that handed over, 1 for one
    // whose first copy did not answer and for a desktop without a display or a font).
    int Run();
};

// The program's application object: it starts with the boot scene.
class CTester : public CInterface {
public:
    NVireo::NGame::NScene::CInterface* CreateFirstScene() override;
};

// One frame: the updates, the current scene's Update, the drawing, the pacing. Called
// by the message loop whenever no message waits and frames run.
void Frame();
// The frame's drawing step alone (also WM_PAINT's). True when a frame was rendered.
bool DrawStep();

// What the message loop does when no message waits.
enum class EIdle { kNothing, kFrame, kWait };
// Nothing while an error is being handled; a frame while the window is active or
// frames run while inactive; otherwise wait for the next message.
EIdle IdleAction();

// The message loop: dispatches waiting messages, runs a frame when none waits (while
// the window is active or frames run while inactive), else waits for a message.
// Returns WM_QUIT's wParam.
int MessageLoop();

// The activation change of the main window (WM_ACTIVATE).
void ChangeActivation(bool active);
// The shutdown sequence of WM_CLOSE (everything but destroying the window).
void ShutDown();

// WM_COPYDATA: a file a second copy of the program handed over is taken as a file
// dropped on the main window, which comes forward. TRUE when taken; FALSE for other data
// and while the program fails or closes.
LRESULT TakeHandedFile(const COPYDATASTRUCT* data);

}  // namespace Main

namespace Window {

class CMain : public Windows::Window::Main::CInterface {
public:
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace Window
