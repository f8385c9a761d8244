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

# make_template_prefix PREFIX LOG: a fresh prefix for copying (cp -a) into each case.
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
