// The layer's own command-line option: --scale N (or --scale=N) sets how many screen
// pixels the program's windows give each of their pixels, for screens on which 640 x 480
// is tiny. GetCommandLineA takes it out of the arguments, as a toolkit takes its own
// options, so the program never sees it; user32 asks for the value.
#pragma once

#include <string>
#include <vector>

namespace winapi::kernel32 {

inline constexpr int kMaxWindowScale = 8;

// A scale as text: a whole number from 1 to kMaxWindowScale; 0 for anything else.
int ParseWindowScale(const std::string& text);

// Takes every --scale N and --scale=N out of arguments (up to a "--", which ends the
// options), and answers the last valid scale among them (0: none). A value that is no
// valid scale is taken out too and named in complaint.
int TakeScaleOption(std::vector<std::string>& arguments, std::string& complaint);

// The scale --scale asked for on this process's command line; 0 when none.
int CommandLineScale();

}  // namespace winapi::kernel32
