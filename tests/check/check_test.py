#!/usr/bin/python3
"""kopiavakt-check against the reference server: every state and exit code in the three
formats, the Prometheus output read by the Prometheus client library's own parser.

--wine RUNNER runs a Windows build through RUNNER (scripts/wine-run.sh) with a shorter list of
cases: the same states and formats, without the faults that the native run already covers.
"""
import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from prometheus_client.parser import text_string_to_metric_families

SKIP = 77
QUOTED_NAME = 'Kund "A" \\ B\'=|ö'  # every character the formats must escape, and one non-ASCII
UNKNOWN_ID = 4242  # in the user list, not on the server
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


class Server:
    """kpv-server on a free port with the given faults; stopped on exit."""

    def __init__(self, binary, accounts, *options):
        self.process = subprocess.Popen(
            [binary, "--accounts", accounts, "--port", "0", "--quiet", *options],
            stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        self.port = int(line.rsplit(":", 1)[1])

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(10)


class Check:
    def __init__(self, args, workdir):
        self.command = ([args.wine] if args.wine else []) + [args.check]
        self.wine = bool(args.wine)
        self.workdir = workdir

    def path(self, p):
        return "Z:" + p.replace("/", "\\") if self.wine else p

    def run(self, accounts, port, *options):
        argv = self.command + ["--accounts", self.path(accounts), "--server", "127.0.0.1",
                               "--port", str(port), *options]
        started = time.monotonic()
        done = subprocess.run(argv, cwd=self.workdir, capture_output=True, timeout=120)
        elapsed = time.monotonic() - started
        return done.returncode, done.stdout.decode("utf-8"), elapsed


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def prometheus(text):
    """{metric name: {(id, name): value}} from the real parser."""
    found = {}
    for family in text_string_to_metric_families(text):
        for sample in family.samples:
            key = (sample.labels.get("id"), sample.labels.get("name"))
            found.setdefault(sample.name, {})[key] = sample.value
    return found


def check_all_formats(check, lists, server):
    """The demo list: 1001 fresh, 1002 ten days old, 1003 with the wrong key, and an account
    the server does not know, named with every character that needs escaping."""
    now = time.time()
    # Fresh and outdated: WARNING with a week's warning period.
    code, out, _ = check.run(lists["demo"], server.port, "--account", "1001", "--account",
                             "1002", "--warning", "7", "--critical", "14")
    first = out.splitlines()[0]
    expect(code == 1 and first.startswith("KOPIAVAKT WARNING - 2 accounts: 0 critical, 1 warning, 1 ok |"),
           f"warning in nagios: {code} {out!r}")
    expect("'Kontoret_age'=3600s;604800;1209600;0" in first or
           "'Kontoret_age'=3601s;604800;1209600;0" in first, f"perf data of a fresh account: {first!r}")
    expect(out.splitlines()[1].startswith("Kontoret (id 1001): OK, latest copy 20") and
           out.splitlines()[1].endswith("Z, 18234 files"), f"account line: {out!r}")

    # Only the fresh one: OK; the client's default period (3 days) applies.
    code, out, _ = check.run(lists["demo"], server.port, "--account", "1001")
    expect(code == 0 and out.startswith("KOPIAVAKT OK - 1 account:") and
           ";259200;518400;0" in out, f"ok in nagios: {code} {out!r}")

    # Everything: 1002 is critical at the default periods, 1003 and 4242 do not open.
    code, out, _ = check.run(lists["all"], server.port, "--format", "json")
    expect(code == 2, f"critical exit code in json: {code}")
    doc = json.loads(out)
    expect(doc["state"] == "critical" and doc["error"] is None and
           abs(doc["checked_at"] - now) < 60, f"json head: {doc}")
    by_id = {a["id"]: a for a in doc["accounts"]}
    expect([a["id"] for a in doc["accounts"]] == [1001, 1002, 1003, UNKNOWN_ID], "json order")
    fresh = by_id[1001]
    expect(fresh["state"] == "ok" and 3600 <= fresh["age_seconds"] <= 3660 and
           fresh["last_copy_time"] + fresh["age_seconds"] == doc["checked_at"] and
           fresh["file_count"] == 18234 and fresh["total_size"] == 56371445760 and
           fresh["excluded_count"] == 2 and fresh["copies_made"] == 312 and
           fresh["stored_copies"] == 14 and fresh["disk_space"] == 536870912000,
           f"json fresh account: {fresh}")
    expect(by_id[1002]["state"] == "critical" and by_id[1002]["age_seconds"] >= 864000,
           f"json outdated account: {by_id[1002]}")
    for unopened in (by_id[1003], by_id[UNKNOWN_ID]):
        expect(unopened["state"] == "critical" and unopened["last_copy_time"] is None and
               unopened["age_seconds"] is None and unopened["file_count"] == 0,
               f"json unopened account: {unopened}")
    expect(by_id[UNKNOWN_ID]["name"] == QUOTED_NAME and
           by_id[1003]["name"] == "Lagret – fel nyckel", "names converted to UTF-8")

    code, out, _ = check.run(lists["all"], server.port)
    perf = out.splitlines()[0].split(" | ", 1)[1]
    expect(code == 2 and "'Kund \"A\" \\ B''__ö_age'=U;259200;518400;0" in perf and
           "'Lagret – fel nyckel_age'=U" in perf, f"critical in nagios: {code} {out!r}")
    expect(len(out.splitlines()) == 5 and "Kund \"A\" \\ B'=/ö (id 4242): CRITICAL" in out,
           f"nagios account lines: {out!r}")

    code, out, _ = check.run(lists["all"], server.port, "--format", "prometheus")
    metrics = prometheus(out)
    expect(code == 0 and metrics["kopiavakt_check_success"][(None, None)] == 1 and "\r" not in out,
           f"prometheus success, lines ending in LF alone: {code}")
    up = metrics["kopiavakt_account_up"]
    expect(up[("1001", "Kontoret")] == 1 and up[("1003", "Lagret – fel nyckel")] == 0 and
           up[(str(UNKNOWN_ID), QUOTED_NAME)] == 0, f"prometheus account_up: {up}")
    age = metrics["kopiavakt_backup_age_seconds"]
    expect(set(age) == {("1001", "Kontoret"), ("1002", "Sommarstugan")} and
           3600 <= age[("1001", "Kontoret")] < 3660, f"prometheus ages: {age}")
    expect(metrics["kopiavakt_total_size_bytes"][("1001", "Kontoret")] == 56371445760 and
           metrics["kopiavakt_disk_space_bytes"][("1002", "Sommarstugan")] == 107374182400 and
           metrics["kopiavakt_files"][("1002", "Sommarstugan")] == 2210 and
           abs(metrics["kopiavakt_check_timestamp_seconds"][(None, None)] - now) < 60 and
           metrics["kopiavakt_last_copy_timestamp_seconds"][("1001", "Kontoret")] > now - 4000,
           "prometheus values")


def check_unknown(check, lists, args):
    """Every way to UNKNOWN (exit 3; 0 with prometheus, whose output says it)."""
    down = free_port()
    code, out, elapsed = check.run(lists["demo"], down)
    expect(code == 3 and out.startswith("KOPIAVAKT UNKNOWN - no contact with the server") and
           "|" not in out, f"server down: {code} {out!r}")
    code, out, _ = check.run(lists["demo"], down, "--format", "prometheus")
    expect(code == 0 and prometheus(out)["kopiavakt_check_success"][(None, None)] == 0 and
           "\n# kopiavakt-check: no contact with the server" in out and
           "kopiavakt_account_up" not in prometheus(out), f"server down, prometheus: {out!r}")
    code, out, _ = check.run(lists["demo"], down, "--format", "json")
    doc = json.loads(out)
    expect(code == 3 and doc["state"] == "unknown" and doc["accounts"] == [] and
           doc["error"].startswith("no contact"), f"server down, json: {out!r}")

    for name in ("bad", "empty"):
        code, out, _ = check.run(lists[name], down)
        expect(code == 3 and out.startswith("KOPIAVAKT UNKNOWN - "), f"{name} list: {code} {out!r}")
    code, out, _ = check.run(lists["demo"], down, "--warning", "x")
    expect(code == 3 and "--warning" in out, f"bad option: {code} {out!r}")
    code, out, _ = check.run(lists["demo"], down, "--account", "99")
    expect(code == 3 and "99 is not in the account list" in out, f"id not in list: {out!r}")
    if args.wine:
        return

    with Server(args.server, args.accounts, "--fault", "wrong-type") as server:
        code, out, elapsed = check.run(lists["demo"], server.port, "--timeout", "20")
        expect(code == 3 and "not a status reply" in out and elapsed < 10,
               f"wrong type: {code} {out!r} after {elapsed:.1f} s")
    # A byte every 300 ms never trips an idle limit; only the bound on the whole run ends it.
    with Server(args.server, args.accounts, "--fault", "chunked", "--chunk-bytes", "1",
                "--chunk-pause-ms", "300") as server:
        code, out, elapsed = check.run(lists["demo"], server.port, "--timeout", "3")
        expect(code == 3 and out.count("KOPIAVAKT") == 1 and "in time" in out and elapsed < 5,
               f"trickling server: {code} {out!r} after {elapsed:.1f} s")
    with Server(args.server, args.accounts, "--fault", "no-answer") as server:
        code, out, elapsed = check.run(lists["demo"], server.port, "--timeout", "2", "--format",
                                       "json")
        expect(code == 3 and json.loads(out)["state"] == "unknown" and elapsed < 4,
               f"silent server: {code} {out!r} after {elapsed:.1f} s")
    # A listener whose backlog is full drops the check's SYN, so its connect hangs: the
    # exchange's own limit ends it (as a time-out, a little before the watchdog would).
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(0)
        fillers = [socket.socket() for _ in range(3)]
        for filler in fillers:
            filler.setblocking(False)
            filler.connect_ex(listener.getsockname())
        time.sleep(0.2)
        code, out, elapsed = check.run(lists["demo"], listener.getsockname()[1], "--timeout", "2")
        expect(code == 3 and out.count("KOPIAVAKT") == 1 and "in time" in out and elapsed < 4,
               f"hanging connect: {code} {out!r} after {elapsed:.1f} s")
        for filler in fillers:
            filler.close()


def envelope(content):
    return len(content).to_bytes(4, "little") + content


def rules_file(path, entries):
    """rules.bin: {id: (period days, size %)} with the other rules at their defaults."""
    content = (1).to_bytes(2, "little") + len(entries).to_bytes(4, "little")
    for account, (days, size) in entries.items():
        entry = account.to_bytes(4, "little") + b"".join(
            v.to_bytes(2, "little") for v in (days, 7, size, 50, 50, 0)) + bytes(8)
        content += len(entry).to_bytes(4, "little") + entry
    with open(path, "wb") as f:
        f.write(envelope(content))


def history_file(path, records):
    """history.bin from (id, time seen, latest copy, files, size, stored copies) records."""
    content = (1).to_bytes(2, "little")
    for account, seen, copy, files, size, stored in records:
        words = [account, seen, copy, files, size >> 32, size & 0xFFFFFFFF, 0, 0, stored, 0, 0]
        body = b"".join(w.to_bytes(4, "little") for w in words)
        check = 2166136261
        for byte in body:
            check = ((check ^ byte) * 16777619) & 0xFFFFFFFF
        content += body + check.to_bytes(4, "little")
    with open(path, "wb") as f:
        f.write(envelope(content))


def check_rules_and_history(check, lists, server, tmp):
    """The client's rules and history: Kontoret's copy is a tenth of its previous size (an
    anomaly: WARNING), the ten-day-old copy of 1002 is within its own 14 days."""
    rules = os.path.join(tmp, "rules.bin")
    history = os.path.join(tmp, "history.bin")
    rules_file(rules, {1002: (14, 50)})
    day_ago = int(time.time()) - 86400
    history_file(history, [(1001, day_ago, day_ago - 60, 18234, 563714457600, 14)])
    args = ["--account", "1001", "--account", "1002", "--rules", check.path(rules),
            "--history", check.path(history)]
    code, out, _ = check.run(lists["demo"], server.port, *args, "--format", "json")
    doc = json.loads(out)
    by_id = {a["id"]: a for a in doc["accounts"]}
    expect(code == 1 and by_id[1001]["state"] == "warning" and
           by_id[1001]["reason"] == "shrunk" and by_id[1002]["state"] == "ok" and
           by_id[1002]["reason"] == "ok", f"json with rules and history: {code} {out!r}")
    code, out, _ = check.run(lists["demo"], server.port, *args)
    expect(code == 1 and "Kontoret (id 1001): WARNING (shrunk), latest copy" in out and
           ";1209600;2419200;0" in out.splitlines()[0], f"nagios with rules: {code} {out!r}")
    _, out, _ = check.run(lists["demo"], server.port, *args, "--format", "prometheus")
    anomalies = {(s.labels["id"], s.labels["rule"]): s.value
                 for family in text_string_to_metric_families(out) for s in family.samples
                 if s.name == "kopiavakt_anomaly"}
    expect(anomalies.get(("1001", "size")) == 1 and anomalies.get(("1001", "files")) == 0 and
           anomalies.get(("1002", "size")) == 0, f"prometheus anomalies: {anomalies}")
    code, out, _ = check.run(lists["demo"], server.port, *args, "--no-rules", "--format", "json")
    expect(code == 2 and '"reason"' not in out, f"--no-rules: {code} {out!r}")
    code, out, _ = check.run(lists["demo"], server.port, "--rules", check.path(rules + ".none"))
    expect(code == 3 and "cannot read" in out, f"a named rules file that is missing: {out!r}")
    os.remove(rules)
    os.remove(history)


def check_edges(check, lists, server, tmp):
    """Native: a damaged settings.bin, a settings file that never ends, and raw bytes on the
    command line."""
    settings = os.path.join(tmp, "settings.bin")
    with open(settings, "wb") as f:
        f.write(bytes([2, 0, 0, 0, 0x50, 0xC3]))  # 50000 days: outside the client's 1 to 15
    code, out, _ = check.run(lists["demo"], server.port, "--account", "1001", "--settings",
                             settings)
    expect(code == 0 and ";259200;518400;0" in out, f"50000 days read as 3: {code} {out!r}")

    fifo = os.path.join(tmp, "settings.fifo")
    os.mkfifo(fifo)
    try:
        code, out, elapsed = check.run(lists["demo"], server.port, "--settings", fifo,
                                       "--timeout", "2")
    except subprocess.TimeoutExpired:
        code, out, elapsed = None, "", 120
    expect(code == 3 and out == "KOPIAVAKT UNKNOWN - no result within the timeout of 2 s\n" and
           elapsed < 4, f"a FIFO as settings: {code} {out!r} after {elapsed:.1f} s")

    # A Windows-1252 byte and a '|' in a path that does not exist.
    missing = os.path.join(tmp, os.fsdecode(b"\xe5|x.ulf"))
    for fmt in ("nagios", "json", "prometheus"):
        try:
            code, out, _ = check.run(missing, server.port, "--format", fmt)
        except UnicodeDecodeError:
            code, out = None, ""
        if fmt == "nagios":
            expect(code == 3 and out.count("|") == 0 and "\u00e5/x.ulf" in out,
                   f"raw path, nagios: {code} {out!r}")
        elif fmt == "json":
            doc = json.loads(out) if out else {}
            expect(code == 3 and doc.get("error", "").endswith("\u00e5|x.ulf"),
                   f"raw path, json: {code} {out!r}")
        else:
            expect(code == 0 and prometheus(out)["kopiavakt_check_success"][(None, None)] == 0,
                   f"raw path, prometheus: {code} {out!r}")


def check_client_folder(check, lists, server):
    """Windows: without --accounts the check reads the client's own files in
    %LOCALAPPDATA%\\KPV_wd, the warning period from settings.bin included, and writes nothing."""
    prefix = os.environ.get("WINEPREFIX") or os.environ.get("KPV_WINEPREFIX") or \
        os.path.expanduser("~/.cache/kopiavakt/wine")
    users = os.path.join(prefix, "drive_c", "users")
    local = [os.path.join(users, u, "AppData", "Local") for u in sorted(os.listdir(users))
             if os.path.isdir(os.path.join(users, u, "AppData", "Local"))]
    folder = os.path.join(local[0], "KPV_wd") if local else None
    if folder is None or os.path.exists(folder):
        print("the prefix has no fresh place for a client working folder: case skipped")
        return
    os.mkdir(folder)
    try:
        shutil.copy(lists["demo"], os.path.join(folder, "account_list.bin"))
        with open(os.path.join(folder, "settings.bin"), "wb") as f:
            f.write(bytes([2, 0, 0, 0, 15, 0]))  # 15 days: the ten-day-old copy is fresh
        argv = check.command + ["--server", "127.0.0.1", "--port", str(server.port),
                                "--account", "1002"]
        done = subprocess.run(argv, cwd=check.workdir, capture_output=True, timeout=120)
        out = done.stdout.decode("utf-8")
        expect(done.returncode == 0 and out.startswith("KOPIAVAKT OK - 1 account:") and
               ";1296000;2592000;0" in out, f"client's own files: {done.returncode} {out!r}")
        expect(sorted(os.listdir(folder)) == ["account_list.bin", "settings.bin"],
               "nothing written into the client's folder")
    finally:
        shutil.rmtree(folder)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--keytool", required=True)
    parser.add_argument("--demo", required=True)
    parser.add_argument("--wine")
    args = parser.parse_args()
    for tool in (args.server, args.keytool):
        if not os.access(tool, os.X_OK):
            print(f"{tool} is not built (build the native preset first): skipped")
            return SKIP

    with tempfile.TemporaryDirectory() as tmp:
        args.accounts = os.path.join(tmp, "accounts.json")
        shutil.copy(os.path.join(args.demo, "accounts.json"), args.accounts)
        lists = {n: os.path.join(tmp, n + ".ulf") for n in ("demo", "all", "bad", "empty")}
        subprocess.run([args.keytool, "userlist", "--out", lists["demo"], "--from-accounts",
                        args.accounts], check=True)
        subprocess.run([args.keytool, "userlist", "--out", lists["all"], "--from-accounts",
                        args.accounts, "--account", f"{UNKNOWN_ID}:{'11' * 32}:{QUOTED_NAME}"],
                       check=True)
        with open(lists["bad"], "wb") as f:
            f.write(b"\xff\x00\x00\x00not an account list")
        with open(lists["empty"], "wb") as f:
            f.write(bytes([4, 0, 0, 0, 0, 0, 0, 0]))
        workdir = os.path.join(tmp, "cwd")
        os.mkdir(workdir)
        check = Check(args, workdir)

        with Server(args.server, args.accounts) as server:
            check_all_formats(check, lists, server)
            check_rules_and_history(check, lists, server, tmp)
            if args.wine:
                check_client_folder(check, lists, server)
            else:
                check_edges(check, lists, server, tmp)
        check_unknown(check, lists, args)
        expect(os.listdir(workdir) == [], "the check wrote nothing where it ran")

    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
