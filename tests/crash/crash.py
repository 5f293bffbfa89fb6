#!/usr/bin/env python3
"""Kills corvale-cli at random moments and checks the archive each kill leaves behind.

For each action (repair-structure; record corrections with --elimina and --fisso) the action first
runs to its end on a copy of a fresh demo (with many more problem records than the demo seeds), which gives the state before, the state after and the
window in which the run writes the archive (from the first change of its log to the last, watched
from outside). Then, KILLS times, a fresh copy is made, the action started and killed with SIGKILL
after a random delay within that window, and the archive is checked:
  - corvale-cli opens it (check exits 0 or 1, never 2);
  - SQLite's integrity check says ok;
  - every table holds every record that no correction was meant to remove, and nothing else: the
    records gone are among those the whole run removes;
  - every value is either as before or as after the whole run (each record wholly corrected or not);
  - every structure correction is wholly done or not at all: no leftover "NEW<field>" or
    "<field>_NEW" column, every column and index either as before or as after, none lost;
  - every record removed or changed is in the journal beside the archive, with its values before;
    and every record the journal marks done is removed or changed in the archive.
"""
import argparse
import json
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

ACTIONS = [
    ("repair-structure", ["repair-structure"]),
    # customers without name (check No. 1), orders whose supplier is gone (No. 9, fixed value),
    # orders without lines (No. 18)
    ("correct 1 --elimina", ["correct", "0017K", "--elimina"]),
    # orders without a number (No. 16): the longest walk that writes each record in blocks
    ("correct 16 --elimina", ["correct", "0032K", "--elimina"]),
    ("correct 9 --fisso", ["correct", "0025K", "--fisso"]),
    ("correct 18 --elimina", ["correct", "0035K", "--elimina"]),
]


def snapshot(path):
    con = sqlite3.connect(path)
    try:
        tables = {}
        for (name,) in con.execute(
                "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"):
            q = '"' + name.replace('"', '""') + '"'
            cols = [(r[1], r[2]) for r in con.execute("PRAGMA table_info(%s)" % q)]
            names = [c[0] for c in cols]
            rows = {}
            for r in con.execute("SELECT rowid, * FROM %s" % q):
                rows[r[0]] = dict(zip(names, r[1:]))
            tables[name] = {"cols": dict(cols), "order": names, "rows": rows}
        indexes = {}
        for name, tbl, sql in con.execute("SELECT name, tbl_name, sql FROM sqlite_master WHERE type='index'"):
            if sql is not None:
                indexes[name] = (tbl, sql)
        return tables, indexes
    finally:
        con.close()


def user_part(snap):
    """A snapshot without the rows of the engine's metadata tables (which carry time stamps)."""
    tables, indexes = snap
    return ({n: (t if not n.startswith("MSys") else t["cols"]) for n, t in tables.items()}, indexes)


def integrity(path):
    con = sqlite3.connect(path)
    try:
        return con.execute("PRAGMA integrity_check").fetchone()[0]
    finally:
        con.close()


def same(a, b):
    return a == b or (a is not None and b is not None and str(a) == str(b))


def compare(before, after, now):
    """Problems of the state `now`, which must lie between `before` and `after` record by record."""
    problems = []
    bt, bi = before
    at, ai = after
    nt, ni = now
    for name, t in nt.items():
        if name not in bt and name not in at:
            problems.append("unexpected table %s" % name)
    for name, b in bt.items():
        if name not in nt:
            problems.append("table %s lost" % name)
            continue
        n = nt[name]
        a = at.get(name, b)
        for col, typ in n["cols"].items():
            if col not in b["cols"] and col not in a["cols"]:
                problems.append("%s: leftover column %s" % (name, col))
            elif typ not in (b["cols"].get(col), a["cols"].get(col)):
                problems.append("%s.%s: type %s neither old nor new" % (name, col, typ))
        for col in b["cols"]:
            if col not in n["cols"] and col in a["cols"]:
                problems.append("%s: column %s lost" % (name, col))
        if name.startswith("MSys"):
            continue  # the engine's own metadata: its consistency is the columns' and indexes'
        gone = set(b["rows"]) - set(n["rows"])
        allowed = set(b["rows"]) - set(a["rows"])
        if not gone <= allowed:
            problems.append("%s: %d records removed that no correction removes" % (name, len(gone - allowed)))
        extra = set(n["rows"]) - set(b["rows"]) - set(a["rows"])
        if extra:
            problems.append("%s: %d records from nowhere" % (name, len(extra)))
        for rid, row in n["rows"].items():
            old = b["rows"].get(rid, {})
            new = a["rows"].get(rid, {})
            for col, v in row.items():
                ok = (col in old and same(v, old[col])) or (col in new and same(v, new[col]))
                if not ok and col not in old and col not in new:
                    ok = v is None  # a column added by a correction not yet filled
                if not ok:
                    problems.append("%s rowid %s: %s=%r neither old %r nor new %r"
                                    % (name, rid, col, v, old.get(col), new.get(col)))
                    break
            if len(problems) > 20:
                return problems
    for name, (tbl, sql) in ni.items():
        if sql not in (bi.get(name, (None, None))[1], ai.get(name, (None, None))[1]):
            problems.append("index %s neither old nor new" % name)
    for name in bi:
        if name in ai and name not in ni:
            problems.append("index %s lost" % name)
    return problems


