#!/usr/bin/env bash
# Game-start event: shows the game's move list for a few seconds before the game starts (any
# key or button starts the game at once). The frontend waits for this script.
# Arguments, as the frontend passes them: $1 the ROM path, escaped; $2 the game name;
# $3 the system name (a software list, or one of the frontend's names for arcade games).
set -u
kavro=${KAVRO:-kavro}
seconds=${KAVRO_SECONDS:-8}
document=${KAVRO_DOCUMENT:-command}

# The frontend escapes the path for a shell: surrounding quotes and backslashes come off.
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

# Nothing to show: the game starts at once.
"$kavro" --list "${item[@]}" "$rom" 2>/dev/null | cut -f1 | grep -qx -- "$document" || exit 0
"$kavro" --seconds "$seconds" --any-key "${item[@]}" "$rom" "$document"
# The viewer's status is no reason to keep the game from starting.
exit 0
