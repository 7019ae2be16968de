// hostdesktop.h: what a windowed program needs of the Linux desktop it runs on that a
// Windows program takes for granted, asked before it makes anything: a display to show
// its windows on, and a font for Japanese text. Each answers an empty text when the
// desktop has it, else one line for the user (UTF-8, no line end) that says what is
// missing and how to get it.
#pragma once

#include <string>

namespace hostdesktop {

// user32: a display the window system can open. None is named ($DISPLAY and
// $WAYLAND_DISPLAY unset or empty), or the one named cannot be opened (SDL would fall
// back to windows nobody sees): the line says so and names xvfb-run. A video driver
// chosen in $SDL_VIDEODRIVER (the tests' dummy one) is taken as it is when it starts.
// Starts the window system's video when it answers empty.
std::string MissingDisplay();

// gdi32: a scalable font that fontconfig finds and that has the kana, kanji and
// full-width punctuation the interface is written in (IPAGothic first). The line names
// the packages that bring one (fonts-ipafont-gothic, fonts-noto-cjk).
std::string MissingFont();

}  // namespace hostdesktop
