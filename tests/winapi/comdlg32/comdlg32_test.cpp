// The file dialogs without a desktop: the filter list and its case-insensitive patterns,
// the record checks, and what the layer makes of an answer given through the seam
// (the path in code page 932, a buffer too small, cancel). The headless answer runs in
// a forked child so GTK never starts in the test process.
#include <commdlg.h>
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <hostpath.h>
#include <io.h>
#include <seams.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comdlg32/filter.h"
#include "support/test_support.h"
#include "support/xvfb_support.h"

namespace {

using winapi::comdlg32::CaseInsensitiveGlob;
using winapi::comdlg32::FilterPair;
using winapi::comdlg32::ReadFilterList;

// The list the workspace passes: "Wave File(*.wav)", NUL, "*.wav", NUL, NUL.
const char kWaveFilter[] = "Wave File(*.wav)\0*.wav\0";

TEST(FileDialogFilter, ListsAreReadPairByPair) {
    std::vector<FilterPair> pairs;
    ASSERT_TRUE(ReadFilterList(kWaveFilter, pairs));
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].description, "Wave File(*.wav)");
    EXPECT_EQ(pairs[0].patterns, std::vector<std::string>{"*.wav"});

    // Several pairs, blanks around patterns, a description in code page 932 ("音").
    const char list[] = "\x89\xB9(*.wav;*.aif)\0 *.wav ; *.aif\0All\0*.*\0";
    ASSERT_TRUE(ReadFilterList(list, pairs));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].description, U8(u8"音(*.wav;*.aif)"));
    EXPECT_EQ(pairs[0].patterns, (std::vector<std::string>{"*.wav", "*.aif"}));
    EXPECT_EQ(pairs[1].patterns, std::vector<std::string>{"*.*"});

    EXPECT_TRUE(ReadFilterList(nullptr, pairs));
    EXPECT_TRUE(pairs.empty());
    EXPECT_TRUE(ReadFilterList("", pairs));
    EXPECT_TRUE(pairs.empty());

    // A description whose patterns are missing or hold no pattern.
    for (const char* broken : {"Wave\0", "Wave\0 ; \0", "Wave\0*.wav\0Other\0"}) {
        EXPECT_FALSE(ReadFilterList(broken, pairs)) << broken;
    }
}

TEST(FileDialogFilter, PatternsMatchTheExtensionInAnyCase) {
    EXPECT_EQ(CaseInsensitiveGlob("*.wav"), "*.[wW][aA][vV]");
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.wav", "a.wav", true},     {"*.wav", "B.WAV", true},      {"*.wav", "c.Wav", true},
        {"*.wav", "a.wave", false},   {"*.wav", "a.wav.txt", false}, {"*.WAV", "a.wav", true},
        {"*.*", "noext", false},      {"*.*", "x.y", true},          {"?.wav", "ab.wav", false},
        {"[1].wav", "[1].WAV", true}, {"[1].wav", "1.wav", false},   {"a\\b.wav", "a\\B.wav", true},
    };
    // GTK's matcher reads globs as fnmatch does: "*", "?", brackets and backslash escapes.
    for (const Case& c : cases) {
        const std::string glob = CaseInsensitiveGlob(c.pattern);
        EXPECT_EQ(fnmatch(glob.c_str(), c.name, 0) == 0, c.matches) << c.pattern << " " << c.name;
    }
}

// What the seam was asked, and what it answers.
struct SeamState {
    const char* answer = nullptr;  // host path; null: Cancel
    int calls = 0;
    BOOL save = FALSE;
    DWORD filterIndex = 0;
    std::string filter;
};
SeamState seam;

const char* AnswerFromSeam(const OPENFILENAMEA* record, BOOL save) {
    ++seam.calls;
    seam.save = save;
    seam.filterIndex = record->nFilterIndex;
    seam.filter = record->lpstrFilter ? std::string(record->lpstrFilter) : "";
    return seam.answer;
}

