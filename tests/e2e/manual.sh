#!/usr/bin/env bash
# A PDF manual in the real binary and a real X server: the first page at once, the rest drawn
# in the background, paged with real keys; the exit key, a new start on the same page, and
# --from-start at the top. Usage: manual.sh KAVRO SOURCE_DIR
set -euo pipefail
kavro=$1
source_dir=$2
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
command -v pdftoppm >/dev/null || { echo "missing pdftoppm: run scripts/setup"; exit 1; }
state_summary="s['CurrentSection'], len(s['SectionMarkup']) - 1"

mkdir -p "$work/home/metadata/quest" "$work/cache" "$work/state"
ln -s "$source_dir/metadata/default" "$work/home/metadata/default"
python3 "$source_dir/scripts/make-sample-manual" "$work/home/metadata/quest/manual.pdf" 12
export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state"

start_viewer() {  # start_viewer [OPTIONS]: the manual in a window, once its first page shows
    rm -f "$work/state.json"
    "$kavro" --home "$work/home" --dump "$work/state.json" "$@" quest manual 2>"$work/kavro.err" &
    kavro_pid=$!
    window=$(xdo search --sync --onlyvisible --name "manual.pdf" | head -1)
    [ -n "$window" ] || fail "no window"
}

key() {  # key NAME: one real key press; waits for the dump it causes
    rm -f "$work/state.json"
    xdo key --window "$window" "$1"
    state "True"
}

start_x 1280x1024
start_viewer
# The placeholder for the pages not drawn yet is not awaited: drawing may already be done.
key Right
key Right
key Right
key Down
state "s['CurrentSection'] == 4 and len(s['SectionMarkup']) - 1 == 12"
top=$(python3 -c "import json;s=json.load(open('$work/state.json'));print(round(s['picSection'][3]['Top']))")
xdotool key --window "$window" Escape 2>/dev/null || true
wait "$kavro_pid" || fail "the exit key did not end the viewer with status 0"
kavro_pid=""
grep -q "quest	manual" "$work/state/kavro/places" || fail "no place was kept"

# Started again: the same page, scrolled as it was left.
start_viewer
key Shift_L  # no action: only a dump of where the viewer opened
state "s['CurrentSection'] == 4 and round(s['picSection'][3]['Top']) == $top"
xdotool key --window "$window" Escape 2>/dev/null || true
wait "$kavro_pid" || true
kavro_pid=""

# --from-start: the top.
start_viewer --from-start
key Shift_L
state "s['CurrentSection'] == 1"
xdotool key --window "$window" Escape 2>/dev/null || true
wait "$kavro_pid" || true
kavro_pid=""

# Without pdftoppm a new PDF is a clear error with status 3, and nothing is cached.
python3 "$source_dir/scripts/make-sample-manual" "$work/home/metadata/quest/other.pdf" 2
mkdir -p "$work/bin"
ln -s "$(command -v python3)" "$work/bin/python3"
printf '[Manuals]\nNames=manual;other\n' >"$work/home/kavro.ini"
set +e
PATH="$work/bin" "$kavro" --home "$work/home" --render "$work/x.png" quest other 2>"$work/err"
status=$?
set -e
[ "$status" -eq 3 ] || fail "status $status without pdftoppm"
grep -q "apt-get install poppler-utils" "$work/err" || fail "the message does not name the package: $(cat "$work/err")"
echo "e2e manual: ok"
