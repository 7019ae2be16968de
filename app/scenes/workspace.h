// The workspace: the main screen. It shows the shared clip as an information panel and
// one waveform graph per channel, and offers six commands in a column of buttons at the
// right (Q W E R T A): change the duration, initialise, load, save, play and stop. A
// WAV file dropped on the window is loaded too. Ctrl+Z takes back the last change,
// initialisation or load, Ctrl+Y brings it again (app/scenes/undo.h). The scene is built
// anew every time the program comes back to it from a wait screen or the duration dialog,
// and is drawn at once from its first frame (no fade from black); everything it shows is
// derived from the shared clip state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/button.h"
#include "app/gui/label.h"
#include "app/scenes/workspace_model.h"
#include "app/shell/scene.h"
#include "framework/containers/list.h"
#include "sound/clip.h"

namespace Scene::Main {

namespace Button {

// The owner of the command buttons: runs command number (0 to 5) on the current
// workspace; other numbers, or no workspace, do nothing.
class CNexter {
public:
    static void Select(int32_t number);
};

}  // namespace Button

// One channel's waveform: a framed panel with grid lines, a centre line and the samples
// joined by lines from the left edge to the right.
class CWaveGraph {
public:
    static constexpr D3DCOLOR kPanelFill = 0xff646464u;
    static constexpr D3DCOLOR kFrame = 0xffffffffu;
    static constexpr D3DCOLOR kGrid = 0xff969696u;
    static constexpr D3DCOLOR kCentre = 0xffc8c8c8u;
    static constexpr D3DCOLOR kWave = 0x8080ff20u;

    // The graph of channel index: x 70 to 470, 100 high, from y 164, 110 apart.
    explicit CWaveGraph(uint32_t channel);

    // Only for 8- and 16-bit samples; the line needs at least two values.
    void Draw() const;

    std::vector<double> values;
    uint16_t bitsPerSample = 0;
    int32_t left, top, right, bottom;
};

class CWorkSpace : public CInterface {
public:
    using CCommandButton = ::Button::Box::CPlate<Button::CNexter>;

    // Builds the panel, the graphs and the command column, becomes the current workspace,
    // empties the dropped-file list (drops during a wait screen or the dialog are
    // discarded) and sets the help bar's hint about dropping files.
    CWorkSpace();
    ~CWorkSpace() override;

    // Ctrl+Z and Ctrl+Y, the panel, the commands' enabling, the command column's
    // shortcuts; a dropped file starts loading (the first of a drop; the others are
    // ignored).
    void Update() override;
    // Black, the graphs, the panel and the command column.
    void DrawScene() override;
    // The scene, then the help line and description boxes.
    void Draw() override;

    // Stops the clip, makes it silent 16-bit stereo of its old length, not loaded and of
    // no duration: the panel empties and only loading stays available. Silence of that
    // length that a WAV file cannot hold (or memory cannot) is refused with the change's
    // error message, and the clip, its duration and its waveform stay as they were.
    void Initialise();
    // The step back (back) or forward of the clip state, when there is one: the clip
    // stops and the panel, graphs and commands show the state brought in.
    void TakeStep(bool back);
    // Each command button enabled as the current clip state allows.
    void RefreshCommands();
    // One graph per channel of the current clip, from its reduced preview copy.
    void RebuildWaveform();
    // The panel's lines for the current clip state (labels re-rendered only when a text
    // changed).
    void RebuildInfo();
    // Runs command number (0 to 5). May replace this scene: nothing of it is touched after.
    void RunCommand(int32_t number);

    // The workspace being shown, or null.
    static CWorkSpace* Current();

    // What the panel shows now, and its labels.
    std::vector<CPanelLine> panelLines;
    hoard::list::basic<Label::Aid::TA::CSingle> panelLabels;
    std::vector<CWaveGraph> graphs;
    CSoundClip preview;
    ::Button::Box::CColumn<Button::CNexter> commands;
};

// Puts silent 16-bit stereo of milliseconds (MakeSilentStereo, in the shared clip's format
// tag, without metadata) in place of the shared clip, not loaded, and keeps the state it
// replaces as the step back; false, with nothing changed, when that silence cannot be
// made. The duration is the caller's to set.
bool PutSilentClip(uint32_t milliseconds);

// The rectangle of command button number with the screen width width: 128 x 28 pixels,
// 32 apart, from (width - 144, 66).
RECT CommandRect(int32_t number, int32_t width);

}  // namespace Scene::Main