struct SeamGuard {
    explicit SeamGuard(const char* answer) {
        seam = {};
        seam.answer = answer;
        SetFileDialogAnswer(AnswerFromSeam);
    }
    ~SeamGuard() { SetFileDialogAnswer(nullptr); }
};

// A record as the framework fills it, over buffer.
OPENFILENAMEA Record(std::vector<char>& buffer) {
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_WIN32;
    record.lpstrFilter = kWaveFilter;
    record.nFilterIndex = 1;
    record.lpstrFile = buffer.data();
    record.nMaxFile = static_cast<DWORD>(buffer.size());
    return record;
}

TEST(FileDialog, ChosenPathComesBackWithWhereItsNameAndExtensionStart) {
    const std::string chosen = "/tmp/some.folder/clip.name.wav";
    SeamGuard answered(chosen.c_str());
    for (const bool save : {false, true}) {
        std::vector<char> buffer(260, 'x');
        buffer[0] = '\0';
        OPENFILENAMEA record = Record(buffer);
        const BOOL result = save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
        ASSERT_TRUE(result);
        EXPECT_EQ(CommDlgExtendedError(), 0u);
        EXPECT_EQ(seam.save, save ? TRUE : FALSE);
        EXPECT_EQ(seam.filterIndex, 1u);
        EXPECT_EQ(seam.filter, "Wave File(*.wav)");
        EXPECT_STREQ(record.lpstrFile, chosen.c_str());
        EXPECT_EQ(record.nFileOffset, chosen.find("clip"));
        EXPECT_EQ(record.nFileExtension, chosen.size() - 3);
    }
    // A name without extension: nFileExtension is at the terminator.
    SeamGuard plain("/tmp/a.b/name");
    std::vector<char> buffer(260, '\0');
    OPENFILENAMEA record = Record(buffer);
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(record.nFileOffset, 9);
    EXPECT_EQ(record.nFileExtension, 13);
}

TEST(FileDialog, CancelAnswersFalseWithNoErrorEvenAfterAFailure) {
    SeamGuard cancelling(nullptr);
    std::vector<char> buffer(260, '\0');
    OPENFILENAMEA broken = Record(buffer);
    broken.lStructSize = 76;
    EXPECT_FALSE(GetOpenFileNameA(&broken));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);

    OPENFILENAMEA record = Record(buffer);
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(seam.calls, 1);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(FileDialog, APathThatDoesNotFitIsBufferTooSmallWithTheSizeNeeded) {
    const std::string chosen = "/tmp/" + std::string(250, 'n') + ".wav";  // 259 bytes
    SeamGuard answered(chosen.c_str());
    struct Case {
        size_t size;
        bool fits;
    } cases[] = {{chosen.size() + 1, true}, {chosen.size(), false}, {2, false}, {1, false}};
    for (const Case& c : cases) {
        std::vector<char> buffer(c.size, '\0');
        OPENFILENAMEA record = Record(buffer);
        EXPECT_EQ(GetOpenFileNameA(&record), c.fits ? TRUE : FALSE) << c.size;
        if (c.fits) {
            EXPECT_EQ(std::string(buffer.data()), chosen);
            continue;
        }
        EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL) << c.size;
        if (c.size >= 2) {  // the first two bytes hold the bytes needed
            EXPECT_EQ(static_cast<unsigned char>(buffer[0]) | static_cast<unsigned char>(buffer[1])
                                                                  << 8,
                      static_cast<int>(chosen.size() + 1));
        }
    }
}

