# Shared by every GUI case: sourced by a case script, which runs inside its own network
# namespace (so port 55502 is its own) with its own copy of the template Wine prefix.
#
# The driver (run-all.sh) exports:
#   KPV_CLIENT_EXE  KPV_AUTO_EXE  KPV_SERVER  KPV_KEYTOOL   the programs under test and the tools
#   KPV_CASE_DIR    an empty folder for this case's files and logs
#   WINEPREFIX      this case's prefix, a fresh copy of the template
#   DISPLAY TZ LANG WINEDEBUG WINEDLLOVERRIDES
#
# A case calls its steps; any failed check ends it with exit code 1 and a reason on stderr.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/wine-session.sh"

CASE_NAME=$(basename "$0" .sh)
WIN_USER=$(id -un)
WORK_FOLDER="$WINEPREFIX/drive_c/users/$WIN_USER/AppData/Local/KPV_wd"
FILES_DIR="$WINEPREFIX/drive_c/kpv-files" # C:\kpv-files in the client's eyes
FILES_WIN='C:\kpv-files'
SERVER_PID=
CLIENT_PID=
CLIENT_RC=
AUTO_OUT=
AUTO_RC=0
STEP=0
CASE_START=$(date +%s%N)

mkdir -p "$FILES_DIR"

# Case log lines start with the seconds since the case began.
log() {
    local ms=$((($(date +%s%N) - CASE_START) / 1000000))
    printf '%3d.%03d %s\n' $((ms / 1000)) $((ms % 1000)) "$*" >>"$KPV_CASE_DIR/case.log"
}

fail() {
    log "FAILED: $*"
    printf '%s\n' "$*" >&2
    exit 1
}

# Everything the case started ends with it, whatever way it ends.
case_cleanup() {
    if [ -n "$CLIENT_PID" ] && kill -0 "$CLIENT_PID" 2>/dev/null; then
        wineserver -k 2>/dev/null
    fi
    stop_server
}
trap case_cleanup EXIT
trap 'exit 1' TERM INT

# Loopback only exists once it is up; a fresh network namespace has it down.
ip link set lo up 2>/dev/null || true

# --- the reference server and its accounts --------------------------------------------------

keytool() {
    "$KPV_KEYTOOL" "$@" >>"$KPV_CASE_DIR/keytool.log" 2>&1 || fail "kpv-keytool $* failed"
}

# Three demo accounts: 7 fresh (with excluded files), 300 outdated (ten days), 12 whose status
# the client cannot open (its user list holds other key material). Writes accounts.json and
# the client's account_list.bin.
demo_accounts() {
    local accounts=$KPV_CASE_DIR/accounts.json
    keytool account --id 7 --accounts "$accounts" --name "Åsa Öberg" --age 3600 \
        --files 1234 --total-size 5000000 --exclude "hemligt.doc" --exclude "bild på älg.jpg" \
        --copies-made 10 --stored-copies 3 --disk-space 9000000
    keytool account --id 300 --accounts "$accounts" --name "Bertil" --age 864000 --files 5
    keytool account --id 12 --accounts "$accounts" --name "Cesar" --age 60 \
        --client-secret 00112233445566778899aabbccddeeff
    mkdir -p "$WORK_FOLDER"
    keytool userlist --out "$WORK_FOLDER/account_list.bin" --from-accounts "$accounts"
}

start_server() {
    "$KPV_SERVER" --accounts "$KPV_CASE_DIR/accounts.json" "$@" \
        >"$KPV_CASE_DIR/server.out" 2>>"$KPV_CASE_DIR/server.log" &
    SERVER_PID=$!
    local i
    for i in $(seq 50); do
        grep -q '^listening on' "$KPV_CASE_DIR/server.out" 2>/dev/null && return 0
        kill -0 "$SERVER_PID" 2>/dev/null || fail "kpv-server did not start"
        sleep 0.1
    done
    fail "kpv-server did not report listening"
}

stop_server() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null
        wait "$SERVER_PID" 2>/dev/null
        SERVER_PID=
    fi
}

# Status requests the server has answered so far.
server_requests() { grep -c 'request for' "$KPV_CASE_DIR/server.log" 2>/dev/null; }

# --- the client -------------------------------------------------------------------------------

# Starts the client in the background; its output goes to files (Wine's helpers would keep a
# pipe open).
start_client() {
    STEP=$((STEP + 1))
    wine "$KPV_CLIENT_EXE" >"$KPV_CASE_DIR/client.$STEP.out" 2>"$KPV_CASE_DIR/client.$STEP.err" \
        </dev/null &
    CLIENT_PID=$!
    log "client started (pid $CLIENT_PID)"
}

# Waits up to $1 seconds for the client to end; sets CLIENT_RC, fails when it keeps running.
wait_client_exit() {
    local seconds=$1 i
    for i in $(seq $((seconds * 10))); do
        if ! kill -0 "$CLIENT_PID" 2>/dev/null; then
            wait "$CLIENT_PID"
            CLIENT_RC=$?
            log "client ended with $CLIENT_RC"
            return 0
        fi
        sleep 0.1
    done
    fail "the client still runs after ${seconds}s"
}

