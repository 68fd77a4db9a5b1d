#!/usr/bin/env bash
# Report export benchmark on SQLite: a voyage of 10,000 lines and 50,000 containers.
# Each export alone, as `quarlctl report` runs it (read the voyage, lay out, write the file):
# wall-clock time, processor time (user + system) and peak memory of the process, for the
# check-list and the cargo declaration as PDF and as RTF. Times are the median of RUNS
# runs, the peak the largest. The processor time says what an idle machine's wall clock
# would when others share this one.
#   bench/run_reports.sh [BUILD_DIR]     (default: build/ of the source tree)
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
for tool in "$q" /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
export QT_QPA_PLATFORM=offscreen

work="$(mktemp -d /tmp/quarl-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"

load_start="$(cut -d' ' -f1-3 /proc/loadavg)"
echo "Preparing a voyage of $lines lines and $containers containers ..." >&2
"$q" --home "$home" init-db "$work/voyage.qdb"
"$q" --home "$home" demo-voyage --db "$work/voyage.qdb" --vessel BENCH --voyage 001 \
  --lines "$lines" --containers "$containers"

# one run: "wall user+system peak-KB" of the command
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >"$work/stdout" 2>"$work/stderr" \
    || { cat "$work/stderr" >&2; echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: > "$work/results"
for report in checklist cargodec; do
  for format in pdf rtf; do
    out="$work/report.$format"
    walls=() cpus=() peak=0
    for _ in $(seq "$runs"); do
      rm -f "$out"
      read -r wall cpu kb < <(measure "$q" --home "$home" report "$report" --db "$work/voyage.qdb" \
        --vessel BENCH --voyage 001 "--$format" "$out")
      walls+=("$wall"); cpus+=("$cpu")
      (( kb > peak )) && peak=$kb
    done
    pages=$(cat "$work/stdout" "$work/stderr" | grep -o '[0-9]* page(s)' | head -1 | cut -d' ' -f1)
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$report" "${format^^}" "$pages" \
      "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" \
      "$((peak / 1024))" "$(stat -c %s "$out")" >> "$work/results"
  done
done

printf 'Voyage: %s lines, %s containers; median of %s runs; load average at the start %s, at the end %s\n\n' \
  "$lines" "$containers" "$runs" "$load_start" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '| Report | Format | Pages | Wall (s) | Processor (s) | Peak memory (MB) | File (MB) |\n'
printf '|---|---|---:|---:|---:|---:|---:|\n'
awk -F'\t' '{ printf "| %s | %s | %s | %.2f | %.2f | %d | %.1f |\n", $1 == "checklist" ? "check-list" : "cargo declaration",
  $2, $3, $4, $5, $6, $7 / 1048576 }' "$work/results"
echo
awk -F'\t' '$2 == "PDF" { if ($4 > t) t = $4; if ($6 > m) m = $6 }
  END { printf "PDF export: at most %.2f s wall (target: under 15 s), at most %d MB (target: under 300 MB)\n", t, m }' \
  "$work/results"
