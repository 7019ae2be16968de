// The workspace's figures and rules: which commands are enabled, the information
// panel's texts, the waveform values and the silent fallback clip.
#include "app/scenes/workspace_model.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace Scene::Main;

void SetFormat(CSoundClip& clip, uint16_t channels, uint32_t rate, uint16_t bits) {
    clip.nChannels = channels;
    clip.nSamplesPerSec = rate;
    clip.wBitsPerSample = bits;
    clip.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    clip.nAvgBytesPerSec = rate * clip.nBlockAlign;
}

void SetBytes(CSoundClip& clip, std::vector<uint8_t> bytes) {
    ASSERT_TRUE(clip.data.Resize(static_cast<uint32_t>(bytes.size())));
    if (!bytes.empty()) std::memcpy(clip.data.data, bytes.data(), bytes.size());
}

TEST(WorkspaceCommands, EnablingFollowsLoadedDataAndPlayback) {
    struct Case {
        const char* what;
        bool loaded;
        uint32_t bytes;
        bool playing;
        bool expected[kCommandCount];  // Q W E R T A
    };
    const Case cases[] = {
        {"first start", false, 0, false, {false, false, true, false, false, false}},
        {"after a load", true, 1000, false, {true, true, true, true, true, false}},
        {"while the clip plays", true, 1000, true, {true, true, true, true, true, true}},
        {"a clip of three bytes", true, 3, false, {true, true, true, true, false, false}},
        {"a clip of exactly four bytes", true, 4, false, {true, true, true, true, true, false}},
        {"an empty data chunk", true, 0, false, {true, true, true, true, false, false}},
        {"after initialise (silence kept)",
         false,
         1000,
         false,
         {false, false, true, false, false, false}},
    };
    for (const Case& c : cases) {
        CClipState state;
        state.loaded = c.loaded;
        ASSERT_TRUE(state.clip.data.Resize(c.bytes));
        for (int32_t i = 0; i < kCommandCount; ++i) {
            EXPECT_EQ(CommandEnabled(i, state, c.playing), c.expected[i])
                << c.what << ", command " << i;
        }
    }
    CClipState state;
    state.loaded = true;
    EXPECT_FALSE(CommandEnabled(-1, state, true));
    EXPECT_FALSE(CommandEnabled(kCommandCount, state, true));
}

TEST(WorkspacePanel, DurationIsShownInSecondsAndInMinutesWithSeconds) {
    struct Case {
        uint32_t ms;
        const char* line;
    };
    const Case cases[] = {
        {90000, "再生時間       90000ミリ秒(約90.0秒)(約1.30分)"},
        {40, "再生時間       40ミリ秒(約0.1秒)(約0.01分)"},
        {1, "再生時間       1ミリ秒(約0.1秒)(約0.01分)"},
        {100, "再生時間       100ミリ秒(約0.1秒)(約0.01分)"},
        {600000, "再生時間       600000ミリ秒(約600.0秒)(約10.00分)"},
        {59999, "再生時間       59999ミリ秒(約60.0秒)(約0.60分)"},
        {75000, "再生時間       75000ミリ秒(約75.0秒)(約1.15分)"},
    };
    for (const Case& c : cases) {
        CClipState state;
        state.currentDurationMs = c.ms;
        SetFormat(state.clip, 2, 44100, 16);
        const std::vector<CPanelLine> lines = PanelLines(state);
        ASSERT_EQ(lines.size(), 5u) << c.ms;
        EXPECT_EQ(lines[1].text, c.line);
    }
}

TEST(WorkspacePanel, SamplesSizeAndFormatLines) {
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        uint32_t bytes;
        const char* samples;
        const char* size;
        const char* format;
    };
    const Case cases[] = {
        // Samples over all channels: 1000 bytes of 16-bit are 500 whatever the channels.
        {1, 44100, 16, 1000, "サンプル総数   500", "ファイルサイズ 1044byte(約1.02KB)(約0.01MB)",
         "周波数         44100Hz,16Bits,モノ"},
        {2, 22050, 16, 1000, "サンプル総数   500", "ファイルサイズ 1044byte(約1.02KB)(約0.01MB)",
         "周波数         22050Hz,16Bits,ステレオ"},
        {2, 8000, 8, 1000, "サンプル総数   1000", "ファイルサイズ 1044byte(約1.02KB)(約0.01MB)",
         "周波数         8000Hz,8Bits,ステレオ"},
        {1, 48000, 16, 2097152, "サンプル総数   1048576",
         "ファイルサイズ 2097196byte(約2048.04KB)(約2.00MB)", "周波数         48000Hz,16Bits,モノ"},
        // Bits below 8 count no samples instead of dividing by zero.
        {1, 8000, 4, 10, "サンプル総数   0", "ファイルサイズ 54byte(約0.05KB)(約0.01MB)",
         "周波数         8000Hz,4Bits,モノ"},
    };
    for (const Case& c : cases) {
        CClipState state;
        state.currentDurationMs = 500;
        SetFormat(state.clip, c.channels, c.rate, c.bits);
        ASSERT_TRUE(state.clip.data.Resize(c.bytes));
        const std::vector<CPanelLine> lines = PanelLines(state);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[2].text, c.samples);
        EXPECT_EQ(lines[3].text, c.size);
        EXPECT_EQ(lines[4].text, c.format);
        for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(lines[i].description.empty()) << i;
    }
}

