#!/usr/bin/env bash
# Longer fuzzing of every reader of outside files: builds the sanitizer build and runs each
# target for SECONDS (default 600), keeping what it finds in build-sanitize/fuzz/<target>/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
shift || true
"$here/scripts/build.sh" --sanitize
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(json samimport samcheck samreply flatfile xmlimport inifile)
status=0
for t in "${targets[@]}"; do
  work="$here/build-sanitize/fuzz/$t"
  mkdir -p "$work/corpus"
  echo "== fuzz_$t for ${seconds}s"
  QUARL_FUZZ_FINDINGS="$work/findings" "$here/fuzz/run.sh" "$here/build-sanitize/fuzz/fuzz_$t" \
    "$here/fuzz/corpus/$t" "$seconds" "$work/corpus" || status=1
done
exit $status
