#!/usr/bin/env bash
# Game-end event: ends the viewer that game-start-screen2.sh left on the second screen. The
# viewer ends at once on SIGTERM, with status 0, and saves nothing.
# Arguments, as the frontend passes them: $1 the ROM path, escaped; $2 the game name;
# $3 the system name (not needed here).
set -u
pidfile=${KAVRO_PIDFILE:-${XDG_RUNTIME_DIR:-/tmp}/kavro-beside-game.pid}
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
rm -f "$pidfile"
# Only that viewer: a number the system has given to another process since is left alone.
case "$pid" in '' | *[!0-9]*) exit 0 ;; esac
[ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "kavro" ] && kill -TERM "$pid"
exit 0
