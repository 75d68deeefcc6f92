#!/usr/bin/env bash
# Game-start event: shows the game's move list for a few seconds before the game starts (any
# key or button starts the game at once). The frontend waits for this script.
# Arguments, as the frontend passes them: $1 the ROM path, escaped; $2 the game name;
# $3 the system name.
set -u
kavro=${KAVRO:-kavro}
seconds=${KAVRO_SECONDS:-8}
document=${KAVRO_DOCUMENT:-command}

# The frontend escapes the path for a shell: surrounding quotes and backslashes come off.
rom=$1
rom=${rom#\"}
rom=${rom%\"}
rom=$(printf '%s' "$rom" | sed -e 's/\\\(.\)/\1/g')

# Nothing to show: the game starts at once.
"$kavro" --list "$rom" 2>/dev/null | cut -f1 | grep -qx -- "$document" || exit 0
"$kavro" --seconds "$seconds" --any-key "$rom" "$document"
# The viewer's status is no reason to keep the game from starting.
exit 0
