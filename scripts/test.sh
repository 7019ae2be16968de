#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and bounded runs of the fuzz
# targets of the WAV reader, the package reader, the string table reader and the
# settings parser.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh
scripts/lint.sh

echo "== build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSE_SANITIZE=ON -DSE_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzz the WAV reader for ${SE_FUZZ_SECONDS:=60} seconds"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_wav fuzz_package fuzz_strings fuzz_settings
mkdir -p build-fuzz/corpus
build-fuzz/bin/fuzz_wav -max_total_time="$SE_FUZZ_SECONDS" -rss_limit_mb=2048 -print_final_stats=1 \
  build-fuzz/corpus fuzz/seeds 2>build-fuzz/fuzz.log || { tail -n 60 build-fuzz/fuzz.log; exit 1; }
tail -n 12 build-fuzz/fuzz.log
echo "fuzz: no failure in ${SE_FUZZ_SECONDS} seconds"

echo "== fuzz the package reader for ${SE_FUZZ_PACKAGE_SECONDS:=20} seconds"
mkdir -p build-fuzz/package-corpus
build-fuzz/bin/fuzz_package -max_total_time="$SE_FUZZ_PACKAGE_SECONDS" -rss_limit_mb=2048 \
  -print_final_stats=1 build-fuzz/package-corpus fuzz/package-seeds 2>build-fuzz/fuzz-package.log ||
  { tail -n 60 build-fuzz/fuzz-package.log; exit 1; }
tail -n 12 build-fuzz/fuzz-package.log
echo "fuzz: no failure in the package reader in ${SE_FUZZ_PACKAGE_SECONDS} seconds"

for target in strings settings; do
  echo "== fuzz the ${target} reader for ${SE_FUZZ_TEXT_SECONDS:=15} seconds"
  mkdir -p "build-fuzz/${target}-corpus"
  build-fuzz/bin/fuzz_"$target" -max_total_time="$SE_FUZZ_TEXT_SECONDS" -rss_limit_mb=2048 \
    -print_final_stats=1 "build-fuzz/${target}-corpus" "fuzz/${target}-seeds" \
    2>"build-fuzz/fuzz-${target}.log" || { tail -n 60 "build-fuzz/fuzz-${target}.log"; exit 1; }
  tail -n 12 "build-fuzz/fuzz-${target}.log"
  echo "fuzz: no failure in the ${target} reader in ${SE_FUZZ_TEXT_SECONDS} seconds"
done
