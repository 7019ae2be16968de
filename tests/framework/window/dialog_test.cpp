// The framework's file dialogs over the layer's seams: the filter text, the dialog record,
// which dialog failures are fatal, and the extension and overwrite question of a save path.
#include "framework/window/dialog.h"

#include <gtest/gtest.h>
#include <seams.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "framework/error/error.h"
#include "framework/platform/home.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"

namespace {

using NVireo::NCommonDialogBox::NFile::BuildFilter;
using NVireo::NCommonDialogBox::NFile::CDialog;
using NVireo::NCommonDialogBox::NFile::CFilter;
using NVireo::NCommonDialogBox::NFile::ConfirmSavePath;

// The filter text up to and including its closing double NUL.
std::string ListOf(const char* list) {
    const char* end = list;
    while (end[0] != '\0' || end[1] != '\0') ++end;
    return std::string(list, end + 2);
}

TEST(FileDialogFilterText, DescriptionPatternsAndTwoNuls) {
    CFilter one;
    BuildFilter(one, "Wave File", "wav");
    EXPECT_EQ(ListOf(one.text), std::string("Wave File(*.wav)\0*.wav\0\0", 24));
    EXPECT_TRUE(one.IsFilterList());
    CFilter two;
    BuildFilter(two, "Wave File", "wav", "aif");
    EXPECT_EQ(ListOf(two.text), std::string("Wave File(*.wav;*.aif)\0*.wav;*.aif\0\0", 36));
}

// What the file dialog seam saw, and what it answers.
struct Seen {
    const char* answer = nullptr;
    int calls = 0;
    BOOL save = FALSE;
    OPENFILENAMEA record{};
    std::string currentFolder;
};
Seen seen;

const char* Answer(const OPENFILENAMEA* record, BOOL save) {
    ++seen.calls;
    seen.save = save;
    seen.record = *record;
    char folder[4096] = {};
    seen.currentFolder = getcwd(folder, sizeof folder) ? folder : "";
    return seen.answer;
}

struct DialogSeam {
    explicit DialogSeam(const char* answer) {
        seen = {};
        seen.answer = answer;
        SetFileDialogAnswer(Answer);
    }
    ~DialogSeam() { SetFileDialogAnswer(nullptr); }
};

// Runs with the home folder pointed at a temporary folder and a different current folder,
// and restores both.
struct HomeAt {
    explicit HomeAt(const TempFolder& folder) : saved(NVireo::NFile::HomeFolder()) {
        char current[4096] = {};
        if (getcwd(current, sizeof current)) savedCurrent = current;
        NVireo::NFile::SetHomeFolder(folder.Program().c_str());
        if (chdir("/") != 0) ADD_FAILURE() << "cannot leave the current folder";
    }
    ~HomeAt() {
        NVireo::NFile::SetHomeFolder(saved.c_str());
        if (!savedCurrent.empty() && chdir(savedCurrent.c_str()) != 0)
            ADD_FAILURE() << savedCurrent;
    }
    std::string saved;
    std::string savedCurrent;
};

TEST(FileDialogRecord, EachDialogStartsInTheHomeFolderWithTheFirstFilter) {
    TempFolder folder;
    HomeAt home(folder);
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    DialogSeam seam("/tmp/chosen.wav");
    for (const bool save : {false, true}) {
        CDialog dialog("Wave File", "wav");
        EXPECT_EQ(dialog.record.lStructSize, 88u);
        EXPECT_EQ(dialog.record.nMaxFile, 260u);
        EXPECT_EQ(dialog.record.lpstrFile, dialog.name);
        EXPECT_EQ(dialog.record.lpstrFilter, dialog.filter.text);
        EXPECT_EQ(dialog.name[0], '\0');
        EXPECT_TRUE(save ? dialog.ChooseSaveFile(owner) : dialog.ChooseOpenFile(owner));
        EXPECT_STREQ(dialog.name, "/tmp/chosen.wav");
        EXPECT_EQ(seen.save, save ? TRUE : FALSE);
        EXPECT_EQ(seen.record.hwndOwner, owner);
        EXPECT_EQ(seen.record.nFilterIndex, 1u);
        EXPECT_EQ(seen.record.Flags, 0u);
        EXPECT_EQ(seen.record.lpstrInitialDir, nullptr);
        EXPECT_EQ(seen.currentFolder, folder.Host());
    }
}

TEST(FileDialogRecord, CancelIsQuietAndOnlyTheThreeFileErrorsAreFatal) {
    {
        DialogSeam cancelling(nullptr);
        RaisePolicy throwing;
        CDialog dialog("Wave File", "wav");
        EXPECT_FALSE(dialog.ChooseOpenFile(nullptr));
        EXPECT_EQ(NVireo::NError::ErrorText(), "");
    }
    const std::string tooLong = "/tmp/" + std::string(300, 'n') + ".wav";
    DialogSeam answering(tooLong.c_str());
    {
        RaisePolicy throwing;
        CDialog dialog("Wave File", "wav");
        EXPECT_THROW(dialog.ChooseSaveFile(nullptr), NVireo::NError::CObject);
        EXPECT_STREQ(NVireo::NError::Record().message, "FNERR_BUFFERTOOSMALL");
    }
    {
        RaisePolicy throwing;
        CDialog dialog("Wave File", "wav");
        std::fill(std::begin(dialog.name), std::end(dialog.name), 'a');  // no terminator
        EXPECT_THROW(dialog.ChooseOpenFile(nullptr), NVireo::NError::CObject);
        EXPECT_STREQ(NVireo::NError::Record().message, "FNERR_INVALIDFILENAME");
    }
    {
        // Any other failure answers false without a report.
        RaisePolicy throwing;
        CDialog dialog("Wave File", "wav");
        dialog.record.Flags = 0x200;  // multiple selection, which the layer refuses
        EXPECT_FALSE(dialog.ChooseOpenFile(nullptr));
        EXPECT_EQ(NVireo::NError::ErrorText(), "");
    }
}

// The overwrite question's texts in the system table for one test, and what the message
// box seam was asked.
struct QuestionSeam {
    static inline int answer = IDOK;
    static inline int calls = 0;
    static inline std::string text, caption;
    static inline UINT type = 0;

