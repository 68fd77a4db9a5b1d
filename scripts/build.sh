#!/usr/bin/env bash
# Configures and builds Quarl into build/ of the source tree; with --sanitize, into
# build-sanitize/ with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$here/build"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir="$here/build-sanitize"
  extra=(-DQUARL_SANITIZE=ON)
  # clang: it builds this faster than gcc, and its libFuzzer makes the fuzz targets (fuzz/)
  if command -v clang++ >/dev/null; then
    export CC=clang CXX=clang++
  fi
fi
launcher=()
# A compiler cache, where one is installed, makes rebuilds of other checkouts quick.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# ... also with the precompiled headers, whose timestamps differ from one build to the next.
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
# Line tables only (file and line in a backtrace): a third less compile time than full
# debug information, which a debugging build (CMAKE_BUILD_TYPE=Debug) has.
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  "${launcher[@]}" "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
