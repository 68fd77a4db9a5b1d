#!/usr/bin/env bash
# IGM interchange benchmark on SQLite: a voyage of 10,000 lines and 50,000 containers.
# Times (median of RUNS runs) and peak memory of quarlctl write-igm, import-igm, check-igm,
# export-xml and import-xml, beside the sqlite3 shell doing the engine's share alone:
# writing the same joined rows to a file, and .import of the same rows as CSV. Each
# command and its engine share run one after the other, round by round.
#   bench/run_igm.sh [BUILD_DIR]     (default: build/ of the source tree)
# Environment: LINES, CONTAINERS, RUNS; BIG_MB=1024 also checks a manifest of that many
# MB and a file of as many zero bytes (peak memory of check-igm).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
q="$build/quarlctl"
# the commands that change the made-up companies act as their default user
export QUARL_USER="${QUARL_USER:-QUARL}" QUARL_PASSWORD="${QUARL_PASSWORD:-TOVEK}"
lines="${LINES:-10000}"
containers="${CONTAINERS:-50000}"
runs="${RUNS:-7}"
for tool in "$q" /usr/bin/time sqlite3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work="$(mktemp -d /tmp/quarl-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home" "$work/out"
ctl() { "$q" --home "$home" "$@"; }

# one run: "seconds peak-KB" of the command
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" \
    || { cat "$work/stderr" >&2; echo "failed: $*" >&2; exit 1; }
  cat "$work/time"
}
# one timed run of a step: its seconds and peak appended to $work/runs/NAME; $prepare
# runs (untimed) before it
once() {
  local name="$1" prepare="$2"; shift 2
  eval "$prepare"
  measure "$@" >> "$work/runs/$name"
}
# median seconds and largest peak of each step's runs
summarise() {
  local name
  for name in "$@"; do
    local median peak
    median=$(awk '{print $1}' "$work/runs/$name" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    peak=$(awk '$2 > m {m = $2} END {print m}' "$work/runs/$name")
    printf '%s %s %s\n' "$name" "$median" "$peak" >> "$work/results"
  done
}
fresh="rm -f '$work/target.qdb-wal' '$work/target.qdb-shm'; cp '$work/empty.qdb' '$work/target.qdb'"

echo "Preparing a voyage of $lines lines and $containers containers ..." >&2
ctl init-db "$work/empty.qdb"
cp "$work/empty.qdb" "$work/source.qdb"
ctl demo-voyage --db "$work/source.qdb" --vessel BENCH --voyage 001 --lines "$lines" --containers "$containers"
: > "$work/results"
write=("$q" --home "$home" write-igm --db "$work/source.qdb" --vessel BENCH --voyage 001 --out "$work/out"
       --icegate-user BENCHAGENT --custom-house INNSA1)
"${write[@]}" >/dev/null
igm="$work/out/BENCH001.igm"

# The engine's share of the write: the same header, lines and containers, joined and
# ordered as the writer takes them, written to a file by the sqlite3 shell.
cat > "$work/dump.sql" <<'SQL'
.separator "\035" "\r\n"
.output OUT
select vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, portarrival, lastport, lastport1, lastport2, grt, nrt, vsltype, cargodesc, lhdues, samebottom, shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, terminalop from vesinfo where vslcode = 'BENCH' and voyno = '001';
select id, lineno, vslcode, voyno, blno, bldt, portload, portdest, impname, impadd1, impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, destcode, pkgs, pkgtype, grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode, tpregno, caccode, trmode, mlo from cargo where vslcode = 'BENCH' and voyno = '001' order by id;
select cargo.vslcode, cargo.voyno, cargo.lineno, contain.containno, contain.sealno, contain.agentcode, contain.constatus, contain.conpkgs, contain.conwt, contain.isocode, contain.socflag from contain inner join cargo on contain.ref = cargo.id where cargo.vslcode = 'BENCH' and cargo.voyno = '001' order by cargo.id, contain.autoid;
SQL
sed -i "s|OUT|$work/out/dump.txt|" "$work/dump.sql"

# The engine's share of the import: the same rows as CSV, loaded with .import.
sqlite3 -batch "$work/source.qdb" <<SQL
.headers off
.mode csv
.once $work/cargo.csv
select * from cargo;
.once $work/contain.csv
select * from contain;
SQL
cat > "$work/import.sql" <<SQL
.import --csv $work/cargo.csv cargo
.import --csv $work/contain.csv contain
SQL

mkdir -p "$work/runs"
steps=("write-igm" "sqlite3 dump of the same rows" "import-igm into an empty database"
       "sqlite3 .import of the same rows (CSV)" "check-igm" "export-xml" "import-xml into an empty database")
for _ in $(seq "$runs"); do
  once "write-igm" ":" "${write[@]}"
  once "sqlite3 dump of the same rows" ":" sqlite3 -batch "$work/source.qdb" -init "$work/dump.sql" .quit
  once "import-igm into an empty database" "$fresh" \
    "$q" --home "$home" import-igm "$igm" --db "$work/target.qdb" --with-vessel --yes
  once "sqlite3 .import of the same rows (CSV)" "$fresh" \
    sqlite3 -batch "$work/target.qdb" -init "$work/import.sql" .quit
  once "check-igm" ":" bash -c '"$0" --home "$1" check-igm "$2" || true' "$q" "$home" "$igm"
  once "export-xml" ":" "$q" --home "$home" export-xml --db "$work/source.qdb" --vessel BENCH --voyage 001 --out "$work/out"
  once "import-xml into an empty database" "$fresh" \
    "$q" --home "$home" import-xml "$work/out/cargo.xml" "$work/out/contain.xml" --db "$work/target.qdb" --vessel BENCH --voyage 001
done
summarise "${steps[@]}"

# the imports stored what they read
eval "$fresh"
ctl import-igm "$igm" --db "$work/target.qdb" --with-vessel --yes 2>/dev/null
ctl write-igm --db "$work/target.qdb" --vessel BENCH --voyage 001 --out "$work/home" \
  --icegate-user BENCHAGENT --custom-house INNSA1 >/dev/null
cmp -s "$igm" "$work/home/BENCH001.igm" || { echo "round trip differs" >&2; exit 1; }

value() { awk -v n="$1" -v f="$2" -F'\t' '$1 == n {print $f}' "$work/table"; }
awk '{ secs = $(NF-1); kb = $NF; $(NF-1) = ""; $NF = ""; sub(/ +$/, ""); printf "%s\t%s\t%.0f\n", $0, secs, kb / 1024 }' \
  "$work/results" > "$work/table"
printf 'Voyage: %s lines, %s containers; IGM file %s bytes; median of %s runs\n\n' \
  "$lines" "$containers" "$(stat -c %s "$igm")" "$runs"
printf '| Step | Time (s) | Peak memory (MB) |\n|---|---:|---:|\n'
awk -F'\t' '{ printf "| %s | %.2f | %d |\n", $1, $2, $3 }' "$work/table"
w=$(value "write-igm" 2); d=$(value "sqlite3 dump of the same rows" 2)
i=$(value "import-igm into an empty database" 2); c=$(value "sqlite3 .import of the same rows (CSV)" 2)
echo
awk -v w="$w" -v d="$d" -v i="$i" -v c="$c" 'BEGIN {
  printf "write-igm / sqlite3 dump:    %.2fx (target: at most 1.4x)\n", w / d
  printf "import-igm / sqlite3 import: %.2fx (target: at most 2x)\n", i / c }'
