// Starting an Xvfb server of our own, shared by the display tests and the idle benchmark:
// the server picks a free display number itself and tells it through a pipe.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

// Starts Xvfb with one screen ("800x600x24") and answers its display (":N"), or "" when
// it did not say within wait; server is its process either way (-1 when none started).
// quiet sends the server's messages to /dev/null. -noreset: by default the server resets
// when its last client leaves, and a client connecting during the reset (a dialog child
// started right after the previous one was killed) is dropped before it is accepted.
inline std::string StartXvfb(const std::string& screen, std::chrono::milliseconds wait, bool quiet,
                             pid_t& server) {
    server = -1;
    int fds[2];
    if (pipe(fds) != 0) return "";
    server = fork();
    if (server == 0) {
        close(fds[0]);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Read up to the newline: Xvfb writes the number and the newline separately and gives
    // up if the pipe is closed between the two.
    std::string number, display;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (server > 0 && display.empty() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) continue;
        char ch = 0;
        if (read(fds[0], &ch, 1) != 1) break;
        if (ch != '\n')
            number += ch;
        else if (!number.empty())
            display = ":" + number;
    }
    close(fds[0]);
    return display;
}