TEST(WorkspacePanel, IsEmptyWithoutADuration) {
    CClipState state;
    SetFormat(state.clip, 2, 44100, 16);
    ASSERT_TRUE(state.clip.data.Resize(4000));  // silence kept after initialise
    state.currentFilePath = "/tmp/a.wav";
    EXPECT_TRUE(PanelLines(state).empty());
}

TEST(WorkspacePanel, FirstLineIsTheFileNameWithItsFolderAsDescription) {
    struct Case {
        std::string path, name, folder;
    };
    const Case cases[] = {
        {"/home/user/sounds/boom.wav", "boom.wav", "/home/user/sounds/"},
        {"C:\\sounds\\boom.wav", "boom.wav", "C:\\sounds\\"},
        {"boom.wav", "boom.wav", ""},
        // "表" ends in the byte 0x5C: it is part of the name, not a separator.
        {"/snd/表.wav", "表.wav", "/snd/"},
        {"/snd/ソ\\x.wav", "x.wav", "/snd/ソ\\"},
    };
    for (const Case& c : cases) {
        CClipState state;
        state.currentDurationMs = 1000;
        SetFormat(state.clip, 1, 8000, 8);
        state.currentFilePath = c.path;
        const std::vector<CPanelLine> lines = PanelLines(state);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].text, c.name) << c.path;
        EXPECT_EQ(lines[0].description, c.folder) << c.path;
    }
}

TEST(WorkspaceWaveform, ChannelsTakeTheirSamplesFromWholeFrames) {
    CSoundClip stereo16;
    SetFormat(stereo16, 2, 44100, 16);
    // Two frames and one byte of a third: the partial frame is not shown.
    SetBytes(stereo16, {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF, 0x12});
    std::vector<CChannelValues> graphs = ChannelValues(stereo16);
    ASSERT_EQ(graphs.size(), 2u);
    EXPECT_EQ(graphs[0].values, (std::vector<double>{-32768.0, 1.0}));
    EXPECT_EQ(graphs[1].values, (std::vector<double>{32767.0, -1.0}));
    EXPECT_EQ(graphs[0].bitsPerSample, 16);

    CSoundClip stereo8;
    SetFormat(stereo8, 2, 8000, 8);
    SetBytes(stereo8, {0, 255, 128, 1, 7});
    graphs = ChannelValues(stereo8);
    ASSERT_EQ(graphs.size(), 2u);
    EXPECT_EQ(graphs[0].values, (std::vector<double>{0.0, 128.0}));
    EXPECT_EQ(graphs[1].values, (std::vector<double>{255.0, 1.0}));

    CSoundClip mono8;
    SetFormat(mono8, 1, 8000, 8);
    SetBytes(mono8, {0, 200, 255});
    graphs = ChannelValues(mono8);
    ASSERT_EQ(graphs.size(), 1u);
    EXPECT_EQ(graphs[0].values, (std::vector<double>{0.0, 200.0, 255.0}));

    CSoundClip mono16;
    SetFormat(mono16, 1, 8000, 16);
    SetBytes(mono16, {0x34, 0x12, 0x00});
    graphs = ChannelValues(mono16);
    ASSERT_EQ(graphs.size(), 1u);
    EXPECT_EQ(graphs[0].values, (std::vector<double>{0x1234}));
}

TEST(WorkspaceWaveform, OtherLayoutsGiveEmptyGraphs) {
    struct Case {
        uint16_t channels, bits;
        size_t graphs;
    };
    const Case cases[] = {{2, 24, 2}, {1, 32, 1}, {4, 16, 4}, {0, 16, 0}, {1, 0, 1}};
    for (const Case& c : cases) {
        CSoundClip clip;
        SetFormat(clip, c.channels, 44100, c.bits);
        SetBytes(clip, std::vector<uint8_t>(48, 1));
        const std::vector<CChannelValues> graphs = ChannelValues(clip);
        ASSERT_EQ(graphs.size(), c.graphs) << c.channels << "x" << c.bits;
        for (const CChannelValues& graph : graphs) EXPECT_TRUE(graph.values.empty());
    }
}

TEST(WorkspaceWaveform, ValuesSpanTheGraphFromBottomToTop) {
    EXPECT_DOUBLE_EQ(WaveY(-32768, 16, 164, 264), 264);
    EXPECT_DOUBLE_EQ(WaveY(32767, 16, 164, 264), 164);
    EXPECT_DOUBLE_EQ(WaveY(0, 8, 274, 374), 374);
    EXPECT_DOUBLE_EQ(WaveY(255, 8, 274, 374), 274);
}

TEST(WorkspaceClip, SilentStereoKeepsTagAndDuration) {
    CSoundClip clip;
    clip.wFormatTag = 3;
    clip.cbSize = 40;
    MakeSilentStereo(clip, 1500);
    EXPECT_EQ(clip.wFormatTag, 3);
    EXPECT_EQ(clip.cbSize, 40);
    EXPECT_EQ(clip.nChannels, 2);
    EXPECT_EQ(clip.nSamplesPerSec, 44100u);
    EXPECT_EQ(clip.nBlockAlign, 4);
    EXPECT_EQ(clip.wBitsPerSample, 16);
    EXPECT_EQ(clip.nAvgBytesPerSec, 176400u);
    ASSERT_EQ(clip.data.length, 264600u);
    for (uint32_t i = 0; i < clip.data.length; ++i) ASSERT_EQ(clip.data.data[i], 0) << i;
    MakeSilentStereo(clip, 0);
    EXPECT_EQ(clip.data.length, 0u);
}

}  // namespace
