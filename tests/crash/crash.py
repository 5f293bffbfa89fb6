#!/usr/bin/env python3
"""Kills corvale-cli at random moments and checks the archive each kill leaves behind.

For each action (repair-structure; record corrections with --elimina and --fisso) the action first
runs to its end on a copy of a fresh demo (with many more problem records than the demo seeds), which gives the state before, the state after and the
window in which the run writes the archive (from the first change of its log to the last, watched
from outside). An action whose window is shorter than MIN_WINDOW seconds (too few commits for a kill
to fall between two of them) gets a larger archive: the table it walks is copied into itself with
new keys, by a factor grown from the measured window until the window is long enough, so that the
sizing follows the machine's speed. Then, KILLS times, a fresh copy is made, the action started,
and killed with SIGKILL a random delay after its own first write (within nine tenths of the shortest
window measured, so that neither the time the run takes before it writes nor a run made faster by a
lighter load matters), and the archive is checked:
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

# Each action with the table whose records it walks (the one copied into itself, with new keys, to
# make the run longer).
ACTIONS = [
    ("repair-structure", ["repair-structure"], "CLIENTI"),
    # customers without name (check No. 1), orders whose supplier is gone (No. 9, fixed value),
    # orders without lines (No. 18)
    ("correct 1 --elimina", ["correct", "0017K", "--elimina"], "CLIENTI"),
    # orders without a number (No. 16): the longest walk that writes each record in blocks
    ("correct 16 --elimina", ["correct", "0032K", "--elimina"], "VENDITE"),
    ("correct 9 --fisso", ["correct", "0025K", "--fisso"], "VENDITE"),
    ("correct 18 --elimina", ["correct", "0035K", "--elimina"], "VENDITE"),
]

# A walk commits every 1000 records or 250 ms: a window of MIN_WINDOW seconds holds several
# commits whatever the machine's speed, and is long beside the few milliseconds of one commit.
MIN_WINDOW = 2.0
MAX_FACTOR = 64


def grow(path, table, factor):
    """Copies every record of `table` factor - 1 times with new keys: a copy of a problem record is
    a problem record of the same kind (an order copy keeps its document's key, so one without lines
    stays without lines and one with lines keeps them)."""
    if factor <= 1:
        return
    con = sqlite3.connect(path)
    try:
        q = '"' + table + '"'
        cols = [r[1] for r in con.execute("PRAGMA table_info(%s)" % q)]
        top = con.execute("SELECT max(rowid) FROM %s" % q).fetchone()[0] or 0
        for k in range(1, factor):
            if table == "VENDITE":
                key = "ID + %d" % (k * top)
            else:  # a text key of at most 10 characters that no demo code has
                key = "printf('K%%09d', rowid + %d)" % (k * top)
            sel = ", ".join(key if c == cols[0] else '"%s"' % c for c in cols)
            con.execute("INSERT INTO %s (%s) SELECT %s FROM %s WHERE rowid <= %d"
                        % (q, ", ".join('"%s"' % c for c in cols), sel, q, top))
        con.commit()
    finally:
        con.close()


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


def wal_state(home):
    """The archive's log as seen from outside: (size, time) once it holds anything, else None."""
    try:
        st = os.stat(os.path.join(home, "archivi", "lumera.mdb-wal"))
    except FileNotFoundError:
        return None
    return (st.st_size, st.st_mtime_ns) if st.st_size > 0 else None


def first_write(p, home):
    """Waits until the running action first writes its archive's log; False when it ended first."""
    while p.poll() is None:
        if wal_state(home) is not None:
            return True
        time.sleep(0.001)
    return False


def writing_window(cli, action, home):
    """Runs the action to its end, watching its log file: the seconds from the start to the first and
    to the last change of the log (its size or time), and the whole run's duration."""
    p = run_cli(cli, action, home, wait=False)
    t0 = time.monotonic()
    first = last = None
    seen = None
    while p.poll() is None:
        now = wal_state(home)
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


def shortest_window(cli, action, template, work):
    """The shortest of three runs' windows: a kill timed within it still falls inside a run that the
    machine's load made faster than the measuring ones."""
    windows = []
    for _ in range(3):
        fresh_copy(template, work)
        windows.append(writing_window(cli, action, work))
    return min(windows, key=lambda w: w[1] - w[0])


def sized_template(cli, label, action, table, base, top, work):
    """The archive the action is killed on: the base demo, its walked table grown until the run
    writes for at least MIN_WINDOW seconds (or MAX_FACTOR copies). Returns it with its window."""
    factor = 1
    template = base
    while True:
        window = shortest_window(cli, action, template, work)
        length = window[1] - window[0]
        print("  %s: %s x%d writes for %.3f s" % (label, table, factor, length))
        sys.stdout.flush()
        if length >= MIN_WINDOW or factor >= MAX_FACTOR:
            return template, window, factor
        # the window grows about as the records walked; a single commit's window says nothing of
        # the walk's length, so it counts as at most one 250 ms block
        step = min(8, max(2, int(MIN_WINDOW / max(length, 0.25) * 1.5 + 1)))
        factor = min(MAX_FACTOR, factor * step)
        template = os.path.join(top, "demo-" + label.replace(" ", "_"))
        fresh_copy(base, template)
        grow(os.path.join(template, "archivi", "lumera.mdb"), table, factor)


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
    work = os.path.join(top, "run")
    failures = 0
    total_kills = total_partway = 0
    shares = []
    for label, action, table in ACTIONS:
        if args.only and args.only not in label:
            continue
        source, (start, end, limit), factor = sized_template(args.cli, label, action, table, template, top, work)
        before = snapshot(archive(source))
        after = snapshot(archive(work))  # the last measuring run went to its end
        counts = {"kills": 0, "mid-run": 0, "finished first": 0, "failed": 0,
                  "untouched": 0, "part-way": 0, "complete": 0}
        for i in range(args.kills):
            fresh_copy(source, work)
            p = run_cli(args.cli, action, work, wait=False)
            if first_write(p, work):
                time.sleep(rng.uniform(0, 0.9 * (end - start)))
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
        share = counts["part-way"] / max(counts["kills"], 1)
        shares.append((label, share))
        print("%-22s %s x%d; run %.3f s, writes from %.3f to %.3f s; %d kills: %d mid-run, %d after the end; "
              "archive left untouched %d, part-way %d (%.0f%%), complete %d; %d failed"
              % (label, table, factor, limit, start, end, counts["kills"], counts["mid-run"],
                 counts["finished first"], counts["untouched"], counts["part-way"], 100.0 * share,
                 counts["complete"], counts["failed"]))
        total_kills += counts["kills"]
        total_partway += counts["part-way"]
        sys.stdout.flush()
    print("part-way: %d of %d kills (%.0f%%); %d failed"
          % (total_partway, total_kills, 100.0 * total_partway / max(total_kills, 1), failures))
    few = [label for label, share in shares if share < 2.0 / 3.0]
    if few:
        print("under two thirds part-way: %s" % ", ".join(few))
    if failures == 0:
        shutil.rmtree(top)
    return 1 if failures or few else 0


if __name__ == "__main__":
    sys.exit(main())