def journal_problems(cli, home, before, now, journal):
    """Records changed in the archive must be journaled with their old values, and the journal's
    records marked done must be changed in the archive (after a kill, the journal is read as the
    next session would: entries left "in corso" are checked as the tool settles them)."""
    bt, _ = before
    nt, _ = now
    changed = set()
    for name, b in bt.items():
        if name.startswith("MSys") or name not in nt:
            continue
        n = nt[name]
        for rid, row in b["rows"].items():
            cur = n["rows"].get(rid)
            if cur is None or any(not same(cur.get(c), v) for c, v in row.items() if c in cur):
                changed.add((name.upper(), rid))
    if not changed:
        return []
    if not os.path.exists(journal):
        return ["%d records changed, no journal" % len(changed)]
    con = sqlite3.connect(journal)
    try:
        rows = con.execute("SELECT upper(tabella), riga, prima, fatto FROM record").fetchall()
    finally:
        con.close()
    journaled = {(t, r) for t, r, prima, _ in rows if prima is not None}
    problems = []
    missing = changed - journaled
    if missing:
        problems.append("%d records changed without a journal record, e.g. %s" % (len(missing), sorted(missing)[:3]))
    # The journal as the next session reads it: what it calls done is done.
    p = subprocess.run([cli, "registro", "--json", "--home", home, "--archive", os.path.join(home, "archivi")],
                       capture_output=True, text=True)
    try:
        entries = json.loads(p.stdout)["modifiche"]
    except (ValueError, KeyError):
        return problems + ["registro --json unreadable (%d): %s" % (p.returncode, p.stderr.strip()[:200])]
    done_unchanged = [(r["tabella"], r["riga"]) for e in entries for r in e["record"]
                      if r["fatto"] and r["prima"] is not None and (r["tabella"].upper(), r["riga"]) not in changed]
    if done_unchanged:
        problems.append("%d journal records marked done but unchanged, e.g. %s"
                        % (len(done_unchanged), done_unchanged[:3]))
    if any(e["stato"] == "in corso" for e in entries):
        problems.append("an entry left in corso after the next session opened the journal")
    return problems


def fresh_copy(template, work):
    if os.path.exists(work):
        shutil.rmtree(work)
    shutil.copytree(template, work)
    return work


def run_cli(cli, args, home, wait=True):
    cmd = [cli] + args + ["--home", home, "--archive", os.path.join(home, "archivi")]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    if wait:
        _, err = p.communicate()
        return p.returncode, err.decode("utf-8", "replace")
    return p


# More problem records than the demo seeds (about 1%), so that each walk commits many times and a kill
# can land between two commits: half of the customers lose their name, half of the orders their
# supplier, a third of them their number, a quarter of the invoices their lines.
SEED = [
    "UPDATE CLIENTI SET RAGSOC = NULL WHERE rowid % 2 = 0",
    "UPDATE VENDITE SET DITTA = 'FX9999' WHERE rowid % 2 = 0",
    "UPDATE VENDITE SET NUMORD = NULL WHERE rowid % 3 = 1",
    "DELETE FROM DETT_FAT WHERE EXISTS (SELECT 1 FROM FATTURE f WHERE f.rowid % 4 = 0 AND f.CODCLI = DETT_FAT.CODCLI"
    " AND f.NUMFAT = DETT_FAT.NUMFAT AND f.DATA = DETT_FAT.DATA)",
]


