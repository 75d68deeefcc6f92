#!/usr/bin/env bash
# Game-start event: keeps the game's move list on the second screen while the game runs,
# turning to the next section every 20 seconds. The viewer never takes the focus, the keys or
# the controllers from the game; game-end.sh ends it. Returns at once.
# Arguments, as the frontend passes them: $1 the ROM path, escaped; $2 the game name;
# $3 the system name (a software list, or one of the frontend's names for arcade games).
set -u
kavro=${KAVRO:-kavro}
display=${KAVRO_DISPLAY:-1}
cycle=${KAVRO_CYCLE:-20}
document=${KAVRO_DOCUMENT:-command}
pidfile=${KAVRO_PIDFILE:-${XDG_RUNTIME_DIR:-/tmp}/kavro-beside-game.pid}

rom=$1
rom=${rom#\"}
rom=${rom%\"}
rom=$(printf '%s' "$rom" | sed -e 's/\\\(.\)/\1/g')

# The frontend's system, as --system: a home system's items are entries of its software list
# and have folders below metadata/<system>/. Its names for plain arcade games are no list (an
# arcade game is metadata/<rom>/), nor is a name the viewer cannot take as one folder name.
arcade="arcade mame mame-advmame mame-libretro mame-mame4all hbmame fba fbneo neogeo cps1 cps2"
arcade=${KAVRO_ARCADE_SYSTEMS:-$arcade cps3 naomi naomi2 atomiswave model2 model3 daphne}
system=${3:-}
case " ${arcade,,} " in *" ${system,,} "*) system= ;; esac
case "$system" in . | .. | *[/\\\ :,]*) system= ;; esac
item=()
[ -n "$system" ] && item=(--system "$system")

"$kavro" --list "${item[@]}" "$rom" 2>/dev/null | cut -f1 | grep -qx -- "$document" || exit 0
# Its own session, its output nowhere: the frontend's wait for this script ends now.
setsid "$kavro" --display "$display" --passive --cycle "$cycle" "${item[@]}" "$rom" "$document" \
    </dev/null >/dev/null 2>&1 &
echo $! >"$pidfile"
exit 0
