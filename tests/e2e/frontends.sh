#!/usr/bin/env bash
# What frontends run: the recipes of contrib/frontends with the arguments their frontend passes,
# and a passive viewer beside a "game" window that keeps the focus. Usage: frontends.sh KAVRO
# SOURCE_DIR
# Two screens need an X server with two RandR outputs, which is what SDL 2.26 counts as displays
# (Xvfb has one output; its Xinerama screens and RandR monitors are not displays to SDL): Xorg
# with the dummy driver, its second output turned on right of the first.
set -euo pipefail
kavro=$1
source_dir=$2
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
recipes=$source_dir/contrib/frontends
for tool in lua5.4 luac5.4 xmessage setsid xrandr xprop openbox /usr/lib/xorg/Xorg; do
    command -v "$tool" >/dev/null || fail "missing $tool: run scripts/setup"
done

# A program folder with the demo (mk) and a move-list file with a game of its own (sf2).
home=$work/home
mkdir -p "$home/metadata"
ln -s "$source_dir/metadata/mk" "$home/metadata/mk"
ln -s "$source_dir/metadata/default" "$home/metadata/default"
printf '$info=sf2,sf2ce\n$cmd\n[Moves]\nFireball  _2_3_6 + _P\n$end\n' >"$home/metadata/command.dat"
printf '$nes=smb\n$cmd\n[Moves]\nJump  _A\n$end\n' >>"$home/metadata/command.dat"
printf '$info=sf2\n$bio\nA fighting game.\n$end\n' >"$home/metadata/history.dat"
printf '[Settings]\r\nZoomed=False\r\n' >"$home/kavro.ini"
cp "$home/kavro.ini" "$work/ini.before"
ini_unchanged() { cmp -s "$work/ini.before" "$home/kavro.ini" || fail "kavro.ini changed: $1"; }

# The viewer as the recipes call it: every call noted, then the real program in this folder.
mkdir -p "$work/bin"
cat >"$work/bin/kavro" <<STUB
#!/usr/bin/env bash
printf '%s\n' "\$*" >>"$work/calls.log"
printf '<%s>' "\$@" >>"$work/argv.log"; echo >>"$work/argv.log"
exec "$kavro" --home "$home" \${KAVRO_TEST_EXTRA:-} "\$@"
STUB
chmod +x "$work/bin/kavro"
export KAVRO=$work/bin/kavro
called() { grep -qxF -- "$1" "$work/calls.log" 2>/dev/null || fail "no call \"$1\": $(cat "$work/calls.log" 2>/dev/null)"; }
# argv_called WORD...: a call with exactly these arguments, each one word.
argv_called() {
    local line
    line=$(printf '<%s>' "$@")
    grep -qxF -- "$line" "$work/argv.log" 2>/dev/null || fail "no call $line: $(cat "$work/argv.log" 2>/dev/null)"
}
not_called() { ! grep -qF -- "$1" "$work/calls.log" 2>/dev/null || fail "unexpected call \"$1\""; }
# seconds_taken COMMAND...: runs it, fails on a non-zero status, prints the seconds it took.
seconds_taken() {
    local start=$SECONDS
    "$@" || fail "$* ended with $?"
    echo $((SECONDS - start))
}

# --list and the plugin need no display.
unset DISPLAY
[ "$("$KAVRO" --list sf2ce)" = "$(printf 'command\tdat:metadata/command.dat')" ] || fail "--list sf2ce"
status=0; "$KAVRO" --list nothing >/dev/null || status=$?
[ "$status" -eq 3 ] || fail "--list of a game without documents gave $status"
# The event scripts' $3: a software list becomes --system, the frontend's names for arcade
# games and names that are no folder name do not. Games without a move list: only --list runs.
event() { "$recipes/event-scripts/game-start-movelist.sh" "$@" || fail "game-start $* ended with $?"; }
for system in arcade MAME fbneo "" "Nintendo NES" "../x"; do
    : >"$work/argv.log"
    event '/roms/x/no\ thing.zip' "No thing" "$system"
    argv_called --list "/roms/x/no thing.zip"
    [ "$(wc -l <"$work/argv.log")" -eq 1 ] || fail "system \"$system\": $(cat "$work/argv.log")"
done
for system in nes megadrive; do
    : >"$work/argv.log"
    event '/roms/x/nothing.zip' nothing "$system"
    argv_called --list --system "$system" /roms/x/nothing.zip