def seed_problems(path):
    con = sqlite3.connect(path)
    try:
        for sql in SEED:
            con.execute(sql)
        con.commit()
    finally:
        con.close()


def writing_window(cli, action, home):
    """Runs the action to its end, watching its log file: the seconds from the start to the first and
    to the last change of the log (its size or time), and the whole run's duration."""
    wal = os.path.join(home, "archivi", "lumera.mdb-wal")
    p = run_cli(cli, action, home, wait=False)
    t0 = time.monotonic()
    first = last = None
    seen = None
    while p.poll() is None:
        try:
            st = os.stat(wal)
            now = (st.st_size, st.st_mtime_ns) if st.st_size > 0 else None
        except FileNotFoundError:
            now = None
        if now is not None and now != seen:
            t = time.monotonic() - t0
            first = t if first is None else first
            last = t
        seen = now
        time.sleep(0.002)
    duration = time.monotonic() - t0
    if p.returncode not in (0, 1):
        sys.exit("%s does not run to its end (%d): %s" % (" ".join(action), p.returncode,
                                                          p.stderr.read().decode("utf-8", "replace")))
    return (first or 0.0), (last or duration), duration


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--kills", type=int, default=200)
    ap.add_argument("--orders", type=int, default=20000)
    ap.add_argument("--seed", type=int, default=None)
    ap.add_argument("--only", default=None, help="run only the actions whose label contains this text")
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else int(time.time())
    rng = random.Random(seed)
    print("seed %d, %d kills per action, demo of %d orders" % (seed, args.kills, args.orders))

    top = tempfile.mkdtemp(prefix="corvale-crash-")
    template = os.path.join(top, "demo")
    subprocess.run([args.cli, "demo", template, "--orders", str(args.orders)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    archive = lambda home: os.path.join(home, "archivi", "lumera.mdb")
    seed_problems(archive(template))
    before = snapshot(archive(template))
    work = os.path.join(top, "run")
    failures = 0
    total_kills = total_partway = 0
    for label, action in ACTIONS:
        if args.only and args.only not in label:
            continue
        windows = []
        for _ in range(3):
            fresh_copy(template, work)
            windows.append(writing_window(args.cli, action, work))
        after = snapshot(archive(work))
        start, end, limit = sorted(windows, key=lambda w: w[2])[1]
        counts = {"kills": 0, "mid-run": 0, "finished first": 0, "failed": 0,
                  "untouched": 0, "part-way": 0, "complete": 0}
        for i in range(args.kills):
            fresh_copy(template, work)
            p = run_cli(args.cli, action, work, wait=False)
            time.sleep(rng.uniform(start, end))
            running = p.poll() is None
            if running:
                p.send_signal(signal.SIGKILL)
            p.wait()
            counts["kills"] += 1
            counts["mid-run" if running else "finished first"] += 1
            problems = []
            rc, err = run_cli(args.cli, ["check"], work)
            if rc not in (0, 1):
                problems.append("corvale-cli check cannot open it (%d): %s" % (rc, err.strip()))
            result = integrity(archive(work))
            if result != "ok":
                problems.append("integrity check: " + result)
            else:
                now = snapshot(archive(work))
                problems += compare(before, after, now)
                problems += journal_problems(args.cli, work, before, now,
                                             os.path.join(work, "archivi", "lumera-registro.db"))
                state = user_part(now)
                counts["untouched" if state == user_part(before) else "complete" if state == user_part(after)
                       else "part-way"] += 1
            if problems:
                counts["failed"] += 1
                failures += 1
                keep = os.path.join(top, "failed-%s-%d" % (label.replace(" ", "_"), i))
                shutil.copytree(work, keep)
                print("  %s kill %d: %s (kept in %s)" % (label, i, "; ".join(problems[:5]), keep))
        print("%-22s run %.3f s, writes from %.3f to %.3f s; %d kills: %d mid-run, %d after the end; "
              "archive left untouched %d, part-way %d, complete %d; %d failed"
              % (label, limit, start, end, counts["kills"], counts["mid-run"], counts["finished first"],
                 counts["untouched"], counts["part-way"], counts["complete"], counts["failed"]))
        total_kills += counts["kills"]
        total_partway += counts["part-way"]
        sys.stdout.flush()
    print("part-way: %d of %d kills (%.0f%%); %d failed"
          % (total_partway, total_kills, 100.0 * total_partway / max(total_kills, 1), failures))
    if failures == 0:
        shutil.rmtree(top)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
