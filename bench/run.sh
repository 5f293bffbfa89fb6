#!/usr/bin/env bash
# bench/run.sh [--orders N] [--repeat R] [--forme SEME]: big-archive measures on one fresh scaled
# demo (default 1,000,000 orders). Uses the corvale-cli named by CORVALE_CLI (default
# build/src/corvale-cli) and the corvale-bench and corvale-forme built next to it (…/bench/),
# building what is missing. With --forme, the demo is first rewritten by corvale-forme (seed SEME)
# into the forms other programs store values in, and the check's counts are held to the check's
# on the demo before the rewrite. Prints:
#   check ratio=R seconds=S baseline_seconds=B peak_rss_mb=M ...
#   check_rewritten ratio_to_untouched_shell=R ...   (with --forme: against the shell's statements
#                                                     on the demo before the rewrite)
#   walk_delete records_per_second=V ...
#   length_change ratio=R seconds=S baseline_seconds=B ...
#   backup ratio=R seconds=S baseline_seconds=B integrity_seconds=I ...
#   import records_per_second=V ...     (nwind.mdb of the Access samples, when they are there)
# Each timed part runs R times (default 3), ours and the sqlite3 shell's back to back; the best
# time of each is kept. Times are processor seconds (user + system: the machine may be shared by
# other work, which the clock would measure too); the clock's figures follow as wall_* keys.
# Progress goes to stderr.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ORDERS=1000000
REPEAT=3
FORME=""
while [ $# -gt 0 ]; do
    case "$1" in
        --orders) ORDERS=${2:?}; shift 2 ;;
        --repeat) REPEAT=${2:?}; shift 2 ;;
        --forme) FORME=${2:?}; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "argomento non valido: $1" >&2; exit 2 ;;
    esac
done

log() { echo "bench: $*" >&2; }
now_ns() { date +%s%N; }
secs() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }
min() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }

SQLITE3=$(command -v sqlite3) || { echo "sqlite3 non trovato" >&2; exit 2; }
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "/usr/bin/time non trovato" >&2; exit 2; }

# corvale-cli and corvale-bench: the named build, or the project's default one, built if missing.
CLI=${CORVALE_CLI:-$ROOT/build/src/corvale-cli}
if [ ! -x "$CLI" ]; then
    if [ -n "${CORVALE_CLI:-}" ]; then echo "CORVALE_CLI non eseguibile: $CLI" >&2; exit 2; fi
    log "compilo corvale-cli in $ROOT/build"
    cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
    cmake --build "$ROOT/build" -j2 --target corvale-cli >&2
fi
CLI=$(cd "$(dirname "$CLI")" && pwd)/$(basename "$CLI")
BUILD=$(cd "$(dirname "$CLI")/.." && pwd)
BENCH=$BUILD/bench/corvale-bench
FORMS=$BUILD/bench/corvale-forme
TARGETS="corvale-bench"
[ -n "$FORME" ] && TARGETS="corvale-bench corvale-forme"
if [ ! -x "$BENCH" ] || { [ -n "$FORME" ] && [ ! -x "$FORMS" ]; }; then
    if [ -f "$BUILD/CMakeCache.txt" ]; then
        log "compilo $TARGETS in $BUILD"
        cmake --build "$BUILD" -j2 --target $TARGETS >&2
    else
        log "compilo $TARGETS in $ROOT/build"
        cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
        cmake --build "$ROOT/build" -j2 --target $TARGETS >&2
        BENCH=$ROOT/build/bench/corvale-bench
        FORMS=$ROOT/build/bench/corvale-forme
    fi
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/corvale-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
DEMO=$WORK/demo
ARCH=$DEMO/archivi/lumera.mdb

log "demo con $ORDERS ordini in $DEMO"
# The machine's load when the run starts: the clock figures below are worth what it lets them be.
echo "load $(awk '{ print "one_minute=" $1 " five_minutes=" $2 " fifteen_minutes=" $3 }' /proc/loadavg)" \
     "cpus=$(nproc)"
/usr/bin/time -f '%e %U %S %M' -o "$WORK/t_demo" "$CLI" demo "$DEMO" --orders "$ORDERS" >&2 2>"$WORK/demo.log" \
    || { cat "$WORK/demo.log" >&2; exit 2; }
# The demo's pages written out before anything is timed: otherwise the first check pays for it.
sync "$ARCH"

# /usr/bin/time writes, on its last line: wall seconds, user seconds, system seconds, peak
# resident KB (a line about a non-zero exit status may come before it).
cpu_ns() { tail -n 1 "$1" | awk '{ printf "%.0f", ($2 + $3) * 1e9 }'; }
wall_ns() { tail -n 1 "$1" | awk '{ printf "%.0f", $1 * 1e9 }'; }