client_running() { kill -0 "$CLIENT_PID" 2>/dev/null; }

# --- kpv-auto ---------------------------------------------------------------------------------

# Runs kpv-auto; its UTF-8 output is in AUTO_OUT (CR removed), its exit code in AUTO_RC.
auto() {
    run_wine_program "$KPV_CASE_DIR/auto.out" "$KPV_CASE_DIR/auto.err" "$KPV_AUTO_EXE" "$@"
    AUTO_RC=$?
    AUTO_OUT=$(tr -d '\r' <"$KPV_CASE_DIR/auto.out")
    log "kpv-auto $* -> $AUTO_RC"
    {
        [ -n "$AUTO_OUT" ] && printf '%s\n' "$AUTO_OUT" | sed 's/^/        /'
        sed 's/^/        ! /' "$KPV_CASE_DIR/auto.err"
    } >>"$KPV_CASE_DIR/case.log"
    return "$AUTO_RC"
}

# kpv-auto that must succeed.
must() { auto "$@" || fail "kpv-auto $* exited $AUTO_RC: $(cat "$KPV_CASE_DIR/auto.err")"; }

# --- checks -----------------------------------------------------------------------------------

expect_eq() { # actual expected what
    [ "$1" = "$2" ] || fail "$3: got [$1], wanted [$2]"
}

expect_line() { # text line what: one whole line of text equals line
    printf '%s\n' "$1" | grep -qxF -- "$2" || fail "$3: no line [$2] in [$1]"
}

expect_no_line() {
    printf '%s\n' "$1" | grep -qxF -- "$2" && fail "$3: unexpected line [$2]"
    return 0
}

# The bytes of a file as spaced upper-case hex, e.g. "02 00 00 00 0F 00".
hex_of() { od -An -v -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//' | tr 'a-f' 'A-F'; }

# The row of an account id (first field of kpv-auto rows).
row_of() { printf '%s\n' "$AUTO_OUT" | awk -F'\t' -v id="$1" '$1 == id'; }

# Field n (1 = account id, 2 = name, ...) of the row of an account id.
field_of() { row_of "$1" | cut -f"$2"; }

# "id<TAB>name" of every account in an account list file, in file order (names read as
# Windows-1252 and printed as UTF-8).
list_accounts() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
(length,) = struct.unpack_from("<I", data, 0)
content, pos = data[4:4 + length], 0
def u32():
    global pos
    value = struct.unpack_from("<I", content, pos)[0] if pos + 4 <= len(content) else 0
    pos += 4
    return value
def blob():
    global pos
    size = u32()
    value = content[pos:pos + size]
    pos += size
    return value
for _ in range(u32()):
    account = u32()
    blob()
    name = blob().rstrip(b"\0").decode("cp1252")
    print(f"{account}\t{name}")
PY
}

# Waits up to $2 seconds for a file to exist.
wait_for_file() {
    local i
    for i in $(seq $(($2 * 10))); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    fail "no file $1 after $2s"
}

# Waits up to $2 seconds until the server has answered $1 status requests in all.
wait_for_requests() {
    local i
    for i in $(seq $(($2 * 10))); do
        [ "$(server_requests)" -ge "$1" ] && return 0
        sleep 0.1
    done
    fail "the server answered $(server_requests) requests, not $1, within $2s"
}

# The number of the client's message boxes on screen.
message_boxes() {
    must count-windows --title Kopiavakt --class '#32770' --no-child 1002 --no-child 1009
    printf '%s' "$AUTO_OUT"
}

# The client's exe as a Windows path (Wine shows the Linux root as drive Z:).
client_exe_windows_path() { printf 'Z:%s' "${KPV_CLIENT_EXE//\//\\}"; }

# The client has started and shown its window with the given number of rows.
# The first start in a fresh prefix also starts Wine's own services: slow on a loaded machine.
client_ready() { must rows --count "$1" --timeout 60000; }

# Checks that note a difference and go on, so that one run lists every wrong text; the case
# fails at checks_done when any differed.
SOFT_FAILURES=0
soft_line() { # text line what
    if ! printf '%s\n' "$1" | grep -qxF -- "$2"; then
        SOFT_FAILURES=$((SOFT_FAILURES + 1))
        log "DIFFERS: $3: no line [$2]"
        printf '%s: no line [%s]\n' "$3" "$2" >&2
    fi
}
soft_eq() { # actual expected what
    if [ "$1" != "$2" ]; then
        SOFT_FAILURES=$((SOFT_FAILURES + 1))
        log "DIFFERS: $3: got [$1], wanted [$2]"
        printf '%s: got [%s], wanted [%s]\n' "$3" "$1" "$2" >&2
    fi
}
checks_done() {
    [ "$SOFT_FAILURES" -eq 0 ] || fail "$SOFT_FAILURES text(s) differed"
}
