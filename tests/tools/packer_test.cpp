// se-pack, run as the build and a developer run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/render/package.h"
#include "test_support.h"
#include "tools/packer/pack.h"

namespace {

using NVireo::NRender::CPackage;

Result Pack(const std::string& arguments) { return RunProgram(SE_PACK_PATH, arguments); }

struct Listed {
    std::string name;
    uint32_t offset, size;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> Directory(const std::string& hostPath) {
    RaisePolicy throwing;
    CPackage package;
    package.OpenFrom(HostToProgramPath(hostPath).c_str());
    std::vector<Listed> listed;
    for (const CPackage::Entry& e : package.directory) listed.push_back({e.name, e.offset, e.size});
    return listed;
}

class PackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"src/Title.BMP", "src/pd/se/ok.wav", "src/.gitkeep",
                                 "src/.hidden/secret.wav", "src/pd/.swap"}) {
            std::filesystem::create_directories(std::filesystem::path(folder / name).parent_path());
            folder.WriteHostFile(name, std::string(name) + " bytes");
        }
    }
    TempFolder folder;
};

TEST_F(PackerTest, PacksEveryVisibleFileUnderItsNormalisedName) {
    const Result r = Pack(Quote(folder / "out") + " " + Quote(folder / "src"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    const std::vector<Listed> expected = {{"pd/se/ok.wav", 0, 22}, {"title.bmp", 22, 19}};
    EXPECT_EQ(Directory(folder / "out"), expected);
}

TEST_F(PackerTest, AFixedSeedGivesTheSameBytesAndAnotherSeedOtherBytes) {
    const std::string src = Quote(folder / "src");
    for (const char* run : {"--seed 7 %/a", "--seed 7 %/b", "--seed 8 %/c", "%/d"}) {
        std::string arguments = run;
        arguments.replace(arguments.find('%'), 1, Quote(folder.Host()));
        ASSERT_EQ(Pack(arguments + " " + src).status, 0) << arguments;
    }
    const std::string a = folder.ReadHostFile("a");
    EXPECT_EQ(a, folder.ReadHostFile("b"));
    EXPECT_NE(a, folder.ReadHostFile("c"));
    EXPECT_NE(a, folder.ReadHostFile("d"));
    EXPECT_EQ(a.size(), folder.ReadHostFile("c").size());
    // Only the scrambling differs: the contents and the directory they lead to are the same.
    EXPECT_EQ(a.substr(0, 41), folder.ReadHostFile("c").substr(0, 41));
    EXPECT_EQ(Directory(folder / "a"), Directory(folder / "c"));
    EXPECT_EQ(Directory(folder / "a"), Directory(folder / "d"));
}

TEST_F(PackerTest, ExitStatusSaysWhatWentWrong) {
    folder.WriteHostFile("src2", "");
    std::filesystem::create_directories(folder / "clash");
    folder.WriteHostFile("clash/A.wav", "1");
    folder.WriteHostFile("clash/a.wav", "2");
    struct Case {
        std::string arguments;
        int status;
        const char* says;
    };
    const std::string out = Quote(folder / "out"), src = Quote(folder / "src");
    const Case cases[] = {
        {"", 2, "usage:"},
        {out, 2, "usage:"},
        {out + " " + src + " extra", 2, "usage:"},
        {"--seed " + out + " " + src, 2, "--seed needs a number"},
        {out + " " + src + " --seed", 2, "usage:"},
        {"--seed -1 " + out + " " + src, 2, "--seed needs a number"},
        {"--seed 4294967296 " + out + " " + src, 2, "--seed needs a number"},
        {"--seed 12x " + out + " " + src, 2, "--seed needs a number"},
        {"--level 9 " + out + " " + src, 2, "unknown option --level"},
        {out + " " + Quote(folder / "missing"), 1, "se-pack: not a folder:"},
        {out + " " + Quote(folder / "src2"), 1, "se-pack: not a folder:"},
        {Quote(folder / "no/such/folder/out") + " " + src, 1, "se-pack: cannot write"},
        {out + " " + Quote(folder / "clash"), 1, "se-pack: two files have the entry name a.wav"},
        {"--seed 4294967295 " + out + " " + src, 0, ""},
    };
    for (const Case& c : cases) {
        const Result r = Pack(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        }
    }
}

TEST_F(PackerTest, AnEarlierPackageInsideTheFolderIsNotPackedAgain) {
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "src/package", folder / "src", 1, reason)) << reason;
    ASSERT_TRUE(PackFolder(folder / "src/package", folder / "src", 1, reason)) << reason;
    EXPECT_EQ(Directory(folder / "src/package").size(), 2u);
}

TEST(BuiltPackage, TheBuildPacksTheDataFolderWithSeedOne) {
    const std::string built = (std::filesystem::path(SE_PACK_PATH).parent_path() / "Data/package").string();
    TempFolder folder;
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "package", SE_SOURCE_DIR "/data", 1, reason)) << reason;
    EXPECT_EQ(ReadFile(built), ReadFile(folder / "package"));
    EXPECT_EQ(Directory(built), Directory(folder / "package"));
}

}  // namespace