# The 29 data checks' counts from the check's output: "Rilevati n record" (0 for a passed task,
# "-" for one that cannot run), one "number|count" a line.
check_counts() {
    tail -n 29 "$1" | awk -F '\t' '{
        n = "-"
        if ($4 ~ /^Controllo superato/) n = 0
        else if (match($4, /^Rilevati [0-9]+ /)) n = substr($4, 10, RLENGTH - 10)
        print NR "|" n }'
}

echo "demo seconds=$(secs "$(cpu_ns "$WORK/t_demo")") wall_seconds=$(secs "$(wall_ns "$WORK/t_demo")")" \
     "archive_mb=$(awk -v b="$(stat -c %s "$ARCH")" 'BEGIN { printf "%.1f", b / 1048576 }') orders=$ORDERS"

# --- with --forme: the check on the demo as written, then the demo rewritten into other forms --
rewrite=""
if [ -n "$FORME" ]; then
    log "controllo della demo prima della riscrittura"
    st=0
    "$CLI" check --home "$DEMO" --archive "$DEMO/archivi" >"$WORK/untouched.out" 2>"$WORK/check.err" || st=$?
    [ "$st" -le 1 ] || { cat "$WORK/check.err" >&2; exit 2; }
    check_counts "$WORK/untouched.out" >"$WORK/untouched.counts"
    # The shell's statements on the demo as written: the same data and the same counts, which the
    # shell cannot give on the rewritten file (its joins miss keys respelled, dates in other forms).
    best_untouched=""
    for _ in $(seq "$REPEAT"); do
        "$TIME" -f '%e %U %S %M' -o "$WORK/t_base" "$SQLITE3" -batch -separator '|' "$ARCH" \
            <"$ROOT/bench/check_baseline.sql" >/dev/null 2>&1 || true
        best_untouched=$(min "$best_untouched" "$(cpu_ns "$WORK/t_base")")
    done
    log "riscrittura nelle altre forme (seme $FORME)"
    "$TIME" -f '%e %U %S %M' -o "$WORK/t_forme" "$FORMS" "$ARCH" "$FORME" --ore >"$WORK/forme.out" 2>"$WORK/forme.err" \
        || { cat "$WORK/forme.err" >&2; exit 2; }
    tr '\n' ' ' <"$WORK/forme.out" | sed 's/ $//' >&2; echo >&2
    rewrite=" forme=$FORME rewrite_seconds=$(secs "$(cpu_ns "$WORK/t_forme")") rewrite_wall_seconds=$(secs "$(wall_ns "$WORK/t_forme")")"
fi

# --- check: the whole catalogue against the 29 counting queries in the stock shell ------------
best_ours=""; best_base=""; wall_ours=""; wall_base=""; rss=0
for _ in $(seq "$REPEAT"); do
    st=0
    "$TIME" -f '%e %U %S %M' -o "$WORK/t_ours" "$CLI" check --home "$DEMO" --archive "$DEMO/archivi" \
        >"$WORK/check.out" 2>"$WORK/check.err" || st=$?
    [ "$st" -le 1 ] || { cat "$WORK/check.err" >&2; exit 2; }
    best_ours=$(min "$best_ours" "$(cpu_ns "$WORK/t_ours")")
    wall_ours=$(min "$wall_ours" "$(wall_ns "$WORK/t_ours")")
    kb=$(tail -n 1 "$WORK/t_ours" | awk '{ print $4 }')
    [ "$kb" -gt "$rss" ] && rss=$kb
    "$TIME" -f '%e %U %S %M' -o "$WORK/t_base" "$SQLITE3" -batch -separator '|' "$ARCH" \
        <"$ROOT/bench/check_baseline.sql" >"$WORK/base.out" 2>"$WORK/base.err" || true
    best_base=$(min "$best_base" "$(cpu_ns "$WORK/t_base")")
    wall_base=$(min "$wall_base" "$(wall_ns "$WORK/t_base")")
done
# The counts must agree: the check's "Rilevati n record" (0 for a passed task) for each of the 29
# data checks, against the shell's counts; a query that fails in both (No. 24) counts as "-".
# With --forme the counts are held to the check's on the demo before the rewrite instead: plain
# SQLite reads neither a date in another form as the same date nor accented letters without regard
# to case, so the shell's counts on the rewritten archive are not the archive's.
check_counts "$WORK/check.out" >"$WORK/ours.counts"
awk -F '|' '{ c[$1] = $2 } END { for (i = 1; i <= 29; i++) print i "|" (i in c ? c[i] : "-") }' \
    "$WORK/base.out" >"$WORK/base.counts"
