#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and bounded runs of the fuzz
# targets of the WAV reader, the package reader, the string table reader and the
# settings parser. Ends with one line: the tests each build ran and skipped (and why),
# the fuzz targets' executions, and the time it all took.
#
# SE_FUZZ_SECONDS (45), SE_FUZZ_PACKAGE_SECONDS (20) and SE_FUZZ_TEXT_SECONDS (12) set how
# long each fuzz target runs; SE_TEST_TIME_SCALE stretches the tests' deadlines further.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
started=$(date +%s)
summary=()

# Prints a stage's heading; stage_done prints how long it took.
stage() {
  echo "== $*"
  stage_started=$(date +%s)
}
stage_done() { echo "   ($(($(date +%s) - stage_started)) s)"; }

# "N tests, M skipped (reason; ...)" from CTest's JUnit report.
tally() {
  awk '
    /^[[:space:]]*tests="/ { gsub(/[^0-9]/, ""); tests = $0 }
    /<testcase / { notrun = ($0 ~ /status="notrun"/) }
    notrun && /: Skipped$/ { getline; reasons[$0]++; skipped++; notrun = 0 }
    END {
      line = tests " tests, " skipped + 0 " skipped"
      sep = " ("
      for (r in reasons) { line = line sep reasons[r] "x " r; sep = "; " }
      if (skipped) line = line ")"
      print line
    }' "$1"
}

# Builds in $1 and runs its tests, which are counted under the name $2.
build_and_test() {
  local dir=$1 name=$2
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --output-junit "$root/$dir/junit.xml"
  summary+=("$name: $(tally "$dir/junit.xml")")
}

scripts/setup.sh
scripts/lint.sh

stage "build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build_and_test build plain
stage_done

stage "build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSE_SANITIZE=ON -DSE_BENCH=OFF >/dev/null
build_and_test build-asan sanitizers
stage_done

stage "build the fuzz targets"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_wav fuzz_package fuzz_strings fuzz_settings
stage_done

# One fuzz target for a bounded time on its corpus (kept between runs) and seeds.
fuzz() {
  local target=$1 seconds=$2 seeds=$3
  mkdir -p "build-fuzz/corpus-$target"
  if ! "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -print_final_stats=1 "build-fuzz/corpus-$target" "$seeds" 2>"build-fuzz/fuzz-$target.log"; then
    tail -n 60 "build-fuzz/fuzz-$target.log"
    echo "fuzz: the $target reader failed (build-fuzz/fuzz-$target.log)" >&2
    return 1
  fi
}
executions() { sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/fuzz-$1.log"; }

stage "fuzz the readers: WAV ${SE_FUZZ_SECONDS:=45} s, beside it package ${SE_FUZZ_PACKAGE_SECONDS:=20} s, strings and settings ${SE_FUZZ_TEXT_SECONDS:=12} s each"
# Two lanes side by side: the WAV reader in one, the other three one after another.
fuzz wav "$SE_FUZZ_SECONDS" fuzz/seeds &
wav=$!
(fuzz package "$SE_FUZZ_PACKAGE_SECONDS" fuzz/package-seeds &&
  fuzz strings "$SE_FUZZ_TEXT_SECONDS" fuzz/strings-seeds &&
  fuzz settings "$SE_FUZZ_TEXT_SECONDS" fuzz/settings-seeds) &
others=$!
status=0
wait "$wav" || status=1
wait "$others" || status=1
[ "$status" -eq 0 ] || exit 1
fuzzed=""
for target in wav package strings settings; do
  fuzzed+="${fuzzed:+, }$target $(executions "$target")"
done
summary+=("fuzz executions: $fuzzed")
stage_done

elapsed=$(($(date +%s) - started))
summary+=("total $((elapsed / 60)) min $((elapsed % 60)) s")
line=""
for part in "${summary[@]}"; do line+="${line:+; }$part"; done
echo "== all passed: $line"
