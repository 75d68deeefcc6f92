#!/usr/bin/env bash
# A hostile but realistic user: broken environments, endless or piped input, outputs that
# cannot be written, a person's documents beside imported ones, a data file rewritten under its
# index, settings that cannot be read or written, and command lines that cannot work. Each case
# asserts the status and what stayed on disk. Permission cases run as an unprivileged user (root
# ignores permissions): through setpriv when the suite runs as root.
# Usage: robustness.sh KAVRO SOURCE_DIR
set -uo pipefail
kavro=$(realpath "$1")
source_dir=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The unprivileged user, when the suite runs as root.
as_user=()
if [ "$(id -u)" = 0 ]; then
    if setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    else
        echo "SKIP (permission cases): running as root and setpriv cannot drop to uid 65534" >&2
    fi
fi
[ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ] && can_drop=1 || can_drop=0
# The user runs a copy of the program and its viewer module in the work folder: the build folder
# may lie where only root can reach it (a clone in a private temporary folder).
user_kavro=$kavro
if [ ${#as_user[@]} -gt 0 ]; then
    mkdir -p "$work/program"
    cp "$kavro" "$(dirname "$kavro")/kavro-viewer.so" "$work/program/"
    user_kavro=$work/program/kavro
fi

mkdir -p "$work/home" "$work/run" "$work/app/metadata/mk" "$work/app/metadata/default/icons"
chmod 777 "$work/home" "$work/run"
cp "$source_dir/metadata/mk/command.xml" "$work/app/metadata/mk/"
cp "$source_dir/metadata/default/icons/"*.gif "$work/app/metadata/default/icons/" 2>/dev/null
app="$work/app"

# run [user] ARGS...: the program in a clean environment without a display; the status in
# $status, standard output and error in $work/out and $work/err. ENV_EXTRA adds variables.
run() {
    local prefix=() program=$kavro
    if [ "$1" = user ]; then
        prefix=("${as_user[@]}")
        program=$user_kavro
        shift
    fi
    env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
        XDG_CACHE_HOME="$work/home/.cache" ${ENV_EXTRA:-} \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
        "${prefix[@]}" "$program" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
expect() {  # expect STATUS WHAT
    [ "$status" = "$1" ] || fail "$2: status $status, not $1 (stderr: $(head -c 400 "$work/err"))"
}
expect_err() {  # expect_err TEXT WHAT
    grep -qF -- "$1" "$work/err" || fail "$2: stderr lacks \"$1\": $(head -c 400 "$work/err")"
}
expect_out() {
    grep -qF -- "$1" "$work/out" || fail "$2: stdout lacks \"$1\": $(head -c 400 "$work/out")"
}

# --- Environment: no display and a temporary folder that is empty, missing or a file.
echo x >"$work/a-file"
for tmpdir in "" "$work/missing" "$work/a-file"; do
    ENV_EXTRA="TMPDIR=$tmpdir" run --home "$app" mk command
    expect 0 "TMPDIR=\"$tmpdir\""
    picture=$(sed -n 's/^No display available: the screen was rendered to //p' "$work/out")
    case "$picture" in "$work/run/kavro-screen-"*.png) ;; *) fail "TMPDIR=\"$tmpdir\": printed \"$picture\"" ;; esac
    [ -s "$picture" ] || fail "TMPDIR=\"$tmpdir\": no picture at $picture"
done
# A link planted under the old fixed name is never followed.
echo keep >"$work/victim"
ln -s "$work/victim" "$work/run/kavro-screen.png"
run --home "$app" mk command
expect 0 "planted link"
[ "$(cat "$work/victim")" = keep ] || fail "the planted link was followed"
# Nowhere to put the picture: a message and status 4, no abort.
ENV_EXTRA="XDG_RUNTIME_DIR=$work/a-file TMPDIR=$work/a-file" run --home "$app" mk command
[ "$status" = 0 ] || [ "$status" = 4 ] || fail "no usable temporary folder: status $status"

# --- Limits: endless input, and a pipe.
run --import /dev/zero --into "$work/zero"
expect 3 "--import /dev/zero"
expect_err "larger than 256 MiB" "--import /dev/zero"
[ ! -e "$work/zero" ] || fail "--import /dev/zero made its target"
printf '$info=piped\n$cmd\n[Piped]\n$end\n' >"$work/piped.dat"
run --import <(cat "$work/piped.dat") --into "$work/from-pipe"
expect 0 "--import from a pipe"
ls "$work/from-pipe/piped/"*.xml >/dev/null 2>&1 || fail "--import from a pipe wrote nothing"

# --- Outputs: failures give a status and keep what was there.
printf '$info=one\n$cmd\n[One]\n$end\n$info=two\n$cmd\n[Two]\n$end\n' >"$work/command.dat"
chmod 644 "$work/command.dat"
run --import "$work/command.dat" --into "$work/a-file"
expect 5 "--import into a file"
[ "$(wc -l <"$work/err")" = 1 ] || fail "--import into a file: not one message: $(cat "$work/err")"
if [ "$can_drop" = 1 ]; then
    mkdir -p "$work/readonly"
    chmod 555 "$work/readonly"
    run user --import "$work/command.dat" --into "$work/readonly/docs"
    expect 5 "--import into a read-only folder"
    expect_err "the import stopped there" "--import into a read-only folder"
    # An installed program: its metadata/ cannot be written, the user's data folder is used.
    mkdir -p "$work/installed/bin" "$work/installed/share/kavro/metadata"
    chmod -R a+rX "$work/installed"
    run user --home "$work/installed/bin" --import "$work/command.dat"
    expect 0 "--import for an installed program"
    expect_out "into \"$work/home/.local/share/kavro/metadata\"" "--import for an installed program"
    [ -f "$work/home/.local/share/kavro/metadata/one/command.xml" ] ||
        fail "--import for an installed program did not write the user's data folder"

    # A failed --render or --dump keeps the previous file.
    mkdir -p "$work/outputs"
    echo old-picture >"$work/outputs/screen.png"
    echo old-dump >"$work/outputs/state.json"
    chmod 555 "$work/outputs"
    chmod 644 "$work/outputs/"*
    run user --home "$app" --render "$work/outputs/screen.png" mk command
    expect 4 "--render into a read-only folder"
    [ "$(cat "$work/outputs/screen.png")" = old-picture ] || fail "a failed --render lost the old picture"
    run user --home "$app" --render "$work/shot.png" --dump "$work/outputs/state.json" mk command
    expect 4 "--dump into a read-only folder"
    [ "$(cat "$work/outputs/state.json")" = old-dump ] || fail "a failed --dump lost the old dump"
fi
for target in "$work/no/such/folder/state.json" /dev/full; do
    run --home "$app" --render "$work/shot.png" --dump "$target" mk command
    expect 4 "--dump $target"
done
"$kavro" --home "$app" --render "$work/shot.png" --dump - mk command >&- 2>"$work/err"
status=$?
expect 4 "--dump - with standard output closed"
cd "$work"
run --home "$app" --render - mk command
cd - >/dev/null
expect 0 "--render -"
[ "$(head -c 4 "$work/out" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "--render - wrote no PNG to stdout"
[ ! -e "$work/-" ] || fail "--render - wrote a file named -"

# --- A person's document, whatever the letter case of its name.
mkdir -p "$work/docs/one"
echo '<document><section>mine</section></document>' >"$work/docs/one/Command.xml"
mkdir -p "$work/docs/two/command.xml"
run --import "$work/command.dat" --into "$work/docs"
expect 0 "--import beside a person's document"
expect_out "0 documents written, 1 skipped, 1 problems" "--import beside a person's document"
expect_out "is in the way" "a folder in the way"
[ ! -e "$work/docs/one/command.xml" ] || fail "the import wrote command.xml beside Command.xml"
run --import "$work/command.dat" --into "$work/docs" --force
expect_out "1 documents written, 0 skipped, 1 problems" "--force beside a person's document"
[ "$(ls "$work/docs/one")" = Command.xml ] || fail "--force: $(ls "$work/docs/one")"
grep -q "Converted by kavro" "$work/docs/one/Command.xml" || fail "--force did not replace Command.xml"

# --- A data file rewritten with its size and its old time keeps no stale index.
data="$work/app/metadata/s.dat"
alpha='$info=alpha\n$cmd\n[Alpha]\n$end\n'
beta='$info=beta\n$cmd\n[Beta page]\n$end\n'
gamma='$info=gamma\n$cmd\n[Gamma pg]\n$end\n'
printf "$alpha$beta$gamma" >"$data"
touch -d '2020-01-01 00:00:00' "$data"
run --home "$app" --render "$work/s.png" --dump - beta s
grep -q '"Beta page"' "$work/out" || fail "beta s before the rewrite: $(head -c 300 "$work/out")"
size=$(stat -c %s "$data")
printf "$alpha$gamma$beta" >"$data"
touch -d '2020-01-01 00:00:00' "$data"
[ "$(stat -c %s "$data")" = "$size" ] || fail "the rewritten data file changed its size"
run --home "$app" --render "$work/s.png" --dump - beta s
grep -q '"Beta page"' "$work/out" && ! grep -q 'Gamma' "$work/out" ||
    fail "beta s after the rewrite shows: $(grep -o '"Caption": *"[^"]*"' "$work/out" | head -3)"
# The data file's name in any letter case.
run --home "$app" --render "$work/s.png" --dump - beta S
expect 0 "beta S finds s.dat"

# --- Settings beside a read-only program, and files that cannot be read.
if [ "$can_drop" = 1 ]; then
    cp -r "$app" "$work/cabinet"
    printf '[Input]\nExit=Q\n' >"$work/cabinet/kavro.ini"
    chmod -R a+rX,a-w "$work/cabinet"
    run user --home "$work/cabinet" --render "$work/home/c.png" --keys Space,Q --dump - mk command
    expect 0 "Exit=Q in a read-only kavro.ini"
    grep -q "NoFormatting=True" "$work/home/.config/kavro/kavro.ini" 2>/dev/null ||
        fail "the flags were not saved to the user's settings file"
    run user --home "$work/cabinet" --render "$work/home/c.png" --dump - mk command
    grep -q '"NoFormatting": *true' "$work/out" || fail "the user's flags were not read back"
    chmod 000 "$work/home/.config/kavro/kavro.ini"
    run user --home "$work/cabinet" --render "$work/home/c.png" mk command
    expect 0 "an unreadable user settings file"
    expect_err "cannot be read" "an unreadable user settings file"
    chmod 644 "$work/home/.config/kavro/kavro.ini"
fi
for input in "ScrollUp=27" "Exit=Right"; do
    printf '[Input]\n%s\n' "$input" >"$app/kavro.ini"
    run --home "$app" --render "$work/k.png" mk command
    expect 0 "[Input] $input"
    expect_err "no key ends the viewer" "[Input] $input at start"
    run --home "$app" --check mk command
    expect 3 "[Input] $input with --check"
    expect_out "no key ends the viewer" "[Input] $input with --check"
done
rm "$app/kavro.ini"

# --- Command line.
ln -s "$kavro" "$work/kv"
env -i PATH=/usr/bin:/bin HOME="$work/home" "$work/kv" --home "$app" --check >"$work/out" 2>"$work/err"
status=$?
expect 1 "--check without words"
[ "$(grep -c "USAGE:" "$work/err")" = 1 ] || fail "the usage message is not shown once: $(cat "$work/err")"
expect_err "USAGE:  kv rom docname" "the usage message names the program as invoked"
! grep -q $'\r' "$work/err" || fail "the usage message has carriage returns"
run --home "$app" -x mk command
expect 1 "-x"
expect_err "unknown option -x" "-x"
while IFS='|' read -r words expected; do
    # shellcheck disable=SC2086
    run --home "$app" $words
    expect 1 "$words"
    expect_err "$expected" "$words"
done <<EOF
--check --dump - mk command|--check and --dump cannot be used together
--import $work/command.dat --render $work/y.png|--import and --render cannot be used together
--import $work/command.dat --import $work/command.dat|--import is given twice
EOF
# A program copied without its viewer module still lists and explains; showing says what is
# missing.
mkdir -p "$work/lone"
cp "$kavro" "$work/lone/kavro"
kavro_saved=$kavro
kavro="$work/lone/kavro"
run --home "$app" --list mk
expect 0 "--list without the viewer module"
expect_out $'command\txml:metadata/mk/command.xml' "--list without the viewer module"
run --home "$app" mk command
expect 4 "a window without the viewer module"
expect_err "kavro: cannot load the viewer: no kavro-viewer.so (looked for $work/lone/kavro-viewer.so" \
    "a window without the viewer module"
echo "not a library" >"$work/lone/kavro-viewer.so"
run --home "$app" mk command
expect 4 "a broken viewer module"
expect_err "kavro: cannot load the viewer: $work/lone/kavro-viewer.so: " "a broken viewer module"
kavro=$kavro_saved

echo "$failures failures"
[ "$failures" = 0 ]
