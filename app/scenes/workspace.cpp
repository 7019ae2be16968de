// The workspace scene: panel, waveform, commands and drops.
#include "app/scenes/workspace.h"

#include "app/gui/description.h"
#include "app/gui/help_line.h"
#include "app/scenes/time_changer.h"
#include "app/scenes/undo.h"
#include "app/scenes/wait.h"
#include "app/scenes/workspace_commands.h"
#include "app/shell/frame_timer.h"
#include "framework/error/error.h"
#include "framework/error/trace.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "framework/window/dropped_files.h"
#include "framework/window/keyboard.h"
#include "sound/output/sound_device.h"

namespace Scene::Main {

namespace {

namespace N3D = NVireo::NDirectX::N3D;
namespace NSound = NVireo::NDirectX::NSound;

CWorkSpace*& CurrentSlot() {
    static CWorkSpace* current = nullptr;
    return current;
}

// The command column: caption and hover help of each command, in button order.
struct CCommandText {
    const char* caption;
    const char* description;
};
constexpr CCommandText kCommands[kCommandCount] = {
    {"再生時間変更", "データの再生時間を変更します"},
    {"初期化", "初期化して無音にします"},
    {"読み込み", "wavファイルを読み込みます"},
    {"保存", "現在のデータを保存します"},
    {"再生", "現在のデータを再生します"},
    {"停止", "再生をストップします"},
};

constexpr const char kDropHint[] = "画面上にwavファイルをドラック&ドロップしても読み込みができます";

// Graph geometry: 400 x 100 pixels at x 70, one below the other 110 apart from y 164.
constexpr int32_t kGraphLeft = 70;
constexpr int32_t kGraphRight = 470;
constexpr int32_t kGraphTop = 164;
constexpr int32_t kGraphStep = 110;
constexpr int32_t kGraphHeight = 100;

// An end point of a line, drawn in the current flat preset.
struct CLineVertex {
    float x, y, z, rhw;
};

// A list (pairs of end points) or a strip of lines, untextured.
void DrawLines(D3DPRIMITIVETYPE kind, const std::vector<CLineVertex>& vertices) {
    SE_MARK();
    if (vertices.size() < 2) return;
    const size_t count = kind == D3DPT_LINELIST ? vertices.size() / 2 : vertices.size() - 1;
    N3D::CDevice& device = N3D::Device();
    device.SetTexture(nullptr);
    device.SetFVF(D3DFVF_XYZRHW);
    device.DrawUP(kind, static_cast<UINT>(count), vertices.data(), sizeof(CLineVertex));
}

void AddLine(std::vector<CLineVertex>& lines, double x0, double y0, double x1, double y1) {
    lines.push_back({static_cast<float>(x0), static_cast<float>(y0), 0.0f, 1.0f});
    lines.push_back({static_cast<float>(x1), static_cast<float>(y1), 0.0f, 1.0f});
}

}  // namespace

// --- the command owner ------------------------------------------------------------------

void Button::CNexter::Select(int32_t number) {
    SE_MARK();
    if (number < 0 || number >= kCommandCount) return;
    CWorkSpace* workspace = CWorkSpace::Current();
    if (workspace != nullptr) workspace->RunCommand(number);
}

// --- channel graphs -----------------------------------------------------------------------

CWaveGraph::CWaveGraph(uint32_t channel)
    : left(kGraphLeft),
      top(kGraphTop + kGraphStep * static_cast<int32_t>(channel)),
      right(kGraphRight),
      bottom(kGraphTop + kGraphStep * static_cast<int32_t>(channel) + kGraphHeight) {}

void CWaveGraph::Draw() const {
    SE_MARK();
    if (bitsPerSample != 8 && bitsPerSample != 16) return;
    const double width = right - left;
    const double height = bottom - top;

    N3D::PresetFlatAlpha(kPanelFill);
    N3D::DrawFlatRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                      static_cast<float>(bottom));

