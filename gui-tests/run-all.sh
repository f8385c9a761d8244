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
prefixes=()
cleanup() {
    end_prefixes "${prefixes[@]}"
    stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_session_environment
# A POSIX rule: Wine's C runtime, its Win32 time calls and Linux all read it alike.
export TZ='CET-1CEST,M3.5.0,M10.5.0/3'
export LANG=C.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE

start_xvfb "$out" 1280x1024 || { echo "run-all: Xvfb did not start" >&2; exit 2; }

# A non-Swedish locale for the case that checks texts under another ANSI code page, built
# into a folder of its own so the system's locales stay as they are.
mkdir -p "$out/locale"
if localedef -i ru_RU -f UTF-8 "$out/locale/ru_RU.UTF-8" >"$out/localedef.log" 2>&1; then
    export KPV_RU_LOCPATH=$out/locale
fi

template=$out/template-prefix
prefixes+=("$template")
started=$(date +%s)
if ! make_template_prefix "$template" "$out/wineboot.log"; then
    echo "run-all: the template Wine prefix could not be made (see $out/wineboot.log)" >&2
    exit 2
fi
echo "template prefix ready in $(($(date +%s) - started))s"

choose_isolation

passed=0
failed=0
for script in "${cases[@]}"; do
    name=$(basename "$script" .sh)
    case_dir=$out/$name
    prefix=$case_dir/prefix
    mkdir -p "$case_dir"
    prefixes+=("$prefix")
    cp -a "$template" "$prefix"
    begin=$(date +%s%N)
    KPV_CASE_DIR=$case_dir WINEPREFIX=$prefix \
        timeout -k 10 "$case_seconds" "${isolate[@]}" bash "$script" \
        >"$case_dir/stdout" 2>"$case_dir/stderr" </dev/null
    rc=$?
    tenths=$((($(date +%s%N) - begin) / 100000000))
    seconds=$((tenths / 10)).$((tenths % 10))
    if [ "$rc" -ne 0 ]; then
        # A picture of the screen tells much about a case that went wrong.
        import -display "$DISPLAY" -window root "$case_dir/screen.png" 2>/dev/null
    fi
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    WINEPREFIX=$prefix timeout 20 wineserver -w 2>/dev/null
    # Keep the client's working folder for a look afterwards; the prefix is large.
    cp -a "$prefix/drive_c/users/$(id -un)/AppData/Local/KPV_wd" "$case_dir/KPV_wd" 2>/dev/null
    rm -rf "$prefix"
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $name (${seconds}s)"
    else
        failed=$((failed + 1))
        reason=$(tail -n 3 "$case_dir/stderr" | tr '\n' ' ')
        [ "$rc" -eq 124 ] && reason="timed out after ${case_seconds}s; $reason"
        echo "FAIL $name (${seconds}s): $reason(log: $case_dir/case.log)"
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
