// What many tests share: a temporary folder, file helpers, a shell runner, and a guard
// that makes Raise throw instead of ending the test program.
#pragma once

#include <gtest/gtest.h>
#include <hostpath.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/error/error.h"
#include "support/capture.h"

// How many times longer than on a quiet machine a test waits for what it needs to see (a
// window, a pixel, a file, a line from a child). The sanitizer build runs several times
// slower and sets a larger factor when it compiles the tests; SE_TEST_TIME_SCALE in the
// environment overrides both, for a machine busier still. Deadlines only: a test never
// asserts that something took little time.
inline double TimeScale() {
#ifndef SE_TEST_TIME_SCALE
#define SE_TEST_TIME_SCALE 1
#endif
    static const double scale = [] {
        const char* text = std::getenv("SE_TEST_TIME_SCALE");
        const double value = text != nullptr ? std::atof(text) : 0.0;
        return value >= 1.0 ? value : static_cast<double>(SE_TEST_TIME_SCALE);
    }();
    return scale;
}

// A deadline or polling wait stretched by TimeScale().
inline std::chrono::milliseconds Scaled(std::chrono::milliseconds wait) {
    return std::chrono::milliseconds(static_cast<long long>(wait.count() * TimeScale()));
}

// Sets the reporting policy for one scope (1: Raise throws CObject; n >= 2: it returns
// n - 1), then forgets the error and restores policy 0.
struct RaisePolicy {
    explicit RaisePolicy(uint32_t policy = 1) { NVireo::NError::Record().policy = policy; }
    ~RaisePolicy() {
        NVireo::NError::Clear();
        NVireo::NError::Record().policy = 0;
    }
    RaisePolicy(const RaisePolicy&) = delete;
    RaisePolicy& operator=(const RaisePolicy&) = delete;
};

// A fresh temporary folder for one test, removed with everything in it afterwards. Its
// name is known both as the host (UTF-8) path and as the program's code page 932 path.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/se-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) ADD_FAILURE() << "no temporary folder";
        host_ = made ? made : "/tmp/se-test-missing";
        program_ = HostToProgramPath(host_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(host_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Host() const { return host_; }
    const std::string& Program() const { return program_; }
    // host + "/" + name (name in UTF-8)
    std::string HostPath(const std::string& name) const { return host_ + "/" + name; }
    std::string operator/(const std::string& name) const { return HostPath(name); }
    // The program's path of a name given in the program's code page 932.
    std::string ProgramPath(const std::string& name) const { return program_ + "/" + name; }

    void WriteHostFile(const std::string& name, const std::string& bytes) const {
        std::ofstream out(HostPath(name), std::ios::binary);
        out << bytes;
    }
    std::string ReadHostFile(const std::string& name) const {
        std::ifstream in(HostPath(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(host_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string host_;
    std::string program_;
};

// A UTF-8 host name from a u8 literal (plain literals are compiled to code page 932).
inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A shell word: the text in single quotes (test paths hold no single quote).
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// What a program printed on standard output and standard error, and its exit status.
struct Result {
    int status;
    std::string out;
};

inline Result RunProgram(const std::string& program, const std::string& arguments) {
    Result r;
    r.out = Capture(program + " " + arguments + " 2>&1", &r.status);
    return r;
}
