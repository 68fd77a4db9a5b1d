#!/usr/bin/env bash
# Configures and builds Quarl into build/ of the source tree.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
launcher=()
# A compiler cache, where one is installed, makes rebuilds of other checkouts quick.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$here/build" -j "$(nproc)"
