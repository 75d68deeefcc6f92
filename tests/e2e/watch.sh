#!/usr/bin/env bash
# kavro --watch in a real X server: the author saves the document and the window follows,
# keeping its section; a broken save keeps the window and shows a bar with the error at the
# bottom; the next good save clears it. Usage: watch.sh KAVRO SOURCE_DIR
set -euo pipefail
kavro=$1
source_dir=$2
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
state_summary="s['CurrentSection'], s['ErrorBar']"
start_x 1280x960

# The colour at the bottom-left corner of the screen, as R,G,B.
corner() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format '%[fx:int(255*p{4,955}.r)],%[fx:int(255*p{4,955}.g)],%[fx:int(255*p{4,955}.b)]' info:
}

# Saving as editors do: a new file renamed over the old one.
save() {
    cat >"$work/home/metadata/mk/command.xml.tmp"
    mv "$work/home/metadata/mk/command.xml.tmp" "$work/home/metadata/mk/command.xml"
}

mkdir -p "$work/home/metadata/mk"
ln -s "$source_dir/metadata/default" "$work/home/metadata/default"
cp "$source_dir/metadata/mk/command.xml" "$work/home/metadata/mk/command.xml"
original=$(cat "$work/home/metadata/mk/command.xml")

"$kavro" --home "$work/home" --watch --dump "$work/state.json" mk command &
kavro_pid=$!
window=$(xdo search --sync --onlyvisible --name "Moonlight" | head -1)
[ -n "$window" ] || fail "no window"
state "s['CurrentSection'] == 1 and s['ErrorBar'] is None"

rm -f "$work/state.json"
xdo key --window "$window" Right
state "s['CurrentSection'] == 2"

# An edit in section 2: the window reloads and stays on section 2.
rm -f "$work/state.json"
sed 's/Ayane Tsukishiro/Ayane Edited/' <<<"$original" | save
state "'Ayane Edited' in s['SectionMarkup'][2] and s['CurrentSection'] == 2 and s['ErrorBar'] is None"
sleep 0.3
before=$(corner)

# A broken save: the window stays with the last good view and shows where the error is.
rm -f "$work/state.json"
sed 's|</section>|</sectoin>|' <<<"$original" | save
state "s['ErrorBar'] is not None and 'command.xml:' in s['ErrorBar'] and 'mismatched tag' in s['ErrorBar'] and 'Ayane Edited' in s['SectionMarkup'][2] and s['CurrentSection'] == 2"
kill -0 "$kavro_pid" || fail "the viewer ended on a broken save"
bar=""
for _ in $(seq 40); do
    bar=$(corner)
    python3 -c "import sys; r,g,b = map(int, '$bar'.split(',')); sys.exit(0 if r > 100 and g < 40 and b < 40 else 1)" && break
    sleep 0.1
done
python3 -c "import sys; r,g,b = map(int, '$bar'.split(',')); sys.exit(0 if r > 100 and g < 40 and b < 40 else 1)" ||
    fail "no red bar at the bottom of the screen: $bar (before: $before)"

# The next good save clears the bar and shows the new text.
rm -f "$work/state.json"
sed 's/Ayane Tsukishiro/Ayane Fixed/' <<<"$original" | save
state "s['ErrorBar'] is None and 'Ayane Fixed' in s['SectionMarkup'][2] and s['CurrentSection'] == 2"
after=""
for _ in $(seq 40); do
    after=$(corner)
    [ "$after" = "$before" ] && break
    sleep 0.1
done
[ "$after" = "$before" ] || fail "the bottom of the screen is $after after the fix, $before before the broken save"

xdotool key --window "$window" Escape 2>/dev/null || true
status=0
wait "$kavro_pid" || status=$?
kavro_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after Esc"
echo "watch end-to-end: all checks passed"
