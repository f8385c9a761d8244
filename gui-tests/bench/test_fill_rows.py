"""How long the client takes to show many rows: from start-up to all rows in the list, and for
"Uppdatera" (posted command until the window's thread answers again). Not part of the GUI tests;
run by hand: unshare --net /usr/bin/python3 -m pytest -o timeout=0 gui-tests/bench
Row counts from KPV_ROW_COUNTS (default "1 1000 10000"); results in results.txt and stdout."""

import os
import random
import time

import resource_ids as ids
from conftest import write_accounts


def now_ms():
    return int(time.monotonic() * 1000)


def test_fill_rows(gui):
    results = gui.folder / "results.txt"
    for count in map(int, os.environ.get("KPV_ROW_COUNTS", "1 1000 10000").split()):
        random.seed(count)
        write_accounts(gui.keytool.accounts, [{
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
        } for i in range(count)])
        for stale in gui.work_folder.glob("*.bin"):
            stale.unlink()
        gui.keytool.user_list(gui.work_folder / "account_list.bin")
        gui.server.start("--quiet")

        begin = now_ms()
        gui.client.start()
        gui.must("rowcount", "--count", count, "--timeout", 600000)
        startup = now_ms() - begin
        refresh = [gui.must("command", ids.IDM_REFRESH, "--time", "--timeout", 600000).out
                   .removeprefix("elapsed_ms ") for _ in range(3)]
        gui.must("rowcount", "--count", count)
        reading = "not measured"
        if count <= 1000:  # reading is about 2 ms per cell from another process
            begin = now_ms()
            gui.must("rows", "--count", count, "--timeout", 600000)
            reading = f"{now_ms() - begin} ms"
        line = (f"{count} rows: start-up to all rows {startup} ms; Uppdatera {' '.join(refresh)} "
                f"ms; kpv-auto reading every row {reading}")
        print(line)
        with open(results, "a") as out:
            out.write(line + "\n")

        gui.must("command", ids.IDM_EXIT_NOW)
        gui.client.wait_exit(60)
        gui.server.stop()
