#!/usr/bin/env bash
# Installs what is missing, builds, and shows the retimer at work on a sample clip it
# makes: its properties, then the clip changed to 750 ms and to 1.5 times its length.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

cli=build/bin/se-retimer-cli
demo=build/demo
mkdir -p "$demo"
sox -q -n -r 44100 -c 2 -b 16 "$demo/sample.wav" synth 1.2 pluck C4 fade 0 1.2 0.3
"$cli" --info "$demo/sample.wav"
"$cli" --force --ms 750 -o "$demo/sample-750ms.wav" "$demo/sample.wav"
"$cli" --force --ratio 1.5 -o "$demo/sample-x1.5.wav" "$demo/sample.wav"
"$cli" --info "$demo/sample-750ms.wav" "$demo/sample-x1.5.wav"
echo "Listen: play $demo/sample.wav $demo/sample-750ms.wav $demo/sample-x1.5.wav"