expected=$WORK/base.counts
[ -n "$FORME" ] && expected=$WORK/untouched.counts
if cmp -s "$WORK/ours.counts" "$expected"; then
    same=yes
else
    same=no
    if [ -n "$FORME" ]; then log "i conteggi del controllo prima e dopo la riscrittura differiscono:"
    else log "i conteggi del controllo e della shell differiscono:"; fi
    paste -d' ' "$WORK/ours.counts" "$expected" >&2
fi
echo "check ratio=$(ratio "$best_ours" "$best_base") seconds=$(secs "$best_ours")" \
     "baseline_seconds=$(secs "$best_base") peak_rss_mb=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')" \
     "counts_match=$same wall_ratio=$(ratio "$wall_ours" "$wall_base") wall_seconds=$(secs "$wall_ours")" \
     "baseline_wall_seconds=$(secs "$wall_base") orders=$ORDERS$rewrite"
if [ -n "$FORME" ]; then
    echo "check_rewritten ratio_to_untouched_shell=$(ratio "$best_ours" "$best_untouched")" \
         "seconds=$(secs "$best_ours") untouched_baseline_seconds=$(secs "$best_untouched") counts_match=$same"
fi

# --- length change of DETT_ORD.CODCLI (in the index DOCUMENTO) to 20 characters -------------
TAB=DETT_ORD; FIELD=CODCLI; LEN=20
best_ours=""; best_base=""; wall_ours=""; wall_base=""
for _ in $(seq "$REPEAT"); do
    cp "$ARCH" "$WORK/len_ours.mdb"
    cp "$ARCH" "$WORK/len_base.mdb"
    out=$("$BENCH" length "$WORK/len_ours.mdb" "$TAB" "$FIELD" "$LEN")
    best_ours=$(min "$best_ours" "$(echo "$out" | sed -n 's/.*\bseconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    wall_ours=$(min "$wall_ours" "$(echo "$out" | sed -n 's/.*wall_seconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    # The same statements in the shell, in one transaction: drop the indexes that contain the
    # field, add the new column, copy, drop the old column, rename the new one, recreate the
    # indexes.
    {
        echo ".timer on"
        echo "BEGIN;"
        "$SQLITE3" -batch -noheader "$WORK/len_base.mdb" \
            "SELECT DISTINCT 'DROP INDEX \"' || m.name || '\";' FROM sqlite_master m, pragma_index_info(m.name) i
             WHERE m.type = 'index' AND m.tbl_name = '$TAB' AND m.sql IS NOT NULL AND i.name = '$FIELD' COLLATE NOCASE;"
        echo "ALTER TABLE \"$TAB\" ADD COLUMN \"NEW$FIELD\" TEXT($LEN) COLLATE NOCASE;"
        echo "UPDATE \"$TAB\" SET \"NEW$FIELD\" = \"$FIELD\";"
        echo "ALTER TABLE \"$TAB\" DROP COLUMN \"$FIELD\";"
        echo "ALTER TABLE \"$TAB\" RENAME COLUMN \"NEW$FIELD\" TO \"$FIELD\";"
        "$SQLITE3" -batch -noheader "$WORK/len_base.mdb" \
            "SELECT DISTINCT m.sql || ';' FROM sqlite_master m, pragma_index_info(m.name) i
             WHERE m.type = 'index' AND m.tbl_name = '$TAB' AND m.sql IS NOT NULL AND i.name = '$FIELD' COLLATE NOCASE;"
        echo "COMMIT;"
    } >"$WORK/len_base.sql"
    "$SQLITE3" -batch -bail "$WORK/len_base.mdb" <"$WORK/len_base.sql" >"$WORK/len_base.out"
    # .timer: "Run Time: real R user U sys S" after each statement.
    best_base=$(min "$best_base" "$(awk '/^Run Time: real/ { t += $6 + $8 } END { printf "%.0f", t * 1e9 }' "$WORK/len_base.out")")
    wall_base=$(min "$wall_base" "$(awk '/^Run Time: real/ { t += $4 } END { printf "%.0f", t * 1e9 }' "$WORK/len_base.out")")
done
rm -f "$WORK/len_ours.mdb" "$WORK/len_base.mdb"
echo "length_change ratio=$(ratio "$best_ours" "$best_base") seconds=$(secs "$best_ours")" \
     "baseline_seconds=$(secs "$best_base") wall_ratio=$(ratio "$wall_ours" "$wall_base")" \
     "wall_seconds=$(secs "$wall_ours") baseline_wall_seconds=$(secs "$wall_base")" \
     "table=$TAB field=$FIELD length=$LEN"

# --- safety copy of the archive against cp of the same file, and the integrity check -----------
best_ours=""; best_base=""; wall_ours=""; wall_base=""; best_int=""; wall_int=""; best_sync=""; wall_sync=""
for _ in $(seq "$REPEAT"); do
    rm -f "$WORK/copia.mdb" "$WORK/cp.mdb"
    out=$("$BENCH" backup "$ARCH" "$WORK/copia.mdb")
    copy_kind=$(echo "$out" | sed -n 's/.* copy=\([a-z]*\).*/\1/p')
    best_ours=$(min "$best_ours" "$(echo "$out" | sed -n 's/^seconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    wall_ours=$(min "$wall_ours" "$(echo "$out" | sed -n 's/.* wall_seconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    best_int=$(min "$best_int" "$(echo "$out" | sed -n 's/.* integrity_seconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    wall_int=$(min "$wall_int" "$(echo "$out" | sed -n 's/.* integrity_wall_seconds=\([0-9.]*\).*/\1/p' | awk '{ printf "%.0f", $1 * 1e9 }')")
    "$TIME" -f '%e %U %S %M' -o "$WORK/t_cp" cp "$ARCH" "$WORK/cp.mdb"
    best_base=$(min "$best_base" "$(cpu_ns "$WORK/t_cp")")
    wall_base=$(min "$wall_base" "$(wall_ns "$WORK/t_cp")")
    # The same copy made durable as ours is: cp, then the copy synced to disk.
    rm -f "$WORK/cp.mdb"
    "$TIME" -f '%e %U %S %M' -o "$WORK/t_cps" sh -c 'cp "$1" "$2" && sync "$2"' sh "$ARCH" "$WORK/cp.mdb"
    best_sync=$(min "$best_sync" "$(cpu_ns "$WORK/t_cps")")
    wall_sync=$(min "$wall_sync" "$(wall_ns "$WORK/t_cps")")
done
bytes=$(stat -c %s "$ARCH")
rm -f "$WORK/copia.mdb" "$WORK/cp.mdb"
echo "backup ratio=$(ratio "$best_ours" "$best_base") seconds=$(secs "$best_ours")" \
     "baseline_seconds=$(secs "$best_base") wall_ratio=$(ratio "$wall_ours" "$wall_base")" \
     "wall_seconds=$(secs "$wall_ours") baseline_wall_seconds=$(secs "$wall_base")" \
     "synced_ratio=$(ratio "$best_ours" "$best_sync") synced_baseline_seconds=$(secs "$best_sync")" \
     "synced_wall_ratio=$(ratio "$wall_ours" "$wall_sync") synced_baseline_wall_seconds=$(secs "$wall_sync")" \
     "integrity_seconds=$(secs "$best_int") integrity_wall_seconds=$(secs "$wall_int")" \
     "archive_mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') copy=$copy_kind"

# --- delete walk over 100,000 problem records ------------------------------------------------
cp "$ARCH" "$WORK/walk.mdb"
# (On an archive rewritten by --forme the orders it adds may be refused: the line then says so.)
if ! line=$("$BENCH" walk "$WORK/walk.mdb" --records 100000); then
    log "la corsa di eliminazione non e' riuscita"
    line="walk_delete failed=yes"
fi
rm -f "$WORK/walk.mdb"
echo "$line"

# --- import of an Access file: the sample with the most records, its records copied 50 times ---
SAMPLES=${CORVALE_JET_SAMPLES:-}
for d in "$ROOT/../shared/jet-samples" "$ROOT/../../shared/jet-samples"; do
    [ -z "$SAMPLES" ] && [ -f "$d/nwind.mdb" ] && SAMPLES=$(cd "$d" && pwd)
done
if [ -n "$SAMPLES" ]; then
    SOURCE=$SAMPLES/nwind.mdb
    best=""; line=""
    for _ in $(seq "$REPEAT"); do
        rm -f "$WORK/import.db"
        out=$("$BENCH" import "$SOURCE" "$WORK/import.db" --repeat 50 2>/dev/null | grep '^import ')
        v=$(echo "$out" | sed -n 's/.*records_per_second=\([0-9]*\).*/\1/p')
        if [ -z "$best" ] || [ "$v" -gt "$best" ]; then best=$v; line=$out; fi
    done
    rm -f "$WORK/import.db"
    echo "$line source=$(basename "$SOURCE")"
else
    log "file Access di prova non trovati (CORVALE_JET_SAMPLES): import non misurato"
fi
