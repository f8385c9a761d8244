#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest. Wine's helper processes inherit and keep
# open whatever output they are given, so the program writes to files and this script copies
# them out once it has ended; a pipe from ctest would otherwise stay open.
set -u
: "${WINEPREFIX:=${KPV_WINEPREFIX:-$HOME/.cache/kopiavakt/wine}}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}

# ctest starts several programs at once: the first one makes the prefix while the others wait,
# since Wine programs that start together on a missing prefix race for its server socket.
ready=$WINEPREFIX/.kopiavakt-ready
if [ ! -e "$ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        # shellcheck source=scripts/wine-session.sh
        . "$(dirname "$0")/wine-session.sh"
        [ -e "$ready" ] || { make_template_prefix "$WINEPREFIX" "$WINEPREFIX.log" && touch "$ready"; }
    ) 9>"$WINEPREFIX.lock"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
wine "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
rc=$?
cat "$tmp/out"
grep -v -e '^[0-9a-f]*:err:' -e '^[0-9a-f]*:fixme:' "$tmp/err" >&2
exit $rc
