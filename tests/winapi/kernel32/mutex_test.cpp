// The layer's named mutexes: one holder per name and display across processes, a name
// that is free again however its holder lets go (release, close, exit, SIGKILL), and lock
// files whose names stay apart for names full of separators and double-byte characters.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "backend/display_key.h"
#include "support/test_support.h"

namespace {

// Every test gets its own runtime folder, so runs in parallel never share a name, and a
// display of its own.
class NamedMutex : public ::testing::Test {
protected:
    void SetUp() override {
        for (Variable& v : saved_) {
            const char* old = std::getenv(v.name);
            v.had = old != nullptr;
            if (v.had) v.value = old;
        }
        setenv("XDG_RUNTIME_DIR", folder_.Host().c_str(), 1);
        setenv("DISPLAY", ":7", 1);
    }
    void TearDown() override {
        for (const Variable& v : saved_) {
            if (v.had) {
                setenv(v.name, v.value.c_str(), 1);
            } else {
                unsetenv(v.name);
            }
        }
    }

    TempFolder folder_;
    struct Variable {
        const char* name;
        bool had = false;
        std::string value;
    } saved_[2] = {{"XDG_RUNTIME_DIR", false, {}}, {"DISPLAY", false, {}}};
};

// What CreateMutexA answers for the name in a fresh process (on another display, when
// one is given): the last error, or 255 when it gave no handle at all.
int LastErrorInChild(const char* name, const char* display = nullptr) {
    const pid_t child = fork();
    if (child == 0) {
        if (display != nullptr) setenv("DISPLAY", display, 1);
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
        _exit(mutex == nullptr ? 255 : static_cast<int>(GetLastError() & 0xFF));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Which way a holder lets go of its name.
enum class Ending { Exits, Killed };

// Takes the name in a child, checks that the name is held while the child lives, ends
// the child the given way and answers what a new CreateMutexA says afterwards.
DWORD ErrorAfterHolderEnds(const char* name, Ending ending) {
    int ready[2], finish[2];
    if (pipe(ready) != 0 || pipe(finish) != 0) return WAIT_FAILED;
    const pid_t child = fork();
    if (child == 0) {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
        const char answer = mutex != nullptr && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        (void)!write(ready[1], &answer, 1);
        char ignored;
        (void)!read(finish[0], &ignored, 1);
        _exit(0);  // without releasing or closing
    }
    close(ready[1]);
    close(finish[0]);
    char answer = 0;
    EXPECT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');
    HANDLE meanwhile = CreateMutexA(nullptr, TRUE, name);
    EXPECT_NE(meanwhile, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(meanwhile);
    if (ending == Ending::Killed) {
        kill(child, SIGKILL);
    } else {
        (void)!write(finish[1], "x", 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(finish[1]);
    HANDLE after = CreateMutexA(nullptr, TRUE, name);
    const DWORD error = after == nullptr ? WAIT_FAILED : GetLastError();
    CloseHandle(after);
    return error;
}

TEST_F(NamedMutex, OtherProcessesSeeTheNameHeldUntilItIsReleased) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "SeRetimer");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(LastErrorInChild("SeRetimer"), static_cast<int>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(LastErrorInChild("SeRetimer2"), static_cast<int>(ERROR_SUCCESS));
    // A name belongs to one display, whichever screen of it: a process on another display
    // holds the same name of its own.
    EXPECT_EQ(LastErrorInChild("SeRetimer", ":7.1"), static_cast<int>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(LastErrorInChild("SeRetimer", ":8"), static_cast<int>(ERROR_SUCCESS));
    EXPECT_EQ(LastErrorInChild("SeRetimer", ""), static_cast<int>(ERROR_SUCCESS));
    // A second handle in this process does not hold the name either.
    HANDLE second = CreateMutexA(nullptr, TRUE, "SeRetimer");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);

    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    EXPECT_EQ(LastErrorInChild("SeRetimer"), static_cast<int>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));

    // Closing the holding handle frees the name too.
    HANDLE holder = CreateMutexA(nullptr, TRUE, "Closed");
    ASSERT_NE(holder, nullptr);
    EXPECT_TRUE(CloseHandle(holder));
    EXPECT_EQ(LastErrorInChild("Closed"), static_cast<int>(ERROR_SUCCESS));
}

TEST_F(NamedMutex, NameIsFreeAfterItsHolderExitsOrIsKilled) {
    EXPECT_EQ(ErrorAfterHolderEnds("Exits", Ending::Exits), ERROR_SUCCESS);
    EXPECT_EQ(ErrorAfterHolderEnds("Killed", Ending::Killed), ERROR_SUCCESS);
}

TEST_F(NamedMutex, AnyNameBecomesItsOwnLockFile) {
    // Separators, dots, a double-byte character whose trail byte is '\', names that only
    // differ where the readable prefix replaces bytes, and one too long to spell out.
    const std::string names[] = {
        "a/b",
        "a_b",
        "a\\b",
        "..",
        "/",
        "表\\x",
        "表",
        "Local\\SeRetimer",
        std::string(300, 'n'),
        std::string(299, 'n') + "m",
    };
    std::vector<HANDLE> handles;
    for (const std::string& name : names) {
        handles.push_back(CreateMutexA(nullptr, TRUE, name.c_str()));
        EXPECT_NE(handles.back(), nullptr) << name;
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << name;
    }
    const std::vector<std::string> files = folder_.Names();
    EXPECT_EQ(files.size(), std::size(names));
    for (const std::string& file : files) {
        EXPECT_EQ(file.rfind("se-mutex-", 0), 0u) << file;
        EXPECT_LE(file.size(), 255u) << file;
    }
    for (HANDLE handle : handles) CloseHandle(handle);
}

TEST_F(NamedMutex, WithoutARuntimeFolderTheLockFileIsInTmpUnderTheUserId) {
    unsetenv("XDG_RUNTIME_DIR");
    const std::string name = "tmp" + std::to_string(getpid());
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(LastErrorInChild(name.c_str()), static_cast<int>(ERROR_ALREADY_EXISTS));
    const std::string prefix = "se-mutex-" + std::to_string(getuid()) + "-" +
                               winapi::backend::DisplayKey() + "-" + name + ".";
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(prefix, 0) == 0) found = entry.path().string();
    }
    EXPECT_FALSE(found.empty());
    CloseHandle(mutex);
    if (!found.empty()) std::filesystem::remove(found);
}

}  // namespace