    std::vector<CLineVertex> lines;
    AddLine(lines, left, top, right, top);
    AddLine(lines, right, top, right, bottom);
    AddLine(lines, right, bottom, left, bottom);
    AddLine(lines, left, bottom, left, top);
    N3D::PresetFlatAlpha(kFrame);
    DrawLines(D3DPT_LINELIST, lines);

    lines.clear();
    for (int32_t k = 1; k <= 5; ++k) {
        const int32_t y = bottom - static_cast<int32_t>(k * height / 6);
        AddLine(lines, left, y, right, y);
    }
    N3D::PresetFlatAlpha(kGrid);
    DrawLines(D3DPT_LINELIST, lines);

    lines.clear();
    const int32_t centre = top + static_cast<int32_t>(height * 0.5);
    AddLine(lines, left, centre, right, centre);
    N3D::PresetFlatAlpha(kCentre);
    DrawLines(D3DPT_LINELIST, lines);

    const size_t n = values.size();
    if (n < 2) return;
    std::vector<CLineVertex> strip;
    strip.reserve(n);
    for (size_t j = 0; j < n; ++j) {
        const double x = left + static_cast<double>(j) * width / static_cast<double>(n - 1);
        const double y = WaveY(values[j], bitsPerSample, top, bottom);
        strip.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f});
    }
    N3D::PresetFlatAlpha(kWave);
    DrawLines(D3DPT_LINESTRIP, strip);
}

// --- the scene ------------------------------------------------------------------------------

RECT CommandRect(int32_t number, int32_t width) {
    const int32_t left = width - 144;
    return RECT{left, 66 + 32 * number, left + 127, 93 + 32 * number};
}

CWorkSpace* CWorkSpace::Current() { return CurrentSlot(); }

CWorkSpace::CWorkSpace() {
    SE_MARK();
    const int32_t width = ::Button::NDetail::ScreenWidth();
    for (int32_t i = 0; i < kCommandCount; ++i) {
        Help::CLines description;
        Help::AddLine(description, kCommands[i].description);
        commands.AddButton().Setup(CommandRect(i, width), kCommands[i].caption, description,
                                   ::Button::ShortcutKey(i), i);
    }
    CurrentSlot() = this;
    RefreshCommands();
    NVireo::NDrop::DroppedFiles().Clear();
    RebuildWaveform();
    RebuildInfo();
    Help::Line::SetBarText(kDropHint);
    Help::Line::AddBarText(
        NVireo::NText::ApplicationStrings().Get(StringId::Application::UndoHint).c_str());
}

CWorkSpace::~CWorkSpace() {
    if (CurrentSlot() == this) CurrentSlot() = nullptr;
}

void CWorkSpace::RefreshCommands() {
    SE_MARK();
    const CClipState& state = SharedClipState();
    const bool playing = NSound::IsClipPlaying();
    int32_t number = 0;
    for (CCommandButton& button : commands.buttons) {
        const bool enable = CommandEnabled(number++, state, playing);
        if (enable == button.disabled) button.SetEnabled(enable);
    }
}

void CWorkSpace::RebuildWaveform() {
    SE_MARK();
    const CSoundClip& clip = SharedClipState().clip;
    graphs.clear();
    for (uint32_t channel = 0; channel < clip.nChannels; ++channel) graphs.emplace_back(channel);
    MakePreviewCopy(preview, clip);
    std::vector<CChannelValues> channels = ChannelValues(preview);
    for (size_t i = 0; i < graphs.size() && i < channels.size(); ++i) {
        graphs[i].bitsPerSample = channels[i].bitsPerSample;
        graphs[i].values = std::move(channels[i].values);
    }
}

