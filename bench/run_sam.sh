#!/usr/bin/env bash
# SAM benchmark on SQLite: a voyage of 10,000 lines and 50,000 containers. Times (median
# of RUNS runs) and peak memory of quarlctl write-sam, check-sam and import-sam; the made-up
# voyage lacks today's filing data (its check finds about 113,000 findings), so write-sam and
# check-sam are timed again on a voyage of the same size with that data filled in.
#   bench/run_sam.sh [BUILD_DIR]     (default: build/ of the source tree)
# Environment: LINES, CONTAINERS, RUNS.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
q="$build/quarlctl"
# the commands that change the made-up companies act as their default user
export QUARL_USER="${QUARL_USER:-QUARL}" QUARL_PASSWORD="${QUARL_PASSWORD:-TOVEK}"
lines="${LINES:-10000}"
containers="${CONTAINERS:-50000}"
runs="${RUNS:-5}"
work="$(mktemp -d /tmp/quarl-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home" "$work/out"
ctl() { "$q" --home "$home" "$@"; }

# "seconds peak-KB" of one run; a non-zero exit is taken (check-sam exits 1 on errors)
measure() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1 || true; cat "$work/time" | tail -1; }
bench() {
  local name="$1" prepare="$2"; shift 2
  local times=() peak=0
  for _ in $(seq "$runs"); do
    eval "$prepare"
    read -r secs kb < <(measure "$@")
    times+=("$secs")
    (( kb > peak )) && peak=$kb
  done
  printf '| %s | %s | %d |\n' "$name" "$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')" \
    $((peak / 1024)) >> "$work/results"
}

echo "Preparing a voyage of $lines lines and $containers containers ..." >&2
ctl init-db "$work/empty.qdb" >/dev/null
cp "$work/empty.qdb" "$work/source.qdb"
ctl demo-voyage --db "$work/source.qdb" --vessel BENCH --voyage 001 --lines "$lines" --containers "$containers" >/dev/null
# the made-up voyage lacks today's filing data: the file is kept all the same
write=("$q" --home "$home" write-sam --db "$work/source.qdb" --vessel BENCH --voyage 001 --out "$work/out"
       --icegate-user BENCHAGENT --custom-house INNSA1 --job 1 --even-with-errors)
"${write[@]}" >/dev/null 2>&1
sam="$(ls "$work"/out/F_SACHM23_SAM_*_DEC.json)"
: > "$work/results"
bench "write-sam (with its check)" "rm -f '$sam'" "${write[@]}"
bench "check-sam" ":" "$q" --home "$home" check-sam "$sam" --db "$work/source.qdb"
bench "import-sam into an empty database" "cp '$work/empty.qdb' '$work/target.qdb'" \
  "$q" --home "$home" import-sam "$sam" --db "$work/target.qdb" --vessel BENCH --yes

# A voyage of the same size as a clerk files it: today's filing data keyed in, and of a
# voyage made with a ninth more lines, the packaged lines (whose scenario asks for containers)
# left out, so that the same number of lines and containers remains and the check finds
# nothing to say.
cp "$work/empty.qdb" "$work/clean.qdb"
ctl demo-voyage --db "$work/clean.qdb" --vessel BENCH --voyage 001 --lines "$((lines + lines / 9))" \
  --containers "$containers" >/dev/null
sqlite3 "$work/clean.qdb" "
  delete from contain where ref in (select id from cargo where vslcode = 'BENCH' and naturecargo = 'P');
  delete from cargo where vslcode = 'BENCH' and naturecargo = 'P';
  update vesinfo set vcn = 'INNSA120240001', nextport = 'INMUN1', purpcall = '1', shiptype = '511', crewcount = 22,
    paxcount = 0 where vslcode = 'BENCH';
  update cargo set shpname = 'LION CITY COMPONENTS PTE LTD', shpaddr = '18 UBI CRESCENT', shpcity = 'SINGAPORE',
    shpcntry = 'SG', cnscity = 'MUMBAI', cnsstate = '27', cnsstatenm = 'MAHARASHTRA', cnspin = '400001',
    cnscode = '0388012345', cnscodetype = 'IEC', notname = impname, unitvol = 'LTR' where vslcode = 'BENCH';
  insert into cargoitem (ref, itemseq, hscode, itemdesc, unocode, imocode, pkgs, pkgtype)
    select id, 1, '854239', gdesc, unocode, imocode, pkgs, pkgtype from cargo where vslcode = 'BENCH';
  update compinfo set sbmtrtype = 'ASA', sbmtrcode = 'AABCD1234E', signerpan = 'ABCPN4321K';"
mkdir -p "$work/clean"
clean=("$q" --home "$home" write-sam --db "$work/clean.qdb" --vessel BENCH --voyage 001 --out "$work/clean"
       --icegate-user BENCHAGENT --custom-house INNSA1 --job 1)
"${clean[@]}" >/dev/null 2>&1
cleansam="$(ls "$work"/clean/F_SACHM23_SAM_*_DEC.json)"
bench "write-sam, clean voyage (with its check)" "rm -f '$cleansam'" "${clean[@]}"
bench "check-sam, clean voyage" ":" "$q" --home "$home" check-sam "$cleansam" --db "$work/clean.qdb"

printf 'Voyage: %s lines, %s containers; SAM file %s bytes (clean voyage: %s lines, %s bytes); median of %s runs\n\n' \
  "$lines" "$containers" "$(stat -c %s "$sam")" "$(sqlite3 "$work/clean.qdb" "select count(*) from cargo")" \
  "$(stat -c %s "$cleansam")" "$runs"
printf '| Step | Time (s) | Peak memory (MB) |\n|---|---:|---:|\n'
cat "$work/results"
