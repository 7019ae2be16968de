#!/usr/bin/env bash
# Installs every Debian package that building, running and testing SE Retimer needs.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  g++ clang libclang-rt-14-dev            # the program; clang only for the fuzz target
  clang-format                            # scripts/lint.sh checks the sources' format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  sox                                     # check the files we write, make sample clips
  ffmpeg                                  # the music tests encode a WMA with it
  time                                    # peak memory in the benchmarks
  jq                                      # tests read the CLI's JSON back with it
  libgtk-3-dev                            # message boxes and file dialogs
  libsdl2-dev                             # the window, input and the audio device
  libfreetype-dev libfontconfig-dev       # glyphs of the interface text
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev  # the music file
  fonts-ipafont-gothic                    # a Japanese font for the interface and dialogs
  imagemagick                             # tests look at screenshots of the real window
  xvfb xauth xdotool                      # the real dialogs under a virtual display in tests
  desktop-file-utils                      # tests check the desktop entry (desktop-file-validate)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