void CWorkSpace::RebuildInfo() {
    SE_MARK();
    std::vector<CPanelLine> lines = PanelLines(SharedClipState());
    bool same = lines.size() == panelLines.size();
    for (size_t i = 0; same && i < lines.size(); ++i) {
        same = lines[i].text == panelLines[i].text &&
               lines[i].description == panelLines[i].description;
    }
    if (same) return;
    // Rendering a text costs a texture per character: the labels are made again only
    // when what they say has changed.
    panelLabels.Clear();
    int32_t y = kPanelY;
    for (const CPanelLine& line : lines) {
        Label::Aid::TA::CSingle& label = panelLabels.AppendNew();
        label.SetupAid(y, line.text.c_str(), line.description.c_str(), 1.0);
        // A line without hover text has no description at all, so hovering it shows no
        // empty box.
        if (line.description.empty()) label.description.Clear();
        y += kPanelLineStep;
    }
    panelLines = std::move(lines);
}

bool PutSilentClip(uint32_t milliseconds) {
    SE_MARK();
    CClipState& state = SharedClipState();
    CSoundClip silent;
    silent.Format() = state.clip.Format();
    if (!MakeSilentStereo(silent, milliseconds)) return false;
    Undo::Remember();
    state.clip = std::move(silent);
    state.loaded = false;
    return true;
}

void CWorkSpace::Initialise() {
    SE_MARK();
    CClipState& state = SharedClipState();
    if (!PutSilentClip(state.currentDurationMs)) {
        ShowMessage(kChangeFailedMessage);
        return;
    }
    if (!NSound::ClipBuffer().Empty()) NSound::StopClip();
    state.currentDurationMs = 0;
    RebuildWaveform();
    RebuildInfo();
}

void CWorkSpace::RunCommand(int32_t number) {
    SE_MARK();
    // A command reached by a click runs whatever the buttons showed when they were last
    // refreshed; the rules are asked again so a stale state never runs a command.
    if (!CommandEnabled(number, SharedClipState(), NSound::IsClipPlaying())) return;
    switch (number) {
        case kChangeDuration:
            new CTimeChanger;
            ::Main::FrameTimer().Restart();
            return;
        case kInitialise:
            Initialise();
            return;
        case kLoad:
            ChooseFileToLoad();
            return;
        case kSave:
            ChooseFileToSave();
            return;
        case kPlay:
            PlayCurrentClip();
            return;
        case kStop:
            NSound::StopClip();
            return;
        default:
            return;
    }
}

void CWorkSpace::TakeStep(bool back) {
    SE_MARK();
    if (!(back ? Undo::Back() : Undo::Forward())) return;
    if (!NSound::ClipBuffer().Empty()) NSound::StopClip();
    RebuildWaveform();
    RebuildInfo();
    RefreshCommands();
}

void CWorkSpace::Update() {
    SE_MARK();
    // Both keys are taken every frame, so that a Z or Y pressed alone is never kept for
    // a later Ctrl.
    const bool z = NVireo::NGame::KeyPressed('Z');
    const bool y = NVireo::NGame::KeyPressed('Y');
    if ((z || y) && (GetKeyState(VK_CONTROL) & 0x8000) != 0) TakeStep(z);
    RebuildInfo();
    Help::Normal::PlaceAtCursor(Help::Normal::SecondBox());
    RefreshCommands();
    if (commands.PollButtons()) return;  // a command may have replaced this scene
    NVireo::NDrop::CDroppedFiles& dropped = NVireo::NDrop::DroppedFiles();
    if (dropped.Empty()) return;
    const std::string path = dropped.Path(0);
    dropped.Clear();
    StartLoading(path);  // or says that it cannot be read
}

void CWorkSpace::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
    for (const CWaveGraph& graph : graphs) graph.Draw();
    for (Label::Aid::TA::CSingle& label : panelLabels) label.Draw();
    commands.DrawButtons();
}

void CWorkSpace::Draw() {
    SE_MARK();
    DrawScene();
    Help::Line::DrawOverlay();
}

}  // namespace Scene::Main
