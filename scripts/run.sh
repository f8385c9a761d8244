#!/usr/bin/env bash
# Tries Kopiavakt out: installs what is missing, builds the reference server, the key tool and
# the Windows client, starts the server with three demo accounts (one fresh, one ten days old,
# one whose status cannot be opened), puts the matching account list into the working folder
# of a Wine prefix of the project's own (build/run-prefix) and runs the client under Wine.
#
# With a display ($DISPLAY) the client's window opens there; quitting it ("Avsluta") stops
# the server too. Without one the client runs under Xvfb, a screenshot of its window is saved
# (build/screenshot.png, or the path in KPV_SCREENSHOT) and everything is stopped again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

build() { # preset folder targets...
    local preset=$1 folder=$2
    shift 2
    [ -f "$folder/build.ninja" ] || cmake --preset "$preset" -B "$folder" >/dev/null
    echo "run: building $* ($preset)"
    cmake --build "$folder" -j 2 --target "$@" >"$folder/run-build.log" 2>&1 || {
        tail -n 30 "$folder/run-build.log" >&2
        echo "run: building $* failed" >&2
        exit 1
    }
}
build native build/native kpv-server kpv-keytool
build windows build/windows kopiavakt kpv-auto

server=$root/build/native/tools/kpv-server
keytool=$root/build/native/tools/kpv-keytool
client=$root/build/windows/app/win32/kopiavakt.exe
auto=$root/build/windows/gui-tests/kpv-auto.exe
run=$root/build/run
screenshot=${KPV_SCREENSHOT:-$root/build/screenshot.png}
mkdir -p "$run"

# shellcheck source=scripts/wine-session.sh
. scripts/wine-session.sh
wine_session_environment
export WINEPREFIX=$root/build/run-prefix
# Wine's C runtime reads a zone name in TZ (Europe/Stockholm) as UTC; without TZ it follows
# the system's zone, as a POSIX rule in TZ would be followed too.
case "${TZ:-}" in */*) unset TZ ;; esac

server_pid=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

headless=
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    start_xvfb "$run" 1024x768 || { echo "run: Xvfb did not start" >&2; exit 1; }
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "run: making the Wine prefix $WINEPREFIX (once, about half a minute)"
    wineboot -i >"$run/wineboot.log" 2>&1
fi
# Debian's Wine does not find its own TrueType fonts (Tahoma for "MS Shell Dlg", Marlett for
# the title bar's buttons) unless they are in the prefix's font folder.
for font in /usr/share/wine/fonts/*.ttf; do
    if [ -e "$font" ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ]; then
        cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
done
# Under Xvfb no window manager draws title bars: Wine then draws them itself.
if [ -n "$headless" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
else
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

# Fresh demo accounts every run: the key material is new each time, so the list and the
# server's accounts file are made together.
accounts=$run/accounts.json
rm -f "$accounts"
"$keytool" account --id 1001 --accounts "$accounts" --name "Ekonomi (färsk)" --age 5400 \
    --files 48210 --total-size 7340032000 --exclude "lönelista.xlsx" --exclude "~\$rapport.docx" \
    --copies-made 412 --stored-copies 30 --disk-space 9663676416 >/dev/null
"$keytool" account --id 1002 --accounts "$accounts" --name "Lager (föråldrad)" --age 864000 \
    --files 1520 --total-size 221184000 --copies-made 95 --stored-copies 14 \
    --disk-space 262144000 >/dev/null
"$keytool" account --id 1003 --accounts "$accounts" --name "Reception (fel nyckel)" --age 3600 \
    --client-secret 000102030405060708090a0b0c0d0e0f >/dev/null
work_folder="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/KPV_wd"
mkdir -p "$work_folder"
"$keytool" userlist --out "$work_folder/account_list.bin" --from-accounts "$accounts" >/dev/null

"$server" --accounts "$accounts" >"$run/server.out" 2>"$run/server.log" &
server_pid=$!
for _ in $(seq 50); do
    grep -q '^listening on' "$run/server.out" 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || {
        echo "run: the server did not start (is port 55502 taken?): $(tail -n1 "$run/server.log")" >&2
        exit 1
    }
    sleep 0.1
done
echo "run: $(head -n1 "$run/server.out"), three demo accounts (log: $run/server.log)"

if [ -z "$headless" ]; then
    echo "run: starting the client on $DISPLAY; quit it with Arkiv > Avsluta (closing the window only hides it)"
    wine "$client" >"$run/client.out" 2>"$run/client.err" </dev/null || true
    echo "run: the client has ended; stopping the server"
    exit 0
fi

wine "$client" >"$run/client.out" 2>"$run/client.err" </dev/null &
if ! wine "$auto" rows --count 3 --timeout 60000 >"$run/rows.txt" 2>&1 </dev/null; then
    echo "run: the client's rows did not appear: $(cat "$run/rows.txt")" >&2
    exit 1
fi
sleep 1 # let the window finish painting
window=$(xdotool search --name '^Kopiavakt$' 2>/dev/null | head -n1 || true)
if [ -n "$window" ]; then
    import -display "$DISPLAY" -window "$window" "$screenshot"
else
    import -display "$DISPLAY" -window root "$screenshot"
fi
wine "$auto" command 40034 >/dev/null 2>&1 </dev/null || true
echo "run: no display, so the client ran under Xvfb; its window is in $screenshot"
tr -d '\r' <"$run/rows.txt" | cut -f2- | sed 's/^/  /'
