#!/usr/bin/env bash
# Both install layouts, moved after installing and run from an unrelated folder, in a clean
# environment without a display: the program finds its data relative to itself, keeps the
# user's settings and documents in the XDG folders, and prints nothing it does not mean to.
# Usage: install.sh KAVRO SOURCE_DIR (the build folder is the one holding KAVRO).
set -euo pipefail
kavro=$1
build=$(dirname "$kavro")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/elsewhere" "$work/home" "$work/tmp"
# Runs an installed program in a clean environment, from an unrelated working directory;
# its standard output and error go to $work/out and $work/err.
run() {
    (cd "$work/elsewhere" &&
        env -i PATH=/usr/bin:/bin HOME="$work/home" TMPDIR="$work/tmp" \
            ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
            UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$@" >"$work/out" 2>"$work/err")
}
expect_quiet() {  # expect_quiet WHAT: nothing on standard error
    [ ! -s "$work/err" ] || fail "$1 printed on stderr: $(cat "$work/err")"
}

# --- The layout distributions expect, staged in a DESTDIR and then moved.
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log" ||
    fail "install with --prefix /usr: $(cat "$work/install.log")"
for f in bin/kavro share/kavro/metadata/mk/command.xml share/kavro/metadata/default/icons/lp.gif \
    share/man/man1/kavro.1 share/doc/kavro/README.md share/doc/kavro/LICENSE; do
    [ -f "$work/stage/usr/$f" ] || fail "the /usr layout lacks $f"
done
[ ! -e "$work/stage/usr/kavro" ] && [ ! -e "$work/stage/usr/metadata" ] ||
    fail "the /usr layout has portable files"
mkdir -p "$work/moved"
mv "$work/stage/usr" "$work/moved/tree"
tree="$work/moved/tree"

run "$tree/bin/kavro" --render "$work/out.png" mk command || fail "moved /usr tree: status $?"
[ -s "$work/out.png" ] || fail "moved /usr tree: no picture"
expect_quiet "the moved /usr tree"

# Settings: nothing beside the program, so they go to $XDG_CONFIG_HOME (here, below HOME).
run "$tree/bin/kavro" --render "$work/out.png" --keys Ctrl,Esc mk command ||
    fail "exit key: status $?"
grep -q "^Zoomed=True" "$work/home/.config/kavro/kavro.ini" ||
    fail "the settings were not saved in ~/.config/kavro/kavro.ini"
[ ! -e "$tree/bin/kavro.ini" ] || fail "a kavro.ini was written beside the installed program"
# ...and are read back from there.
run "$tree/bin/kavro" --render "$work/out.png" --dump - mk command || fail "reread: status $?"
grep -q '"Zoomed": *true' "$work/out" || fail "the saved settings were not read back"

# The user's own documents come before the installed ones.
mkdir -p "$work/home/.local/share/kavro/metadata/mine" "$work/home/.local/share/kavro/metadata/mk"
printf '<document><section>\nmy own\n</section></document>' \
    >"$work/home/.local/share/kavro/metadata/mine/notes.xml"
run "$tree/bin/kavro" --render "$work/out.png" mine notes || fail "user document: status $?"
expect_quiet "a user document"

# --- The portable folder, copied elsewhere as a cabinet would.
cmake --install "$build" --prefix "$work/opt/kavro" >"$work/install.log" ||
    fail "install with --prefix .../kavro: $(cat "$work/install.log")"
for f in kavro kavro-viewer.so metadata/mk/command.xml doc/README.md doc/LICENSE doc/kavro.1; do
    [ -f "$work/opt/kavro/$f" ] || fail "the portable layout lacks $f"
done
[ ! -e "$work/opt/kavro/bin" ] && [ ! -e "$work/opt/kavro/share" ] ||
    fail "the portable layout has /usr files"
mv "$work/opt/kavro" "$work/cabinet"
: >"$work/cabinet/kavro.ini"  # a kavro.ini beside the program wins
run "$work/cabinet/kavro" --render "$work/out.png" --keys Alt,Esc mk command ||
    fail "portable folder: status $?"
grep -q "^NoImages=True" "$work/cabinet/kavro.ini" || fail "the portable kavro.ini was not used"
grep -q "^NoImages=True" "$work/home/.config/kavro/kavro.ini" &&
    fail "the user's kavro.ini was written although one lies beside the program"

# --- No display at all: the screen goes to a picture, and only that is said.
run "$work/cabinet/kavro" mk command || fail "headless run: status $?"
expect_quiet "a headless run"
grep -qxE "No display available: the screen was rendered to $work/tmp/kavro-screen-[A-Za-z0-9]{6}\.png" \
    "$work/out" || fail "headless run said: $(cat "$work/out")"
echo "install layouts: ok"