TEST(FileDialog, ANameOutsideCodePage932OpensTheSameHostFile) {
    TempFolder folder;
    // A letter code page 932 lacks, an emoji, a literal backslash, and "表" (trail 0x5C).
    const std::string name = U8(u8"\u00e7\U0001F600\\表.wav");
    folder.WriteHostFile(name, "RIFF bytes");
    const std::string host = folder / name;
    SeamGuard answered(host.c_str());
    std::vector<char> buffer(260, '\0');
    OPENFILENAMEA record = Record(buffer);
    ASSERT_TRUE(GetOpenFileNameA(&record));
    EXPECT_EQ(std::string(record.lpstrFile), HostToProgramPath(host));
    EXPECT_EQ(std::string(record.lpstrFile + record.nFileOffset), HostToProgramPath(name));

    FILE* file = nullptr;
    ASSERT_EQ(fopen_s(&file, record.lpstrFile, "rb"), 0);
    char bytes[32] = {};
    const size_t read = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    EXPECT_EQ(std::string(bytes, read), "RIFF bytes");
}

TEST(FileDialog, RecordsAskingForWhatIsNotSupportedFailBeforeAnyoneIsAsked) {
    SeamGuard answered("/tmp/x.wav");
    char custom[64] = {};
    struct Case {
        const char* what;
        void (*change)(OPENFILENAMEA&, char*);
        DWORD error;
    } cases[] = {
        {"size", [](OPENFILENAMEA& r, char*) { r.lStructSize = 0; }, CDERR_STRUCTSIZE},
        {"no buffer", [](OPENFILENAMEA& r, char*) { r.lpstrFile = nullptr; }, CDERR_INITIALIZATION},
        {"empty buffer", [](OPENFILENAMEA& r, char*) { r.nMaxFile = 0; }, CDERR_INITIALIZATION},
        {"multiselect", [](OPENFILENAMEA& r, char*) { r.Flags = 0x200; }, CDERR_INITIALIZATION},
        {"hook flag", [](OPENFILENAMEA& r, char*) { r.Flags = 0x20; }, CDERR_INITIALIZATION},
        {"custom filter", [](OPENFILENAMEA& r, char* c) { r.lpstrCustomFilter = c; },
         CDERR_INITIALIZATION},
        {"file title", [](OPENFILENAMEA& r, char* c) { r.lpstrFileTitle = c; },
         CDERR_INITIALIZATION},
        {"default extension", [](OPENFILENAMEA& r, char*) { r.lpstrDefExt = "wav"; },
         CDERR_INITIALIZATION},
        {"broken filter", [](OPENFILENAMEA& r, char*) { r.lpstrFilter = "Wave\0"; },
         CDERR_INITIALIZATION},
        {"unterminated name",
         [](OPENFILENAMEA& r, char*) { std::memset(r.lpstrFile, 'a', r.nMaxFile); },
         FNERR_INVALIDFILENAME},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(260, '\0');
        OPENFILENAMEA record = Record(buffer);
        c.change(record, custom);
        EXPECT_FALSE(GetOpenFileNameA(&record)) << c.what;
        EXPECT_EQ(CommDlgExtendedError(), c.error) << c.what;
    }
    EXPECT_FALSE(GetSaveFileNameA(nullptr));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
    EXPECT_EQ(seam.calls, 0);

    // What the layer honours is accepted, with either record size.
    std::vector<char> buffer(260, '\0');
    OPENFILENAMEA record = Record(buffer);
    record.lStructSize = sizeof(OPENFILENAMEA);
    record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   OFN_FILEMUSTEXIST | OFN_EXPLORER;
    EXPECT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(seam.calls, 1);
}

// Without a display and without a seam the dialog cannot be shown: a failure, not a
// cancel, so nobody takes it for the user's answer.
TEST(FileDialog, HeadlessFailsWithDialogFailure) {
    xvfb_support::Child child({{"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}}, [] {
        std::vector<char> buffer(260, '\0');
        OPENFILENAMEA record = Record(buffer);
        const BOOL result = GetOpenFileNameA(&record);
        std::fprintf(stderr, "answer %d %u\n", result,
                     static_cast<unsigned>(CommDlgExtendedError()));
    });
    ASSERT_TRUE(child.ReadToEnd()) << child.Err();
    EXPECT_NE(child.Err().find("answer 0 65535\n"), std::string::npos) << child.Err();
}

}  // namespace
