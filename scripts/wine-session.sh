# Shared steps of the scripts that run Windows programs under Xvfb and Wine (the GUI tests, the
# installer tests and the run command). Source it; each function reports failure by its status.

# The environment of every Wine run of the project.
wine_session_environment() {
    # Wine links the prefix's user folders to the home folder, which CI may not name.
    export HOME=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
    export WINEDEBUG=-all
    # No Mono or Gecko (they would be offered for download), no desktop menu entries.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# run_wine_program OUT ERR PROGRAM ARGS...: runs a Windows program to its end (at most 120 s)
# with its output in the files OUT and ERR; returns its exit code. Now and then Wine fails to
# start a program at all (a non-zero code within milliseconds and not a byte of output, where
# the project's tools always say why they fail); such a start is tried once more.
run_wine_program() {
    local out=$1 err=$2 rc
    shift 2
    timeout 120 wine "$@" >"$out" 2>"$err" </dev/null
    rc=$?
    if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
        echo "note: Wine did not start $1 (exit code $rc, no output); starting it again" >&2
        sleep 0.5
        timeout 120 wine "$@" >"$out" 2>"$err" </dev/null
        rc=$?
    fi
    return "$rc"
}

# start_xvfb FOLDER SIZE: Xvfb on a free display, which it tells through a descriptor; exports
# DISPLAY and sets xvfb_pid. Its files go to FOLDER.
xvfb_pid=
start_xvfb() {
    local folder=$1 size=$2
    exec 3>"$folder/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp >"$folder/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$folder/display" ] && break
        sleep 0.1
    done
    [ -s "$folder/display" ] || return 1
    export DISPLAY=":$(head -n1 "$folder/display")"
}

stop_xvfb() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    return 0
}

# make_template_prefix PREFIX LOG: a fresh prefix, ready to run programs in or to copy (cp -a).
make_template_prefix() {
    local prefix=$1 log=$2
    WINEPREFIX=$prefix timeout 180 wineboot -i >"$log" 2>&1 </dev/null &&
        WINEPREFIX=$prefix timeout 60 wineserver -w || return 1
    # Without a window manager Wine waits two seconds for one to withdraw every window it
    # hides; windows that Wine manages itself skip that wait (and get their title bars drawn).
    WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$log" 2>&1 </dev/null
    WINEPREFIX=$prefix timeout 60 wineserver -w
}

# end_prefixes PREFIX...: stops the Wine servers of these prefixes and removes them.
end_prefixes() {
    local prefix
    for prefix in "$@"; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
    done
    for prefix in "$@"; do rm -rf "$prefix"; done
    return 0
}

# The command that runs a case in a network namespace of its own (its own port 55502), in
# the array `isolate`; empty where the system does not allow it.
isolate=()
choose_isolation() {
    isolate=(unshare --net)
    if ! unshare --net true 2>/dev/null; then
        isolate=()
        echo "note: no network namespaces here; cases share the machine's ports"
    fi
}

# --- cases in fresh prefixes --------------------------------------------------------------------
# The GUI and installer tests run each case as a command of its own in a fresh copy of one
# template prefix. Every prefix made here ends when the script exits.

session_prefixes=()
end_case_session() {
    end_prefixes "${session_prefixes[@]}"
    stop_xvfb
}

# begin_case_session FOLDER TOOL: Xvfb, the template prefix FOLDER/template-prefix (in
# `template`) and the network isolation. TOOL names the caller in messages; exits 2 when Xvfb
# or Wine cannot start.
begin_case_session() {
    local folder=$1 tool=$2 started
    trap end_case_session EXIT
    trap 'exit 130' INT TERM
    wine_session_environment
    start_xvfb "$folder" 1280x1024 || { echo "$tool: Xvfb did not start" >&2; exit 2; }
    template=$folder/template-prefix
    session_prefixes+=("$template")
    started=$(date +%s)
    if ! make_template_prefix "$template" "$folder/wineboot.log"; then
        echo "$tool: the template Wine prefix could not be made (see $folder/wineboot.log)" >&2
        exit 2
    fi
    echo "template prefix ready in $(($(date +%s) - started))s"
    choose_isolation
}

# run_case NAME FOLDER SECONDS COMMAND...: runs COMMAND in a fresh copy of the template, in a
# network namespace of its own, for at most SECONDS, with its output and logs in FOLDER (which
# it finds in KPV_CASE_DIR). Prints "PASS NAME (time)" or "FAIL NAME ..." and counts the case
# in `passed` or `failed`. A failed case leaves a picture of the screen in FOLDER/screen.png.
passed=0
failed=0
run_case() {
    local name=$1 folder=$2 seconds=$3 prefix=$2/prefix begin rc tenths took reason
    shift 3
    mkdir -p "$folder"
    session_prefixes+=("$prefix")
    cp -a "$template" "$prefix"
    begin=$(date +%s%N)
    KPV_CASE_DIR=$folder WINEPREFIX=$prefix timeout -k 10 "$seconds" "${isolate[@]}" "$@" \
        >"$folder/stdout" 2>"$folder/stderr" </dev/null
    rc=$?
    tenths=$((($(date +%s%N) - begin) / 100000000))
    took="$((tenths / 10)).$((tenths % 10))s"
    [ "$rc" -eq 0 ] || import -display "$DISPLAY" -window root "$folder/screen.png" 2>/dev/null
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    WINEPREFIX=$prefix timeout 20 wineserver -w 2>/dev/null
    # Keep the client's working folder for a look afterwards; the prefix is large.
    cp -a "$prefix/drive_c/users/$(id -un)/AppData/Local/KPV_wd" "$folder/KPV_wd" 2>/dev/null
    rm -rf "$prefix"
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $name ($took)"
    else
        failed=$((failed + 1))
        reason=$(tail -n 3 "$folder/stderr" | tr '\n' ' ')
        [ "$rc" -eq 124 ] && reason="timed out after ${seconds}s; $reason"
        echo "FAIL $name ($took): $reason(log: $folder/case.log)"
    fi
}

# report_cases: the summary line; fails when any case failed.
report_cases() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
