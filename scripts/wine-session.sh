# shellcheck shell=bash
# Shared steps of the two scripts that run Windows programs by hand or for ctest (run.sh and
# wine-run.sh): Wine's environment, Xvfb and a ready prefix. Source it; each function reports
# failure by its status. The GUI and installer tests have the same steps in
# gui-tests/wine_harness.py.

# The environment of every Wine run of the project.
wine_session_environment() {
    # Wine links the prefix's user folders to the home folder, which CI may not name.
    HOME=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
    export HOME WINEDEBUG=-all
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
    DISPLAY=":$(head -n1 "$folder/display")"
    export DISPLAY
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
