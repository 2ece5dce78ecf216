#!/usr/bin/env bash
# The screenshot tool on a virtual X server, into a temporary folder: it must
# get through every window, and make exactly the pictures that the guide shows
# and that docs/guide/ holds.
# Arguments: the tool, the docs folder.
set -euo pipefail
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is not installed"; exit 77; }
tool=$1 docs=$2
work=$(mktemp -d /tmp/ostrel-guide-XXXXXX)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$tool" "$work/pictures"
made=$(cd "$work/pictures" && ls -- *.png)
shown=$(grep -o '(guide/[^)]*\.png)' "$docs/guide.md" | sed 's|(guide/||; s|)||' | sort -u)
kept=$(cd "$docs/guide" && ls -- *.png)
[ "$made" = "$shown" ] || { printf 'made:\n%s\nshown in the guide:\n%s\n' "$made" "$shown" >&2; exit 1; }
[ "$made" = "$kept" ] || { printf 'made:\n%s\nin docs/guide:\n%s\n' "$made" "$kept" >&2; exit 1; }
