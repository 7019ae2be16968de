// dshow and ole32: a filter graph made with CoCreateInstance renders a short WMA file
// (encoded by the ffmpeg tool at test time), plays it to SDL's disk driver, reports
// EC_COMPLETE at its end, plays again after a seek to the start, and holds still while
// paused. The failures RenderFile and CoCreateInstance answer are checked in a table.
#include <dshow.h>
#include <gtest/gtest.h>
#include <hostpath.h>
#include <objbase.h>
#include <stringapiset.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/audio_child.h"
#include "support/test_support.h"

namespace {

// A WMA file of seconds of a 440 Hz tone; empty when the ffmpeg tool is missing.
std::string MakeWma(const TempFolder& folder, const std::string& name, double seconds) {
    const std::string path = folder / name;
    int status = -1;
    Capture(
        "ffmpeg -nostdin -loglevel error -f lavfi -i "
        "sine=frequency=440:sample_rate=44100:duration=" +
            std::to_string(seconds) + " -ac 2 -c:a wmav2 -b:a 128k -y " + Quote(path) + " 2>&1",
        &status);
    return status == 0 ? path : std::string();
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The UTF-16 form of a host path, as the program makes it: its code page 932 path through
// MultiByteToWideChar.
std::u16string WideProgramPath(const std::string& hostPath) {
    const std::string program = HostToProgramPath(hostPath);
    const int units = MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, nullptr, 0);
    std::u16string wide(static_cast<size_t>(units > 0 ? units : 1), u'\0');
    MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, wide.data(), units);
    return wide;
}

// Waits up to timeoutMs for an event; answers its code or 0.
LONG NextEvent(IMediaEventEx* events, LONG timeoutMs) {
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    const LONG wait =
        timeoutMs > 0 ? static_cast<LONG>(Scaled(std::chrono::milliseconds(timeoutMs)).count()) : 0;
    if (events->GetEvent(&code, &p1, &p2, wait) != S_OK) return 0;
    events->FreeEventParams(code, p1, p2);
    return code;
}

TEST(DshowGraph, PlaysToTheEndReportsCompleteAndPlaysAgainAfterASeek) {
    TempFolder folder;
    const std::string music = MakeWma(folder, "tone.wma", 0.4);
    ASSERT_FALSE(music.empty()) << "the ffmpeg tool could not encode WMA";
    const std::string output = folder / "mix.raw";
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("disk", output, [&] {
        CHILD_CHECK(notes, CoInitialize(nullptr) == S_OK);
        IGraphBuilder* graph = nullptr;
        CHILD_CHECK(notes,
                    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGraphBuilder, reinterpret_cast<void**>(&graph)) == S_OK);
        if (graph == nullptr) return;
        IMediaControl* control = nullptr;
        IMediaEventEx* events = nullptr;
        IMediaSeeking* seeking = nullptr;
        IBasicAudio* audio = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
        graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
        graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio));
        CHILD_CHECK(notes, control && events && seeking && audio);
        const std::u16string path = Wide(music);
        CHILD_CHECK(notes, graph->RenderFile(path.c_str(), nullptr) == S_OK);
        OAFilterState state = -1;
        CHILD_CHECK(notes, control->GetState(1, &state) == S_OK && state == State_Stopped);
        LONGLONG duration = 0;
        CHILD_CHECK(notes, seeking->GetDuration(&duration) == S_OK);
        CHILD_CHECK(notes, duration > 3000000 && duration < 6000000);  // about 0.4 s
        // Volume: hundredths of a decibel, -10000 to 0.
        CHILD_CHECK(notes, audio->put_Volume(1) == E_INVALIDARG);
        CHILD_CHECK(notes, audio->put_Volume(0) == S_OK);
        // No event before the end.
        CHILD_CHECK(notes, NextEvent(events, 0) == 0);
        HRESULT ran = control->Run();
        CHILD_CHECK(notes, ran == S_OK || ran == S_FALSE);
        CHILD_CHECK(notes, NextEvent(events, 5000) == EC_COMPLETE);
        CHILD_CHECK(notes, control->GetState(1, &state) == S_OK && state == State_Running);
        // Back to the start and once more.
        LONGLONG start = 0;
        CHILD_CHECK(notes, seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                                 AM_SEEKING_NoPositioning) == S_OK);
        ran = control->Run();
        CHILD_CHECK(notes, ran == S_OK || ran == S_FALSE);
        CHILD_CHECK(notes, audiotest::WaitFor([&] {
                        LONGLONG position = 0;
                        seeking->GetCurrentPosition(&position);
                        return position > 500000;  // 50 ms played
                    }));
        // Paused, the position holds; run again, it goes on from there.
        CHILD_CHECK(notes, control->Pause() == S_OK);
        LONGLONG paused = 0, later = 0;
        seeking->GetCurrentPosition(&paused);
        Sleep(100);
        seeking->GetCurrentPosition(&later);
        CHILD_CHECK(notes, paused > 0 && later == paused);
        CHILD_CHECK(notes, control->GetState(1, &state) == S_OK && state == State_Paused);
        control->Run();
        CHILD_CHECK(notes, NextEvent(events, 5000) == EC_COMPLETE);
        CHILD_CHECK(notes, control->Stop() == S_OK);
        CHILD_CHECK(notes, audiotest::Drain(output));
        audio->Release(), seeking->Release(), events->Release(), control->Release();
        graph->Release();
        CoUninitialize();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
    // Two whole plays of the tone, one of them with a pause inside: as many frames as the
    // ffmpeg tool decodes from the file, twice (give or take a sample that is exactly 0).
    int status = -1;
    const std::string decoded = Capture(
        "ffmpeg -nostdin -loglevel error -i " + Quote(music) + " -f f32le -ac 2 -ar 44100 -",
        &status);
    ASSERT_EQ(status, 0);
    const long reference = static_cast<long>(decoded.size() / sizeof(audiotest::Frame));
    ASSERT_GT(reference, static_cast<long>(0.3 * audiotest::kRate));
    const auto mix = audiotest::ReadFrames(output);
    long sounding = 0;
    float peak = 0;
    for (const auto& f : mix) {
        if (f.left != 0.0f || f.right != 0.0f) ++sounding;
        peak = std::max(peak, std::abs(f.left));
    }
    EXPECT_NEAR(sounding, 2 * reference, 16);
    EXPECT_GT(peak, 0.05f);  // the tone itself, not a trickle
}

