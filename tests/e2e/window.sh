#!/usr/bin/env bash
# The real binary in a real X server: window size and border, real key presses, the exit key
# and the settings file. Usage: window.sh KAVRO SOURCE_DIR
set -euo pipefail
kavro=$1
source_dir=$2
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
state_summary="{k:s[k] for k in ('CurrentSection','fraScreenArea','settings')}, [p['Top'] for p in s['picSection']]"

key() {  # key NAME: one real key press on the viewer's window
    rm -f "$work/state.json"
    xdo key --window "$window" "$1"
}

# The exit key: the viewer ends on the key-down, so its window may be gone before xdotool
# sends the key-up.
key_exit() {
    xdotool key --window "$window" Escape 2>/dev/null || true
}

start_viewer() {
    rm -f "$work/state.json"
    "$kavro" --home "$work/home" --dump "$work/state.json" mk command 2>"$work/kavro.err" &
    kavro_pid=$!
    window=$(xdo search --sync --onlyvisible --name "Moonlight" | head -1)
    [ -n "$window" ] || fail "no window"
    state "s['CurrentSection'] == 1"
}

mkdir -p "$work/home"
ln -s "$source_dir/metadata" "$work/home/metadata"
printf '; keys of this cabinet\r\n[Input]\r\nZoom=17\r\n\r\n[Settings]\r\nZoomed=False\r\n' >"$work/home/kavro.ini"
cp "$work/home/kavro.ini" "$work/ini.before"

# Landscape: the window covers the screen without a border.
start_x 1600x1200
start_viewer
geometry=$(xdo getwindowgeometry "$window")
echo "$geometry" | grep -q "Position: 0,0" || fail "window not at 0,0: $geometry"
echo "$geometry" | grep -q "Geometry: 1600x1200" || fail "window not full screen: $geometry"
import -window root "$work/shot.png"
mean=$(convert "$work/shot.png" -format '%[fx:mean]' info:)
python3 -c "import sys; sys.exit(0 if float('$mean') > 0.01 else 1)" || fail "the screen is black"
size=$(identify -format '%wx%h' "$work/shot.png")
[ "$size" = "1600x1200" ] || fail "screenshot is $size"

top0=$(python3 -c "import json;print(json.load(open('$work/state.json'))['picSection'][0]['Top'])")
key Down
state "s['picSection'][0]['Top'] < $top0"
key Up
state "s['picSection'][0]['Top'] == $top0"
key Right
state "s['CurrentSection'] == 2 and s['picSection'][1]['Top'] == s['fraScreenArea']['Top']"
key Left
state "s['CurrentSection'] == 1"
key Left
state "s['CurrentSection'] == len(s['SectionMarkup']) - 1"
key space
state "s['settings']['NoFormatting'] and s['CurrentSection'] == 1 and not any(i['Visible'] for i in s['imgIco'] + s['imgImage'])"
key space
state "not s['settings']['NoFormatting'] and any(i['Visible'] for i in s['imgIco'])"
key Control_L
state "s['settings']['Zoomed'] and s['fraScreenArea']['Width'] == 24000"
key Control_L
state "not s['settings']['Zoomed'] and s['fraScreenArea']['Height'] == 18000"
key Alt_L
state "s['settings']['NoImages']"
# The mouse wheel scrolls one step per notch (the step measured with the Down key): three
# notches down, then one up.
top_of() { python3 -c "import json;print(json.load(open('$work/state.json'))['picSection'][0]['Top'])"; }
top0=$(top_of)
key Down
state "s['picSection'][0]['Top'] < $top0"
step=$(python3 -c "print($top0 - $(top_of))")
key Up
state "s['picSection'][0]['Top'] == $top0"
rm -f "$work/state.json"
xdo mousemove --window "$window" 400 400 click --repeat 3 --delay 50 5
state "abs(s['picSection'][0]['Top'] - ($top0 - 3 * $step)) < 0.1"
rm -f "$work/state.json"
xdo click 4
state "abs(s['picSection'][0]['Top'] - ($top0 - 2 * $step)) < 0.1"
key_exit
status=0
wait "$kavro_pid" || status=$?
kavro_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after Esc; the viewer said: $(cat "$work/kavro.err")"
grep -q "^Zoomed=False" "$work/home/kavro.ini" || fail "Zoomed not saved"
grep -q "^NoImages=True" "$work/home/kavro.ini" || fail "NoImages not saved"
grep -q "^NoFormatting=False" "$work/home/kavro.ini" || fail "NoFormatting not saved"
python3 - "$work/ini.before" "$work/home/kavro.ini" <<'PY' || fail "the Input section changed"
import sys
before, after = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
head = before.split(b'[Settings]')[0]
sys.exit(0 if after.startswith(head) else 1)
PY

# Portrait: the other geometry. The frontend's launch key (Down here) is still held as the
# viewer starts: it is ignored, auto-repeat included, until it is released.
sed -i 's/^NoImages=True/NoImages=False/' "$work/home/kavro.ini"
rm -rf "$XDG_STATE_HOME"  # a fresh start, not where the exit above left the document
start_x 1080x1920
xdo keydown Down
start_viewer
state "s['fraScreenArea']['Width'] == 16200 and s['fraScreenArea']['Height'] == 21600 and s['fraScreenArea']['Top'] == 3600"
sleep 1
state "s['picSection'][0]['Top'] == s['fraScreenArea']['Top']"
xdo keyup Down
sleep 0.2
state "s['picSection'][0]['Top'] == s['fraScreenArea']['Top']"
key Down
state "s['picSection'][0]['Top'] < s['fraScreenArea']['Top']"
key_exit
status=0
wait "$kavro_pid" || status=$?
kavro_pid=""
[ "$status" -eq 0 ] ||
    fail "exit status $status after Esc in portrait; the viewer said: $(cat "$work/kavro.err")"
echo "window end-to-end: all checks passed"
