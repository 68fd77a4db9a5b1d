#!/usr/bin/env bash
# Runs one fuzz target: run.sh TARGET SEEDS SECONDS [CORPUS]. New inputs go to CORPUS (a
# scratch folder when none is given), never to the seeds. A crash, a sanitizer finding, a
# leak, a hang or too much memory fails the run; the input that made it is kept beside the
# corpus and named.
set -euo pipefail
target="$1"
seeds="$2"
seconds="$3"
corpus="${4:-}"
scratch="$(mktemp -d /tmp/quarl-fuzz.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
[ -n "$corpus" ] || corpus="$scratch/corpus"
findings="${QUARL_FUZZ_FINDINGS:-$(dirname "$corpus")/findings}"
mkdir -p "$corpus" "$findings"
name="$(basename "$target")"
set +e
"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
  -artifact_prefix="$findings/$name-" -print_final_stats=1 "$corpus" "$seeds" >"$scratch/log" 2>&1
rc=$?
set -e
grep -E "^(stat::number_of_executed_units|stat::new_units_added|Done)" "$scratch/log" || true
if [ $rc -ne 0 ]; then
  tail -60 "$scratch/log"
  echo "$name failed (exit $rc); the input is in $findings"
  # a scratch corpus goes with the run, the findings are copied out of it
  if [ -z "${4:-}" ]; then
    keep="${QUARL_FUZZ_KEEP:-/tmp}/quarl-fuzz-findings-$name-$$"
    mkdir -p "$keep" && cp -r "$findings"/. "$keep"/ && echo "kept in $keep"
  fi
fi
exit $rc
