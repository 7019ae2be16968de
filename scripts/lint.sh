#!/usr/bin/env bash
# The checks no compiler makes, over the files git knows:
# - sources hold only text that code page 932 can store: the compiler stores narrow
#   literals in it and would otherwise replace what it lacks without a word;
# - sources are formatted as .clang-format says (clang-format --dry-run --Werror);
# - nothing above the layer (app/, framework/, sound/, tools/, bench/, fuzz/) includes a
#   header of the Linux libraries the layer is built on: SDL2, GTK/GDK/GLib, FreeType,
#   fontconfig, X11 or FFmpeg. The build hides most of them from the code above the
#   layer, but fontconfig, X11 and FFmpeg sit on the compiler's default path.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
fail() {
  echo "lint: $*" >&2
  status=1
}

mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')

for file in "${sources[@]}"; do
  iconv -f UTF-8 -t CP932 "$file" >/dev/null 2>&1 || fail "$file holds characters that code page 932 lacks"
done

if ! clang-format --dry-run --Werror "${sources[@]}" 2>/tmp/lint-format.$$; then
  sed -n 's/^\([^:]*\):.*error: code should be clang-formatted.*/\1/p' /tmp/lint-format.$$ | sort -u |
    while read -r file; do echo "lint: $file is not formatted (clang-format -i $file)" >&2; done
  status=1
fi
rm -f /tmp/lint-format.$$

libraries='SDL[A-Za-z0-9_]*\.h|gtk/|gdk/|glib|gio/|ft2build\.h|freetype/|fontconfig/|X11/|libav[a-z]*/|libsw[a-z]*/'
while IFS= read -r hit; do
  fail "$hit: only the layer (winapi/) includes the Linux libraries' headers"
done < <(git grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($libraries)" -- \
  app framework sound tools bench fuzz || true)

exit $status
