#!/usr/bin/env bash
# Installs what is missing, builds, and starts SE Retimer. Given a WAV file, the program
# opens with it: scripts/run.sh [clip.wav]. Without a display the program says so itself
# (and how to run it on a virtual one).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Built in the source folder; started from the caller's, where a relative clip is.
(
  cd "$root"
  scripts/setup.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)"
)

exec "$root/build/bin/se-retimer" "$@"