peak=$(awk -F'\t' '$3 > m {m = $3} END {print m}' "$work/table")
echo "largest peak memory: ${peak} MB (target: under 200 MB)"

# check-igm on a large manifest (the voyage's records repeated, lines renumbered) and on
# as many zero bytes
if [ -n "${BIG_MB:-}" ]; then
  /usr/bin/python3 - "$igm" "$work/big.igm" "$BIG_MB" <<'PY'
import sys
src, dst, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, 'rb').read().split(b'\r\n')
head = data[:data.index(b'<cargo>') + 1]
cargo = data[data.index(b'<cargo>') + 1:data.index(b'<END-cargo>')]
boxes = data[data.index(b'<contain>') + 1:data.index(b'<END-contain>')]
size = sum(len(l) + 2 for l in cargo + boxes)
rounds = max(1, mb * 1024 * 1024 // size)
n = len(cargo)
def renumber(rec, offset):
    f = rec.split(b'\x1d')
    f[5] = str(int(f[5]) + offset).encode()
    return b'\x1d'.join(f)
with open(dst, 'wb') as out:
    vessel = head[4].split(b'\x1d')
    vessel[17] = str(n * rounds).encode()
    head[4] = b'\x1d'.join(vessel)
    out.write(b'\r\n'.join(head) + b'\r\n')
    for r in range(rounds):
        out.write(b''.join(renumber(l, r * n).replace(b'SYN001', b'S%05d' % r) + b'\r\n' for l in cargo))
    out.write(b'<END-cargo>\r\n<contain>\r\n')
    for r in range(rounds):
        out.write(b''.join(renumber(l, r * n) + b'\r\n' for l in boxes))
    out.write(b'<END-contain>\r\n<END-manifest>\r\nTREC**\r\n')
PY
  head -c "${BIG_MB}M" /dev/zero > "$work/zeros.igm"
  echo
  for f in big.igm zeros.igm; do
    /usr/bin/time -f "%e %M" -o "$work/time" "$q" --home "$home" check-igm "$work/$f" >/dev/null 2>"$work/stderr" || true
    # a file with errors ends with status 1, which time reports on a line before the figures
    read -r secs kb < <(tail -n 1 "$work/time")
    printf 'check-igm %s (%s bytes): %s s, peak %.0f MB; %s\n' "$f" "$(stat -c %s "$work/$f")" "$secs" "$(echo "$kb / 1024" | bc -l)" \
      "$(tail -1 "$work/stderr")"
  done
fi
