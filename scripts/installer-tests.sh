#!/usr/bin/env bash
# Tests of the installer, the uninstaller and the portable zip under Xvfb and Wine, as a user
# meets them: silent and interactive installs, upgrades over a running client, uninstalls that
# keep the user's data, the installed exe starting and showing its window (also at 144 DPI).
#
# Builds what it needs unless it is up to date: the installer, the zip and kpv-install-check
# (the tool that looks at windows, shortcuts and version resources from inside Wine) from the
# windows-release preset in build/windows-release, so the stripped exe that ships is the one
# tested. KPV_INSTALLER_BUILD names another build folder (any Windows preset works).
#
# One template Wine prefix is made per run; each case gets a fresh copy of it, its own network
# namespace where the system allows it (the client then reaches no server) and a bounded time
# (KPV_INSTALLER_CASE_SECONDS, default 120). Logs go to build/installer-tests/<case>/ (or
# KPV_INSTALLER_OUT). Extra arguments name single cases. Prints one line per case and
# "N passed, M failed"; exits 1 when any case failed, 2 when it could not start.
set -u
cd "$(dirname "$0")/.."
root=$PWD
self=$root/scripts/installer-tests.sh

# --- one case, run by the driver below in its own process ----------------------------------

if [ "${1:-}" = "--case" ]; then
    . "$root/scripts/wine-session.sh"
    CASE=$2
    WIN_USER=$(id -un)
    USER_DIR=$WINEPREFIX/drive_c/users/$WIN_USER
    LOCAL_DIR=$USER_DIR/AppData/Local
    PROGRAMS_MENU="$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    INSTALL_DIR=$LOCAL_DIR/Programs/Kopiavakt
    INSTALL_WIN="C:\\users\\$WIN_USER\\AppData\\Local\\Programs\\Kopiavakt"
    DATA_DIR=$LOCAL_DIR/KPV_wd
    DATA_WIN="C:\\users\\$WIN_USER\\AppData\\Local\\KPV_wd"
    START_LINK=$PROGRAMS_MENU/Kopiavakt.lnk
    # Wine names the Startup folder "StartUp"; Windows compares names without case.
    STARTUP_LINK=$PROGRAMS_MENU/StartUp/Kopiavakt.lnk
    UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kopiavakt'
    SETUP_CAPTION="Kopiavakt Installation"
    STEP=0
    CHECK_OUT=
    CASE_START=$(date +%s%N)

    log() {
        local ms=$((($(date +%s%N) - CASE_START) / 1000000))
        printf '%3d.%03d %s\n' $((ms / 1000)) $((ms % 1000)) "$*" >>"$KPV_CASE_DIR/case.log"
    }
    fail() {
        log "FAILED: $*"
        printf '%s\n' "$*" >&2
        exit 1
    }
    trap 'wineserver -k 2>/dev/null' EXIT
    ip link set lo up 2>/dev/null || true

    # kpv-install-check; output (CR removed) in CHECK_OUT, returns its exit code.
    check() {
        STEP=$((STEP + 1))
        local file=$KPV_CASE_DIR/check.$STEP
        run_wine_program "$file.out" "$file.err" "$KPV_INSTALL_CHECK" "$@"
        local rc=$?
        CHECK_OUT=$(tr -d '\r' <"$file.out")
        log "check $* -> $rc"
        sed 's/^/        /' "$file.out" "$file.err" >>"$KPV_CASE_DIR/case.log"
        return $rc
    }
    must() { check "$@" || fail "kpv-install-check $1 exited $?: $(tr -d '\r' <"$KPV_CASE_DIR/check.$STEP.err")"; }

    # Runs the installer (or another Windows program) to its end; exit code in RC.
    run_wine() {
        STEP=$((STEP + 1))
        timeout 120 wine "$@" >"$KPV_CASE_DIR/wine.$STEP.out" 2>"$KPV_CASE_DIR/wine.$STEP.err" </dev/null
        RC=$?
        log "wine $* -> $RC"
    }
    # Wine starts every program elevated, as an administrator's "Run as administrator" would;
    # the installer is started as a signed-in user starts it, with the linked limited token.
    SETUP_WIN="Z:${KPV_SETUP//\//\\}"
    install_silent() { run_wine "$KPV_INSTALL_CHECK" as-user "$SETUP_WIN" /S; }
    start_setup() { # args...: the installer in the background, its exit code then in SETUP_RC
        STEP=$((STEP + 1))
        SETUP_RC=$KPV_CASE_DIR/setup.$STEP.rc
        (
            wine "$@" >"$KPV_CASE_DIR/setup.$STEP.out" 2>"$KPV_CASE_DIR/setup.$STEP.err" </dev/null
            echo $? >"$SETUP_RC"
        ) &
    }
    setup_exit_code() {
        local i
        for i in $(seq 300); do
            [ -s "$SETUP_RC" ] && break
            sleep 0.1
        done
        cat "$SETUP_RC" 2>/dev/null
    }
    # The uninstaller copies itself to the temporary folder and returns at once; the copy does
    # the work. Waits for it and for every other process of the prefix.
    wait_uninstalled() {
        local i
        for i in $(seq 300); do
            [ -e "$INSTALL_DIR/uninstall.exe" ] || break
            sleep 0.1
        done
        timeout 60 wineserver -w
    }
    uninstall_silent() { # extra switches...
        run_wine "$INSTALL_DIR/uninstall.exe" /S "$@"
        wait_uninstalled
    }
    start_client() { # Windows path of the exe
        STEP=$((STEP + 1))
        wine "$1" >"$KPV_CASE_DIR/client.$STEP.out" 2>"$KPV_CASE_DIR/client.$STEP.err" </dev/null &
        log "client $1 started"
    }

    expect_eq() { [ "$1" = "$2" ] || fail "$3: got [$1], wanted [$2]"; }
    expect_line() { printf '%s\n' "$1" | grep -qxF -- "$2" || fail "$3: no line [$2] in [$1]"; }
    expect_file() { [ -f "$1" ] || fail "missing: $1"; }
    expect_gone() { [ ! -e "$1" ] || fail "still there: $1"; }
    # The value of one fact line "name value" of CHECK_OUT.
    fact() { printf '%s\n' "$CHECK_OUT" | sed -n "s/^$1 //p" | head -n1; }

    # Reads every value of the uninstall entry for reg_value (nothing when it is missing).
    read_uninstall_entry() {
        run_wine_program "$KPV_CASE_DIR/reg.out" "$KPV_CASE_DIR/reg.err" reg query "$UNINSTALL_KEY" ||
            : >"$KPV_CASE_DIR/reg.out"
    }
    # A value of the entry read last, as "TYPE<TAB>DATA"; empty when the entry or value is missing.
    reg_value() {
        tr -d '\r' <"$KPV_CASE_DIR/reg.out" |
            awk -v name="$1" '$1 == name { type = $2; sub(/^ *[^ ]+ +[^ ]+ +/, ""); print type "\t" $0 }'
    }
    uninstall_entry_exists() {
        timeout 60 wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1 </dev/null
    }

    # The change times of the installed files: any write changes them.
    install_stamp() { stat -c '%n %Z %s' "$INSTALL_DIR"/* 2>/dev/null; }

    # Files, shortcuts and the Apps entry of a complete install.
    expect_installed() {
        expect_file "$INSTALL_DIR/kopiavakt.exe"
        expect_file "$INSTALL_DIR/uninstall.exe"
        expect_file "$INSTALL_DIR/kopiavakt-check.exe"
        cmp -s "$INSTALL_DIR/kopiavakt.exe" "$KPV_CLIENT_EXE" || fail "the installed exe differs"
        expect_file "$START_LINK"
        must shortcut "$START_LINK"
        expect_eq "$(fact target)" "$INSTALL_WIN\\kopiavakt.exe" "Start-menu shortcut target"
        expect_eq "$(fact workdir)" "$INSTALL_WIN" "Start-menu shortcut folder"
        expect_eq "$(fact icon)" "$INSTALL_WIN\\kopiavakt.exe,0" "Start-menu shortcut icon"
        read_uninstall_entry
        expect_eq "$(reg_value DisplayName)" "REG_SZ	Kopiavakt" "DisplayName"
        expect_eq "$(reg_value DisplayVersion)" "REG_SZ	$KPV_VERSION" "DisplayVersion"
        expect_eq "$(reg_value Publisher | cut -f1)" "REG_SZ" "Publisher"
        [ -n "$(reg_value Publisher | cut -f2)" ] || fail "Publisher is empty"
        expect_eq "$(reg_value InstallLocation)" "REG_SZ	$INSTALL_WIN" "InstallLocation"
        expect_eq "$(reg_value UninstallString)" "REG_SZ	\"$INSTALL_WIN\\uninstall.exe\"" \
            "UninstallString"
        expect_eq "$(reg_value QuietUninstallString)" \
            "REG_SZ	\"$INSTALL_WIN\\uninstall.exe\" /S" "QuietUninstallString"
        expect_eq "$(reg_value DisplayIcon)" "REG_SZ	$INSTALL_WIN\\kopiavakt.exe,0" "DisplayIcon"
        expect_eq "$(reg_value NoModify)" "REG_DWORD	0x1" "NoModify"
        expect_eq "$(reg_value NoRepair)" "REG_DWORD	0x1" "NoRepair"
        # Estimated size in KB: the exes and the uninstaller, give or take rounding.
        local kb=$(($(reg_value EstimatedSize | cut -f2)))
        local actual=$((($(stat -c %s "$INSTALL_DIR/kopiavakt.exe") + $(stat -c %s "$INSTALL_DIR/kopiavakt-check.exe") + $(stat -c %s "$INSTALL_DIR/uninstall.exe")) / 1024))
        [ "$kb" -ge $((actual - 2)) ] && [ "$kb" -le $((actual + 2)) ] ||
            fail "EstimatedSize $kb KB, files $actual KB"
    }

    # Starts the installed exe as its shortcut does and checks its main window; leaves it running.
    expect_client_window() { # dpi widths...
        must shortcut "$START_LINK"
        start_client "$(fact target)"
        must main-window
        expect_eq "$(fact dpi)" "$1" "the window's DPI"
        expect_eq "$(fact columns)" "$2" "list column widths"
        # Wine 8 reports the same DPI awareness for every other process's window, so the
        # manifest's awareness is checked in its text (case install-silent), not here.
        # Common Controls 6, from the side-by-side store, as the manifest asks.
        fact comctl32 | grep -qi 'winsxs\\.*common-controls.*6\.0' ||
            fail "comctl32 version 6 not loaded: $(fact comctl32)"
    }

    case_install_silent() {
        install_silent
        expect_eq "$RC" 0 "silent install exit code"
        expect_installed
        expect_file "$STARTUP_LINK"
        must shortcut "$STARTUP_LINK"
        expect_eq "$(fact target)" "$INSTALL_WIN\\kopiavakt.exe" "Startup shortcut target"

        must version "$INSTALL_WIN\\kopiavakt.exe"
        expect_eq "$(fact file-version)" "$KPV_VERSION.0" "file version"
        expect_eq "$(fact product-version)" "$KPV_VERSION.0" "product version"
        expect_line "$CHECK_OUT" "string ProductName Kopiavakt" "product name"
        expect_line "$CHECK_OUT" "string ProductVersion $KPV_VERSION" "product version text"
        expect_line "$CHECK_OUT" "string FileDescription Kopiavakt" "description"
        printf '%s\n' "$CHECK_OUT" | grep -q '^string CompanyName .' || fail "no CompanyName"
        must manifest "$INSTALL_WIN\\kopiavakt.exe"
        for want in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
            'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' \
            '>true/pm</dpiAware>' '>PerMonitorV2, PerMonitor</dpiAwareness>' \
            "version=\"$KPV_VERSION.0\""; do
            printf '%s' "$CHECK_OUT" | grep -qF -- "$want" || fail "manifest lacks $want"
        done

        expect_client_window 96 "140 125 85 95 120 140 140 100"
        must exit-client
        expect_eq "$(fact client-ended)" 0 "client exit code"
    }

    case_dpi_144() {
        timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f \
            >/dev/null 2>&1 </dev/null || fail "cannot set 144 DPI"
        install_silent
        expect_eq "$RC" 0 "silent install exit code"
        # Every column 1.5 times as wide, rounded as MulDiv rounds.
        expect_client_window 144 "210 188 128 143 180 210 210 150"
        must exit-client
    }

    case_upgrade_running_silent() {
        install_silent
        expect_eq "$RC" 0 "first install"
        expect_client_window 96 "140 125 85 95 120 140 140 100"
        # Hidden in the tray it still counts as running.
        must hide-client
        local before
        before=$(install_stamp)
        install_silent
        expect_eq "$RC" 3 "silent install over a running client"
        expect_eq "$(install_stamp)" "$before" "installed files after the refused install"
        run_wine "$INSTALL_DIR/uninstall.exe" /S "_?=$INSTALL_WIN"
        expect_eq "$RC" 3 "silent uninstall of a running client"
        expect_eq "$(install_stamp)" "$before" "installed files after the refused uninstall"
        expect_file "$START_LINK"
        uninstall_entry_exists || fail "the refused uninstall removed the Apps entry"
        # The client was left alone and still runs; once it ends the upgrade goes through.
        must exit-client
        install_silent
        expect_eq "$RC" 0 "silent install after the client ended"
        expect_installed
    }

    case_lock_held() {
        install_silent
        expect_eq "$RC" 0 "first install"
        # A client still starting holds its lock but has no window yet.
        mkdir -p "$DATA_DIR"
        STEP=$((STEP + 1))
        local holder=$KPV_CASE_DIR/hold.$STEP.out
        wine "$KPV_INSTALL_CHECK" hold-lock "$DATA_WIN\\file_mutex" --until "$DATA_WIN\\stop" \
            --timeout 60000 >"$holder" 2>"$KPV_CASE_DIR/hold.$STEP.err" </dev/null &
        local pid=$! i
        for i in $(seq 200); do
            grep -q holding "$holder" 2>/dev/null && break
            sleep 0.1
        done
        grep -q holding "$holder" || fail "could not hold the lock file"
        install_silent
        expect_eq "$RC" 3 "silent install while the lock is held"
        touch "$DATA_DIR/stop"
        wait "$pid" || fail "the lock holder ended with $?"
        rm -f "$DATA_DIR/stop"
        install_silent
        expect_eq "$RC" 0 "silent install once the lock is free (the file stays behind)"
        expect_file "$DATA_DIR/file_mutex"
    }

    case_upgrade_interactive() {
        install_silent
        expect_eq "$RC" 0 "first install"
        expect_client_window 96 "140 125 85 95 120 140 140 100"
        start_setup "$KPV_INSTALL_CHECK" as-user "$SETUP_WIN"
        # Next, Install: then the installer finds the client and asks.
        must box --caption "$SETUP_CAPTION" --contains "Kopiavakt körs" --next --press none
        # The user closes the client from its tray menu and retries.
        must exit-client
        must box --caption "$SETUP_CAPTION" --contains "Kopiavakt körs" --press retry
        must finish --caption "$SETUP_CAPTION" --run yes
        expect_eq "$(setup_exit_code)" 0 "interactive installer exit code"
        expect_installed
        # "Starta Kopiavakt nu" on the finish page started the new client.
        must main-window
        must exit-client
    }

    case_keep_startup_choice() {
        install_silent
        expect_eq "$RC" 0 "first install"
        expect_file "$STARTUP_LINK"
        # The user takes Kopiavakt out of the Startup folder; an upgrade leaves it out.
        rm -f "$STARTUP_LINK"
        install_silent
        expect_eq "$RC" 0 "upgrade"
        expect_gone "$STARTUP_LINK"
        expect_file "$START_LINK"
    }

    case_uninstall_keeps_data() {
        install_silent
        expect_eq "$RC" 0 "install"
        expect_client_window 96 "140 125 85 95 120 140 140 100"
        must exit-client
        # The user's data, as the client leaves it, plus files it would keep there.
        expect_file "$DATA_DIR/wnd.bin"
        expect_file "$DATA_DIR/file_mutex"
        head -c 300 /dev/urandom >"$DATA_DIR/account_list.bin"
        printf '\004\000\000\000\003\000\000\000' >"$DATA_DIR/settings.bin"
        local before
        before=$(cd "$DATA_DIR" && sha256sum -- * | sort)
        uninstall_silent
        expect_gone "$INSTALL_DIR"
        expect_gone "$START_LINK"
        expect_gone "$STARTUP_LINK"
        ! uninstall_entry_exists || fail "the Apps entry is still there"
        expect_eq "$(cd "$DATA_DIR" && sha256sum -- * | sort)" "$before" "the data folder"
        # Installing again finds the data where it was.
        install_silent
        expect_eq "$RC" 0 "install after uninstall"
        expect_installed
    }

    # Started elevated (Wine's own start): silent mode stops with 4 unless /ELEVATED is given;
    # interactively it asks, No ends it, Yes installs but starts no client, even with the
    # finish page's hidden "start now" box ticked.
    case_elevated_start() {
        run_wine "$KPV_SETUP" /S
        expect_eq "$RC" 4 "silent elevated install"
        expect_gone "$INSTALL_DIR"
        start_setup "$KPV_SETUP"
        must box --caption "$SETUP_CAPTION" --contains "körs som administratör" --press no
        expect_eq "$(setup_exit_code)" 1 "elevated install declined"
        expect_gone "$INSTALL_DIR"
        ! uninstall_entry_exists || fail "the declined install made an Apps entry"
        start_setup "$KPV_SETUP"
        must box --caption "$SETUP_CAPTION" --contains "körs som administratör" --press yes
        must finish --caption "$SETUP_CAPTION" --run yes --next
        expect_eq "$(setup_exit_code)" 0 "elevated install accepted"
        expect_installed
        check main-window --timeout 5000 && fail "the elevated installer started the client"
        run_wine "$KPV_SETUP" /S /ELEVATED
        expect_eq "$RC" 0 "silent elevated install with /ELEVATED"
        expect_installed
    }

    # Puts data in KPV_wd, with a hard link to the account list outside it that shows whether
    # the file was overwritten before it was deleted.
    make_data() {
        mkdir -p "$DATA_DIR"
        head -c 10000 /dev/urandom >"$DATA_DIR/account_list.bin"
        printf '\004\000\000\000\003\000\000\000' >"$DATA_DIR/settings.bin"
        rm -f "$KPV_CASE_DIR/accounts.link"
        ln "$DATA_DIR/account_list.bin" "$KPV_CASE_DIR/accounts.link"
    }
    expect_wiped() { # how
        expect_gone "$DATA_DIR"
        expect_eq "$(tr -d '\0' <"$KPV_CASE_DIR/accounts.link" | wc -c)" 0 "account list bytes left ($1)"
        expect_eq "$(stat -c %s "$KPV_CASE_DIR/accounts.link")" 10000 "account list size ($1)"
    }

    # The uninstaller's "remove the data" box is unticked by default; ticked, or /REMOVEDATA in
    # silent mode, it overwrites and deletes KPV_wd.
    case_uninstall_removes_data() {
        local box="Ta även bort kontolistan och inställningarna"
        install_silent
        expect_eq "$RC" 0 "install"
        make_data
        run_wine "$INSTALL_DIR/uninstall.exe"
        must click-through --caption Kopiavakt
        wait_uninstalled
        expect_gone "$INSTALL_DIR"
        expect_file "$DATA_DIR/account_list.bin"
        cmp -s "$DATA_DIR/account_list.bin" "$KPV_CASE_DIR/accounts.link" || fail "data changed"

        install_silent
        expect_eq "$RC" 0 "second install"
        run_wine "$INSTALL_DIR/uninstall.exe"
        must click-through --caption Kopiavakt --tick "$box"
        wait_uninstalled
        expect_wiped "ticked"

        install_silent
        expect_eq "$RC" 0 "third install"
        make_data
        uninstall_silent /REMOVEDATA
        expect_gone "$INSTALL_DIR"
        expect_wiped "/REMOVEDATA"
    }

    case_portable_zip() {
        local unpacked=$WINEPREFIX/drive_c/portable
        mkdir -p "$unpacked"
        python3 - "$KPV_ZIP" "$unpacked" "$KPV_VERSION" >"$KPV_CASE_DIR/zip.out" 2>&1 <<'PY' ||
import sys, zipfile
archive, target, version = sys.argv[1:]
folder = f"Kopiavakt-{version}/"
zip = zipfile.ZipFile(archive)
files = sorted(n for n in zip.namelist() if not n.endswith("/"))
wanted = sorted(folder + n for n in ("kopiavakt.exe", "kopiavakt-check.exe", "README.md", "INSTALL.md",
                                        "LASMIG.txt"))
if files != wanted:
    sys.exit(f"zip holds {files}")
text = zip.read(folder + "LASMIG.txt")
if not text.startswith(b"\xef\xbb\xbf") or b"\n" in text.replace(b"\r\n", b""):
    sys.exit("LASMIG.txt is not UTF-8 with CRLF line ends")
if version.encode() not in text:
    sys.exit("LASMIG.txt does not name the version")
zip.extractall(target)
PY
            fail "zip: $(cat "$KPV_CASE_DIR/zip.out")"
        local exe=$unpacked/Kopiavakt-$KPV_VERSION/kopiavakt.exe
        cmp -s "$exe" "$KPV_CLIENT_EXE" || fail "the zip's exe differs from the built one"
        start_client "C:\\portable\\Kopiavakt-$KPV_VERSION\\kopiavakt.exe"
        must main-window
        must exit-client
        expect_gone "$INSTALL_DIR"
    }

    log "case $CASE"
    "case_${CASE//-/_}"
    log "passed"
    exit 0
fi

# --- the driver -------------------------------------------------------------------------------

ALL_CASES=(install-silent dpi-144 upgrade-running-silent lock-held upgrade-interactive
    keep-startup-choice uninstall-keeps-data portable-zip elevated-start uninstall-removes-data)

bash scripts/setup.sh || exit 2

build=${KPV_INSTALLER_BUILD:-build/windows-release}
out=$(realpath -m "${KPV_INSTALLER_OUT:-build/installer-tests}")
case_seconds=${KPV_INSTALLER_CASE_SECONDS:-120}
rm -rf "$out"
mkdir -p "$out"

if [ ! -f "$build/build.ninja" ]; then
    cmake --preset windows-release -B "$build" >"$out/configure.log" 2>&1 || {
        tail -n 30 "$out/configure.log" >&2
        echo "installer-tests: configuring $build failed" >&2
        exit 2
    }
fi
cmake --build "$build" -j 2 --target kopiavakt-installer kopiavakt-zip kpv-install-check \
    >"$out/build.log" 2>&1 || {
    tail -n 30 "$out/build.log" >&2
    echo "installer-tests: building in $build failed" >&2
    exit 2
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
export KPV_VERSION=$version
export KPV_SETUP=$(realpath "$build/installer/kopiavakt-$version-setup.exe")
export KPV_ZIP=$(realpath "$build/installer/kopiavakt-$version-portable.zip")
export KPV_INSTALL_CHECK=$(realpath "$build/installer/kpv-install-check.exe")
export KPV_CLIENT_EXE=$(realpath "$build/app/win32/kopiavakt.exe")

cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=("${ALL_CASES[@]}")

. "$root/scripts/wine-session.sh"
export LANG=C.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE

begin_case_session "$out" installer-tests
for name in "${cases[@]}"; do
    run_case "$name" "$out/$name" "$case_seconds" bash "$self" --case "$name"
done
report_cases
