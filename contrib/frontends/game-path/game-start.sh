#!/usr/bin/env bash
# Game-start script: shows the game's move list for a few seconds before the game starts (any
# key or button starts it at once). The frontend passes one argument, the game's absolute path,
# and waits for the script.
set -u
kavro=${KAVRO:-kavro}
seconds=${KAVRO_SECONDS:-8}
document=${KAVRO_DOCUMENT:-command}
game=${1:?usage: game-start.sh /absolute/path/of/the/game.zip}

# The viewer takes the path as it is: /roms/mame/sf2.zip is the item sf2.
"$kavro" --list "$game" 2>/dev/null | cut -f1 | grep -qx -- "$document" || exit 0
"$kavro" --seconds "$seconds" --any-key "$game" "$document"
exit 0
