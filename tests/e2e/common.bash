# Shared by the end-to-end scripts (sourced, so not a test of its own): the tools, a scratch
# folder removed at the end with the processes started, an X server, and waiting on the
# viewer's state dump in $work/state.json.
for tool in Xvfb xdotool import convert python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup"; exit 1; }
done

# Under the sanitizers, the X server's graphics driver (loaded by the window's renderer) keeps
# allocations for the life of the process; the unit tests check our own code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
# The viewer must talk to the X server started here, whatever video driver the caller chose.
unset SDL_VIDEODRIVER

work=$(mktemp -d)
# Places where the reader left a document, and page caches, stay with this script's run.
export XDG_STATE_HOME="$work/xdg-state" XDG_CACHE_HOME="$work/xdg-cache"
xvfb_pid=""
kavro_pid=""
cleanup() {
    [ -n "$kavro_pid" ] && kill "$kavro_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# xdotool, tried again a few times when it cannot reach the X server: once in many runs on a
# loaded machine a call has found the server unreachable for a moment. Any other failure, or a
# server that stays unreachable, fails the test and names the call.
xdo() {
    local attempt
    for attempt in 1 2 3 4 5; do
        if xdotool "$@" 2>"$work/xdo.err"; then
            return 0
        fi
        grep -q "Can't open display" "$work/xdo.err" || break
        sleep 0.2
    done
    cat "$work/xdo.err" >&2
    fail "xdotool $* (attempt $attempt)"
}

start_x() {  # start_x WIDTHxHEIGHT: a fresh X server on a free display
    [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
    # The server picks a free display itself and writes its number: choosing one by looking for
    # lock files races with other X servers started at the same time.
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        if [ -s "$work/display" ]; then
            export DISPLAY=":$(head -1 "$work/display")"
            xdpyinfo >/dev/null 2>&1 && return 0
        fi
        sleep 0.05
    done
    fail "Xvfb did not start"
}

# What state prints when a condition is never met: a Python expression on s.
state_summary="s['CurrentSection']"

# state PYTHON_CONDITION: waits up to 10 s until the dump satisfies the condition on s.
state() {
    local condition=$1
    for _ in $(seq 200); do
        if [ -s "$work/state.json" ] &&
            python3 - "$work/state.json" "$condition" <<'PY' 2>/dev/null; then
import json, sys
s = json.load(open(sys.argv[1]))
sys.exit(0 if eval(sys.argv[2]) else 1)
PY
            return 0
        fi
        sleep 0.05
    done
    python3 -c "import json;s=json.load(open('$work/state.json'));print($state_summary)" >&2 || true
    fail "state never satisfied: $condition"
}