done
KAVRO_ARCADE_SYSTEMS="nes" event /roms/nes/nothing.zip nothing nes
argv_called --list /roms/nes/nothing.zip
luac5.4 -p "$recipes/lua-plugin/kavro_button.lua" || fail "the plugin does not compile"
plugin() { lua5.4 "$recipes/lua-plugin/kavro_button.lua" "$@"; }
plugin visible mk "" arcade || fail "no button for mk"
plugin visible sf2j sf2 arcade || fail "no button for a clone whose parent has a move list"
! plugin visible nothing "" arcade || fail "a button for a game without documents"
KAVRO_TEST_EXTRA="--render $work/plugin.png" plugin show sf2j sf2 arcade || fail "show sf2j"
called "sf2 command"

# The launcher entries, their fields filled as the frontend fills them (the program replaced by
# the one under test; --render ends each run after its first picture).
: >"$work/calls.log"
grep '^arguments=' "$recipes/launcher/kavro.launcher" | while IFS= read -r line; do
    arguments=${line#arguments=}
    arguments=${arguments//%ITEM_NAME%/sf2}
    eval "KAVRO_TEST_EXTRA=\"--render $work/launcher.png\" \"\$KAVRO\" $arguments" ||
        fail "the launcher entry \"$line\" ended with $?"
done
called "--any-key sf2 command"
called "--any-key sf2 history"
called "--seconds 8 --any-key sf2 command"

start_x 1024x768
# The game: a window that has the focus.
xmessage -geometry 300x100+100+100 "the game" &
game_pid=$!
game=$(xdo search --sync --onlyvisible --class Xmessage | head -1)
xdo windowfocus --sync "$game"
focus_is_game() { [ "$(xdotool getwindowfocus)" = "$game" ] || fail "the game lost the focus: $1"; }

# Before the game: the move list for a second, then the game starts; a game without one starts
# at once. The event scripts get the escaped ROM path, the game name and the system name.
: >"$work/calls.log"
took=$(KAVRO_SECONDS=1 seconds_taken "$recipes/event-scripts/game-start-movelist.sh" \
    '/roms/My\ Games/mk.zip' mk arcade)
[ "$took" -ge 1 ] && [ "$took" -le 6 ] || fail "the move list showed for $took s, not about 1"
called "--seconds 1 --any-key /roms/My Games/mk.zip command"
took=$(KAVRO_SECONDS=1 seconds_taken "$recipes/event-scripts/game-start-movelist.sh" \
    '/roms/arcade/nothing.zip' nothing arcade)
[ "$took" -le 1 ] || fail "a game without a move list waited $took s"
not_called "--seconds 1 --any-key /roms/arcade/nothing.zip"
argv_called --seconds 1 --any-key "/roms/My Games/mk.zip" command
: >"$work/argv.log"
KAVRO_SECONDS=1 event '/roms/nes/Super\ Mario.zip' "Super Mario" nes
argv_called --list --system nes "/roms/nes/Super Mario.zip"
not_called "--seconds 1 --any-key --system nes /roms/nes/Super Mario.zip"
KAVRO_SECONDS=1 event /roms/nes/smb.zip "Super Mario Bros." nes
argv_called --seconds 1 --any-key --system nes /roms/nes/smb.zip command
took=$(KAVRO_SECONDS=1 seconds_taken "$recipes/game-path/game-start.sh" /roms/arcade/sf2.zip)
called "--seconds 1 --any-key /roms/arcade/sf2.zip command"
ini_unchanged "after the countdowns"
# A viewer that is not passive takes the focus; the frontend gives it back to the game.
xdo windowfocus --sync "$game"

# --any-key: a key on the viewer's window ends it with 0 at once, long before its 30 seconds.
rm -f "$work/state.json"
"$kavro" --home "$home" --any-key --seconds 30 --dump "$work/state.json" mk command \
    2>"$work/kavro.err" &
kavro_pid=$!
window=$(xdo search --sync --onlyvisible --name "Moonlight" | head -1)
# The launch key filter looks at the keyboard after the first frame, which follows the load: on
# a busy machine that can be long after the window shows.
state "s['CurrentSection'] == 1"
sleep 0.3
xdotool key --window "$window" x 2>/dev/null || true
status=0; wait "$kavro_pid" || status=$?; kavro_pid=""
[ "$status" -eq 0 ] || fail "--any-key ended with $status: $(cat "$work/kavro.err")"
ini_unchanged "after --any-key"
xdo windowfocus --sync "$game"

# Beside the game: the event scripts put the viewer on the chosen screen, passive, turning its
# sections every second; the game keeps the focus and the keys; the end script stops it.
: >"$work/calls.log"
export KAVRO_PIDFILE=$work/viewer.pid KAVRO_CYCLE=1 KAVRO_DISPLAY=0
export KAVRO_TEST_EXTRA="--dump $work/state.json"
took=$(seconds_taken "$recipes/event-scripts/game-start-screen2.sh" '/roms/My\ Games/mk.zip' mk arcade)
[ "$took" -le 2 ] || fail "the game-start script kept the game waiting $took s"
viewer_pid=$(cat "$KAVRO_PIDFILE")
trap 'kill "$viewer_pid" 2>/dev/null || true; cleanup' EXIT
window=$(xdo search --sync --onlyvisible --name "Moonlight" | head -1)
geometry=$(xdo getwindowgeometry "$window")
echo "$geometry" | grep -q "Position: 0,0" || fail "not at the display's corner: $geometry"
echo "$geometry" | grep -q "Geometry: 1024x768" || fail "not the display's size: $geometry"
called "--display 0 --passive --cycle 1 /roms/My Games/mk.zip command"
# Without a window manager SDL gives every window it maps the focus itself (there would be no
# FocusIn otherwise); the viewer asks for none. The game takes it back once, as a window manager
# would have left it there; from then on the viewer must not take it, while its sections turn.
xdo windowfocus --sync "$game"
state "s['CurrentSection'] == 2"
state "s['CurrentSection'] == 1"  # after the last, the first again
focus_is_game "with the viewer beside the game"
# Keys go to the game; even one sent to the viewer's own window does nothing there.
xdo key Escape
xdotool key --window "$window" Escape 2>/dev/null || true
sleep 0.3
kill -0 "$viewer_pid" 2>/dev/null || fail "a key ended the passive viewer"
focus_is_game "after the keys"
unset KAVRO_TEST_EXTRA
"$recipes/event-scripts/game-end.sh" '/roms/My\ Games/mk.zip' mk arcade
for _ in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.05; done
! kill -0 "$viewer_pid" 2>/dev/null || fail "the game-end script left the viewer running"
[ ! -e "$KAVRO_PIDFILE" ] || fail "the game-end script left its pid file"
ini_unchanged "after the viewer beside the game"
# Beside a game of a home system: --system from the frontend's system.
: >"$work/argv.log"
"$recipes/event-scripts/game-start-screen2.sh" /roms/nes/smb.zip "Super Mario Bros." nes
viewer_pid=$(cat "$KAVRO_PIDFILE")
xdo search --sync --onlyvisible --pid "$viewer_pid" >/dev/null
argv_called --display 0 --passive --cycle 1 --system nes /roms/nes/smb.zip command
"$recipes/event-scripts/game-end.sh" /roms/nes/smb.zip "Super Mario Bros." nes
for _ in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.05; done
! kill -0 "$viewer_pid" 2>/dev/null || fail "the game-end script left the nes viewer running"

# SIGTERM and SIGINT end the viewer with 0 at once, with its window and right at the start.
for signal in TERM INT; do
    "$kavro" --home "$home" --passive --display 0 mk command 2>"$work/kavro.err" &
    kavro_pid=$!
    xdo search --sync --onlyvisible --name "Moonlight" >/dev/null
    kill -"$signal" "$kavro_pid"
    status=0; wait "$kavro_pid" || status=$?; kavro_pid=""
    [ "$status" -eq 0 ] || fail "SIG$signal with a window ended with $status: $(cat "$work/kavro.err")"
    "$kavro" --home "$home" mk command 2>"$work/kavro.err" &
    kavro_pid=$!
    # As soon as the program takes the signals (SigCgt: SIGINT and SIGTERM caught).
    for _ in $(seq 200); do
        mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$kavro_pid/status" 2>/dev/null || true)
        [ -n "$mask" ] && (( (0x$mask & 0x4002) == 0x4002 )) && break
        sleep 0.005
    done
    kill -"$signal" "$kavro_pid"
    status=0; wait "$kavro_pid" || status=$?; kavro_pid=""
    [ "$status" -eq 0 ] || fail "SIG$signal at the start ended with $status"
done
ini_unchanged "after the signals"
status=0; "$kavro" --home "$home" --display 1 mk command 2>"$work/kavro.err" || status=$?
[ "$status" -eq 4 ] && grep -q "no display 1" "$work/kavro.err" ||
    fail "a second screen that is not there: status $status, $(cat "$work/kavro.err")"

# Under a window manager, which decides the focus: the passive viewer asks for none and the game
# keeps it, while a viewer that is not passive gets it (so the manager does hand out the focus).
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || fail "the window manager did not start"
xdo windowactivate --sync "$game"
"$kavro" --home "$home" --passive mk command &
kavro_pid=$!
xdo search --sync --onlyvisible --pid "$kavro_pid" >/dev/null
sleep 0.5
focus_is_game "with a window manager and a passive viewer"
kill "$kavro_pid"; wait "$kavro_pid" || true
"$kavro" --home "$home" mk command &
kavro_pid=$!
viewer=$(xdo search --sync --onlyvisible --pid "$kavro_pid" | head -1)
for _ in $(seq 100); do [ "$(xdotool getwindowfocus)" = "$viewer" ] && break; sleep 0.05; done
[ "$(xdotool getwindowfocus)" = "$viewer" ] || fail "the window manager gave a viewer no focus"
kill "$kavro_pid"; wait "$kavro_pid" || true
kavro_pid=""
kill "$wm_pid"; wait "$wm_pid" 2>/dev/null || true
ini_unchanged "after the viewers under a window manager"
kill "$game_pid" 2>/dev/null || true

# start_two_screens: Xorg with the dummy driver on a free display, two 1024x768 screens side by
# side. Started as the program itself (the wrapper lets only a console user start it); it takes
# a configuration file given relatively, from the folder it starts in, from any user.
start_two_screens() {
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    cat >"$work/two-screens.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2048 768
        Modes "1024x768"
    EndSubSection
EndSection
CONF
    rm -f "$work/display"
    (cd "$work" && exec /usr/lib/xorg/Xorg -displayfd 3 -config two-screens.conf -noreset \
        -nolisten tcp -logfile "$work/Xorg.log" -novtswitch -sharevts 3>"$work/display" \
        >/dev/null 2>&1) &
    xvfb_pid=$!
    for _ in $(seq 200); do
        [ -s "$work/display" ] && DISPLAY=":$(head -1 "$work/display")" xdpyinfo >/dev/null 2>&1 &&
            break
        sleep 0.05
    done
    export DISPLAY=":$(head -1 "$work/display" 2>/dev/null)"
    xdpyinfo >/dev/null 2>&1 || fail "Xorg did not start: $(tail -5 "$work/Xorg.log" 2>/dev/null)"
    xrandr --addmode DUMMY1 1024x768 &&
        xrandr --output DUMMY1 --mode 1024x768 --right-of DUMMY0 ||
        fail "no second screen: $(xrandr 2>&1 | head -5)"
    xrandr --listmonitors | grep -q "^Monitors: 2" || fail "not two screens: $(xrandr --listmonitors)"
}
start_two_screens
xmessage -geometry 300x100+100+100 "the game" &
game_pid=$!
game=$(xdo search --sync --onlyvisible --class Xmessage | head -1)
xdo windowfocus --sync "$game"
# on_screen POSITION COMMAND...: the viewer the command starts shows at POSITION, 1024x768.
on_screen() {
    local position=$1 geometry
    shift
    "$@" &
    kavro_pid=$!
    window=""
    for _ in $(seq 200); do
        kill -0 "$kavro_pid" 2>/dev/null || fail "$* ended without a window"
        window=$(xdotool search --onlyvisible --pid "$kavro_pid" 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.05
    done
    [ -n "$window" ] || fail "$* showed no window"
    geometry=$(xdo getwindowgeometry "$window")
    echo "$geometry" | grep -q "Position: $position " || fail "$* is not at $position: $geometry"
    echo "$geometry" | grep -q "Geometry: 1024x768" || fail "$* is not one screen's size: $geometry"
    kill "$kavro_pid"
    wait "$kavro_pid" || fail "$* ended with $? on SIGTERM"
    kavro_pid=""
}
on_screen 1024,0 "$kavro" --home "$home" --passive --display 1 mk command
on_screen 0,0 "$kavro" --home "$home" --passive --display 0 mk command
# Display= of the settings file, without --display.
mkdir -p "$work/home1"
printf '[Settings]\r\nDisplay=1\r\n' >"$work/home1/kavro.ini"
ln -s "$source_dir/metadata" "$work/home1/metadata"
on_screen 1024,0 "$kavro" --home "$work/home1" --passive mk command
# The event scripts' default: beside the game, on the second screen; the game keeps the focus.
unset KAVRO_DISPLAY
"$recipes/event-scripts/game-start-screen2.sh" '/roms/My\ Games/mk.zip' mk arcade
viewer_pid=$(cat "$KAVRO_PIDFILE")
window=$(xdo search --sync --onlyvisible --pid "$viewer_pid" | head -1)
geometry=$(xdo getwindowgeometry "$window")
echo "$geometry" | grep -q "Position: 1024,0 " || fail "the event script's viewer: $geometry"
xdo windowfocus --sync "$game"
sleep 1.5
focus_is_game "with the viewer on the second screen"
"$recipes/event-scripts/game-end.sh" '/roms/My\ Games/mk.zip' mk arcade
for _ in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.05; done
! kill -0 "$viewer_pid" 2>/dev/null || fail "the game-end script left the viewer running"
status=0; "$kavro" --home "$home" --display 2 mk command 2>"$work/kavro.err" || status=$?
[ "$status" -eq 4 ] && grep -q "no display 2" "$work/kavro.err" ||
    fail "a third screen that is not there: status $status, $(cat "$work/kavro.err")"
kill "$game_pid" 2>/dev/null || true
ini_unchanged "after the second screen"
echo "frontends end-to-end: all checks passed"
