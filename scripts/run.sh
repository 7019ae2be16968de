#!/usr/bin/env bash
# Installs what is missing, builds, and starts SE Retimer. Given a WAV file, the program
# opens with it: scripts/run.sh [clip.wav]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# The program changes to its own folder at start: hand it the clip's full path.
args=()
if [ $# -gt 0 ]; then
  if [ ! -f "$1" ]; then
    echo "run.sh: no such file: $1" >&2
    exit 2
  fi
  args=("$(realpath "$1")")
fi

cd "$root"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'TEXT'
SE Retimer is a windowed program, and this session has no display ($DISPLAY and
$WAYLAND_DISPLAY are not set).

Run it on a virtual display instead:
    xvfb-run -a build/bin/se-retimer [clip.wav]

or change clips without a window, with the command-line retimer:
    build/bin/se-retimer-cli --info clip.wav
    build/bin/se-retimer-cli --ms 750 -o out.wav clip.wav
TEXT
  exit 1
fi

exec build/bin/se-retimer "${args[@]}"