TEST(DshowGraph, FailuresAnswerTheirCodes) {
    TempFolder folder;
    folder.WriteHostFile("text.wma", "this is no media file at all");
    const std::string music = MakeWma(folder, "tone.wma", 0.1);
    ASSERT_FALSE(music.empty());
    // A Japanese name, and a name with a letter code page 932 lacks, reach the file.
    const std::string japanese = folder / U8(u8"曲.wma"), accented = folder / U8(u8"\u00e9.wma");
    std::filesystem::copy_file(music, japanese);
    std::filesystem::copy_file(music, accented);
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        IGraphBuilder* graph = nullptr;
        void** out = reinterpret_cast<void**>(&graph);
        // COM first.
        CHILD_CHECK(notes, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IGraphBuilder, out) == CO_E_NOTINITIALIZED);
        CHILD_CHECK(notes, CoInitialize(nullptr) == S_OK);
        CHILD_CHECK(notes, CoInitialize(nullptr) == S_FALSE);
        CHILD_CHECK(notes, CoCreateInstance(IID_IMediaControl, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IGraphBuilder, out) == REGDB_E_CLASSNOTREG);
        const struct {
            std::string file;
            HRESULT expected;
        } rows[] = {
            {folder / "missing.wma", VFW_E_NOT_FOUND},
            {folder / "text.wma", VFW_E_UNSUPPORTED_STREAM},
            {music, S_OK},
            {japanese, S_OK},
            {accented, S_OK},
        };
        for (const auto& row : rows) {
            CHILD_CHECK(notes, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IGraphBuilder, out) == S_OK);
            if (graph == nullptr) continue;
            const std::u16string path = WideProgramPath(row.file);
            const HRESULT result = graph->RenderFile(path.c_str(), nullptr);
            if (result != row.expected)
                notes.Add("FAIL " + row.file + " answered " + std::to_string(result));
            graph->Release();
            graph = nullptr;
        }
        CoUninitialize();
        CoUninitialize();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

TEST(WideText, CodePage932BecomesUtf16) {
    const struct {
        const char* text;
        int bytes;
        std::u16string wide;
    } rows[] = {
        {"menu.wma", -1, std::u16string(u"menu.wma", 9)},  // with the terminator
        {"ab", 1, u"a"},
        {"\x82\xA0\x95\x5C", 4, u"\u3042\u8868"},  // a double-byte character ending in 0x5C
        {"\xB1", 1, u"\uFF71"},                    // half-width katakana
        {"\xF0\x40\xF9\xFC", 4, u"\uE000\uE757"},  // user-defined characters: private use
        {"a\x81", 2, u"a\uFFFD"},                  // a lead byte without its trail
    };
    for (const auto& row : rows) {
        char16_t out[16] = {};
        const int units = MultiByteToWideChar(932, 0, row.text, row.bytes, out, 16);
        EXPECT_EQ(std::u16string(out, static_cast<size_t>(units > 0 ? units : 0)), row.wide)
            << row.text;
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, row.text, row.bytes, nullptr, 0), units);
    }
    char16_t small[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, small, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\x81", 2, small, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "a", 1, small, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(DshowGraph, NoAudioDeviceIsAnsweredByRenderFile) {
    TempFolder folder;
    const std::string music = MakeWma(folder, "tone.wma", 0.1);
    ASSERT_FALSE(music.empty());
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("no-such-driver", "", [&] {
        CoInitialize(nullptr);
        IGraphBuilder* graph = nullptr;
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void**>(&graph));
        if (graph == nullptr) return notes.Add("FAIL no graph");
        const std::u16string path = Wide(music);
        CHILD_CHECK(notes, graph->RenderFile(path.c_str(), nullptr) == VFW_E_NO_AUDIO_HARDWARE);
        graph->Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

}  // namespace
