#!/usr/bin/env bash
# Our sources hold only text that code page 932 can store: the compiler stores narrow
# literals in it and would otherwise replace what it lacks without a word.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
  if ! iconv -f UTF-8 -t CP932 "$file" >/dev/null 2>&1; then
    echo "lint: $file holds characters that code page 932 lacks" >&2
    status=1
  fi
done < <(git ls-files -- '*.cpp' '*.h')
exit $status
