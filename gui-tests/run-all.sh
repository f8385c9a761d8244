#!/usr/bin/env bash
# Runs the GUI cases (gui-tests/cases/*.sh, or those named or given by path) against the real client under
# Xvfb and Wine. One template Wine prefix is made per run; each case gets a fresh copy of it,
# its own network namespace (its own port 55502) and a bounded time. Prints one line per case
# and finally "N passed, M failed"; exits 1 when any case failed.
#
# Environment: KPV_CLIENT_EXE, KPV_AUTO_EXE (Windows programs), KPV_SERVER, KPV_KEYTOOL (Linux
# tools), KPV_GUI_OUT (folder for prefixes and logs; default build/gui-tests),
# KPV_GUI_CASE_SECONDS (time limit of one case, default 120).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

for var in KPV_CLIENT_EXE KPV_AUTO_EXE KPV_SERVER KPV_KEYTOOL; do
    if [ -z "${!var:-}" ] || [ ! -f "${!var}" ]; then
        echo "run-all: $var must name an existing program" >&2
        exit 2
    fi
    export "$var=$(realpath "${!var}")"
done
out=$(realpath -m "${KPV_GUI_OUT:-$root/build/gui-tests}")
case_seconds=${KPV_GUI_CASE_SECONDS:-120}

if [ $# -gt 0 ]; then
    cases=()
    for name in "$@"; do
        if [ -f "$name" ]; then
            cases+=("$(realpath "$name")")
        else
            cases+=("$here/cases/${name%.sh}.sh")
        fi
    done
else
    cases=("$here"/cases/*.sh)
fi

rm -rf "$out"
mkdir -p "$out"
. "$root/scripts/wine-session.sh"

# A POSIX rule: Wine's C runtime, its Win32 time calls and Linux all read it alike.
export TZ='CET-1CEST,M3.5.0,M10.5.0/3'
export LANG=C.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE

# A non-Swedish locale for the case that checks texts under another ANSI code page, built
# into a folder of its own so the system's locales stay as they are.
mkdir -p "$out/locale"
if localedef -i ru_RU -f UTF-8 "$out/locale/ru_RU.UTF-8" >"$out/localedef.log" 2>&1; then
    export KPV_RU_LOCPATH=$out/locale
fi

begin_case_session "$out" run-all
for script in "${cases[@]}"; do
    name=$(basename "$script" .sh)
    run_case "$name" "$out/$name" "$case_seconds" bash "$script"
done
report_cases
