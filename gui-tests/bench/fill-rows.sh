# Measures how long the client takes to show many rows: from start-up to all rows in the list,
# and for "Uppdatera" (posted command until the window's thread answers again). Run through
# the driver: KPV_GUI_CASE_SECONDS=900 gui-tests/run-all.sh gui-tests/bench/fill-rows.sh
# Row counts from KPV_ROW_COUNTS (default "1 1000 10000"); results in results.txt and stdout.
. "$(dirname "$0")/../lib.sh"

results=$KPV_CASE_DIR/results.txt
report() { printf '%s\n' "$*" | tee -a "$results"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

for count in ${KPV_ROW_COUNTS:-1 1000 10000}; do
    python3 - "$KPV_CASE_DIR/accounts.json" "$count" <<'PY'
import json, os, random, sys
path, count = sys.argv[1], int(sys.argv[2])
random.seed(count)
accounts = [{
    "id": 100000 + i,
    "key": os.urandom(32).hex(),
    "name": f"Konto {i:05d}",
    "status": {
        "ageSeconds": random.randrange(60, 86400),
        "fileCount": random.randrange(1, 10**6),
        "totalSize": random.randrange(1, 10**12),
        "copiesMade": random.randrange(1, 1000),
        "storedCopies": random.randrange(1, 60),
        "diskSpace": random.randrange(1, 10**12),
        "excludedFiles": [f"fil{i}.tmp"],
    },
} for i in range(count)]
json.dump({"accounts": accounts}, open(path, "w"))
PY
    mkdir -p "$WORK_FOLDER"
    rm -f "$WORK_FOLDER"/*.bin
    keytool userlist --out "$WORK_FOLDER/account_list.bin" --from-accounts "$KPV_CASE_DIR/accounts.json"
    start_server --quiet

    begin=$(now_ms)
    start_client
    must rowcount --count "$count" --timeout 600000
    startup=$(($(now_ms) - begin))
    refresh=()
    for _ in 1 2 3; do
        must command 40006 --time --timeout 600000
        refresh+=("${AUTO_OUT#elapsed_ms }")
    done
    must rowcount --count "$count"
    reading="not measured"
    if [ "$count" -le 1000 ]; then # reading is about 2 ms per cell from another process
        begin=$(now_ms)
        must rows --count "$count" --timeout 600000
        reading="$(($(now_ms) - begin)) ms"
    fi
    report "$count rows: start-up to all rows ${startup} ms; Uppdatera ${refresh[*]} ms;" \
        "kpv-auto reading every row ${reading}"

    must command 40034
    wait_client_exit 60
    stop_server
done
