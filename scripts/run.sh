#!/usr/bin/env bash
# Installs what is missing, builds, and starts SE Retimer. Given a WAV file, the program
# opens with it: scripts/run.sh [clip.wav]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Built in the source folder; started from the caller's, where a relative clip is.
(
  cd "$root"
  scripts/setup.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)"
)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<TEXT
SE Retimer is a windowed program, and this session has no display (\$DISPLAY and
\$WAYLAND_DISPLAY are not set).

Run it on a virtual display instead:
    xvfb-run -a $root/build/bin/se-retimer [clip.wav]

or change clips without a window, with the command-line retimer:
    $root/build/bin/se-retimer-cli --info clip.wav
    $root/build/bin/se-retimer-cli --ms 750 -o out.wav clip.wav
TEXT
  exit 1
fi

exec "$root/build/bin/se-retimer" "$@"
