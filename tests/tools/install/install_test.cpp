// cmake --install into a prefix of a test's own: the programs, the data package where the
// installed program looks for it, a desktop entry that desktop-file-validate accepts, the
// icon at every size and a manual page for each program that man reads without a word.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(InstalledTree, HoldsWhatADesktopLooksForWhereTheProgramLooksForIt) {
    TempFolder prefix;
    const Result install = RunProgram(SE_CMAKE_COMMAND, "--install " + Quote(SE_BINARY_DIR) +
                                                            " --prefix " + Quote(prefix.Host()));
    ASSERT_EQ(install.status, 0) << install.out;

    for (const char* name :
         {"bin/se-retimer", "bin/se-retimer-cli", "share/se-retimer/Data/package",
          "share/applications/se-retimer.desktop", "share/man/man1/se-retimer.1",
          "share/man/man1/se-retimer-cli.1", "share/icons/hicolor/16x16/apps/se-retimer.png",
          "share/icons/hicolor/48x48/apps/se-retimer.png",
          "share/icons/hicolor/256x256/apps/se-retimer.png"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix / name)) << name;
    }
    EXPECT_TRUE(ReadFile(prefix / "share/se-retimer/Data/package") ==
                ReadFile(SE_BINARY_DIR "/bin/Data/package"));
    // Nothing beside the programs: the installed program finds its data in share/.
    EXPECT_FALSE(fs::exists(prefix / "bin/Data"));

    const std::string entry = prefix / "share/applications/se-retimer.desktop";
    const std::string text = prefix.ReadHostFile("share/applications/se-retimer.desktop");
    for (const char* line :
         {"\nExec=se-retimer %f\n", "\nIcon=se-retimer\n", "\nCategories=AudioVideo;Audio;\n",
          "\nMimeType=audio/x-wav;audio/wav;audio/vnd.wave;\n", "\nName[ja]=", "\nComment[ja]="}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    const Result validated = RunProgram("desktop-file-validate", Quote(entry));
    EXPECT_EQ(validated.status, 0) << validated.out;
    EXPECT_EQ(validated.out, "");

    for (const char* page : {"se-retimer.1", "se-retimer-cli.1"}) {
        int status = -1;
        const std::string warnings = Capture(
            "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " +
                Quote(prefix / ("share/man/man1/" + std::string(page))) + " 2>&1 >/dev/null",
            &status);
        EXPECT_EQ(status, 0) << page;
        EXPECT_EQ(warnings, "") << page;
    }
}

}  // namespace
