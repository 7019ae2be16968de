// Playing sound in a forked child with a chosen SDL audio driver, so every run starts
// with SDL's audio state fresh. With the "disk" driver SDL writes the mix (44.1 kHz,
// stereo, 32-bit float) to a file, which the parent reads back as frames.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_support.h"

namespace audiotest {

inline constexpr uint32_t kRate = 44100;

struct Frame {
    float left, right;
};

// A child's notes for the parent: one line each, written to a file in the folder.
class Notes {
public:
    explicit Notes(std::string path) : path_(std::move(path)) {}
    void Add(const std::string& line) const {
        std::ofstream out(path_, std::ios::app);
        out << line << "\n";
    }
    std::vector<std::string> Read() const {
        std::vector<std::string> lines;
        std::ifstream in(path_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::string path_;
};

// Runs body in a child with SDL_AUDIODRIVER=driver (and SDL_DISKAUDIOFILE=diskFile when
// given). Answers the child's exit code: kChildReturned when body returned.
inline int RunWithDriver(const std::string& driver, const std::string& diskFile,
                         const std::function<void()>& body) {
    return RunInChild([&] {
        setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
        if (!diskFile.empty()) setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
        body();
    });
}

inline std::vector<Frame> ReadFrames(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    return frames;
}

// The frames from the first that is not silent to the last that is not silent.
inline std::vector<Frame> Sounding(const std::vector<Frame>& frames) {
    size_t first = 0, last = frames.size();
    auto silent = [](const Frame& f) { return f.left == 0.0f && f.right == 0.0f; };
    while (first < frames.size() && silent(frames[first])) ++first;
    while (last > first && silent(frames[last - 1])) --last;
    return std::vector<Frame>(frames.begin() + static_cast<long>(first),
                              frames.begin() + static_cast<long>(last));
}

// Polls until done() or five seconds (scaled) have passed; answers done().
inline bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(5));
    while (!done() && std::chrono::steady_clock::now() < deadline) Sleep(5);
    return done();
}

// Waits until what the mixer has taken so far is in the disk driver's file: the device
// writes one period (1024 frames) after another, silence once nothing plays, so three
// more periods in the file mean the last mixed one is there too.
inline bool Drain(const std::string& diskFile) {
    const auto size = [&] {
        std::ifstream in(diskFile, std::ios::binary | std::ios::ate);
        return in ? static_cast<long long>(in.tellg()) : 0LL;
    };
    const long long target = size() + 3 * 1024 * static_cast<long long>(sizeof(Frame));
    return WaitFor([&] { return size() >= target; });
}

// In a child: notes a failed condition with its line; the parent's ExpectDone reports it.
#define CHILD_CHECK(notes, condition)                                                             \
    do {                                                                                          \
        if (!(condition)) (notes).Add("FAIL line " + std::to_string(__LINE__) + ": " #condition); \
    } while (0)

// In the parent: the child noted no failure and got to its end ("DONE").
inline void ExpectDone(const Notes& notes) {
    const auto lines = notes.Read();
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) EXPECT_EQ(line.rfind("FAIL", 0), std::string::npos) << line;
    EXPECT_EQ(lines.back(), "DONE");
}

}  // namespace audiotest