    explicit QuestionSeam(int reply) {
        answer = reply;
        calls = 0;
        auto& texts = NVireo::NText::SystemStrings().texts;
        saved = texts;
        texts[StringId::System::OverwriteQuestion] = "exists.";
        texts[StringId::System::OverwriteConfirm] = "replace?";
        texts[StringId::System::OverwriteCaption] = "caption";
        SetMessageBoxAnswer([](LPCSTR t, LPCSTR c, UINT y) {
            ++calls;
            text = t;
            caption = c;
            type = y;
            return answer;
        });
    }
    ~QuestionSeam() {
        SetMessageBoxAnswer(nullptr);
        NVireo::NText::SystemStrings().texts = saved;
    }
    std::map<uint32_t, std::string> saved;
};

TEST(ConfirmSavePath, TheExtensionBecomesWavUnlessItAlreadyIs) {
    TempFolder folder;
    QuestionSeam seam(IDOK);
    struct Case {
        const char* typed;
        const char* saved;
    } cases[] = {
        {"out", "out.wav"},
        {"out.wav", "out.wav"},
        {"out.WAV", "out.WAV"},
        {"out.Wav", "out.Wav"},
        {"take.txt", "take.txt.wav"},  // another extension stays part of the name
        {"take.wave", "take.wave.wav"},
        {"my.dir/out", "my.dir/out.wav"},
        {"wav", "wav.wav"},
        {"\x95\x5C", "\x95\x5C.wav"},  // "表": its trail byte is no separator
    };
    for (const Case& c : cases) {
        std::string path = folder.Program() + "/" + c.typed;
        EXPECT_TRUE(ConfirmSavePath(path, nullptr)) << c.typed;
        EXPECT_EQ(path, folder.Program() + "/" + c.saved) << c.typed;
    }
    EXPECT_EQ(QuestionSeam::calls, 0);  // nothing existed: no question
}

TEST(ConfirmSavePath, AnExistingFileIsReplacedOnlyAfterOk) {
    TempFolder folder;
    folder.WriteHostFile("out.wav", "old");
    const HWND owner = reinterpret_cast<HWND>(0x42);
    for (const int reply : {IDOK, IDCANCEL}) {
        QuestionSeam seam(reply);
        std::string path = folder.ProgramPath("out");  // asks for out.wav
        EXPECT_EQ(ConfirmSavePath(path, owner), reply == IDOK);
        EXPECT_EQ(path, folder.ProgramPath("out.wav"));
        EXPECT_EQ(QuestionSeam::calls, 1);
        EXPECT_EQ(QuestionSeam::text, path + "\n\nexists.\nreplace?");
        EXPECT_EQ(QuestionSeam::caption, "caption");
        EXPECT_EQ(QuestionSeam::type, MB_ICONWARNING | MB_OKCANCEL);
    }
    EXPECT_EQ(folder.ReadHostFile("out.wav"), "old");
}

}  // namespace
