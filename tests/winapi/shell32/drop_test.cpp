// Dropped files: the SDL drop events of one drop become one WM_DROPFILES whose HDROP
// lists the files in order as code page 932 paths that open the same host files.
#include <gtest/gtest.h>
#include <hostpath.h>
#include <shellapi.h>
#include <windows.h>

#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

using namespace user32_test;

using User32Drop = WindowTest;

std::vector<std::string> PathsOf(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string path(length + 1, '\0');
        EXPECT_EQ(DragQueryFileA(drop, i, path.data(), length + 1), length);
        path.resize(length);
        paths.push_back(path);
    }
    return paths;
}

TEST_F(User32Drop, OneDropOfSeveralFilesIsOneMessageInOrder) {
    TempFolder folder;
    const std::vector<std::string> hostNames = {
        folder / "b.wav", folder / U8(u8"効果音 1.wav"),
        folder / U8(u8"\U0001F3B5 tune \u00f1.wav"),  // outside code page 932
    };
    for (const std::string& name : hostNames) WriteFile(name, {1, 2, 3});
    HWND window = Make();
    DragAcceptFiles(window, TRUE);

    for (bool announced : {true, false}) {  // SDL_DROPBEGIN .. COMPLETE, or a bare run
        Log().clear();
        if (announced) Drop(window, SDL_DROPBEGIN);
        for (const std::string& name : hostNames) Drop(window, SDL_DROPFILE, name);
        if (announced) Drop(window, SDL_DROPCOMPLETE);
        Pump();
        const auto drops = Only({WM_DROPFILES});
        ASSERT_EQ(drops.size(), 1u) << announced;
        HDROP drop = reinterpret_cast<HDROP>(drops[0].wParam);
        const std::vector<std::string> paths = PathsOf(drop);
        ASSERT_EQ(paths.size(), hostNames.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(ProgramToHostPath(paths[i]), hostNames[i]) << i;
            EXPECT_NE(GetFileAttributesA(paths[i].c_str()), INVALID_FILE_ATTRIBUTES) << i;
        }
        DragFinish(drop);
        EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << "a finished drop is gone";
    }
}

TEST_F(User32Drop, QueriesTruncateAndWindowsThatRefuseGetNothing) {
    HWND refusing = Make();
    HWND accepting = Make();
    DragAcceptFiles(accepting, TRUE);
    Drop(refusing, SDL_DROPFILE, "/tmp/x.wav");
    Drop(refusing, SDL_DROPCOMPLETE);
    Drop(accepting, SDL_DROPFILE, "/tmp/abcdef.wav");
    Drop(accepting, SDL_DROPCOMPLETE);
    Pump();
    const auto drops = Only({WM_DROPFILES});
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].window, accepting);
    HDROP drop = reinterpret_cast<HDROP>(drops[0].wParam);
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 5), 4u);
    EXPECT_STREQ(buffer, "/tmp");
    EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 0), 0u);
    EXPECT_EQ(DragQueryFileA(drop, 1, buffer, sizeof buffer), 0u) << "no second file";
    DragFinish(drop);

    // A window that stops accepting gets no more drops.
    DragAcceptFiles(accepting, FALSE);
    Drop(accepting, SDL_DROPFILE, "/tmp/y.wav");
    Pump();
    EXPECT_EQ(Only({WM_DROPFILES}).size(), 1u);
}

}  // namespace
