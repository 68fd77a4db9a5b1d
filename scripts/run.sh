#!/usr/bin/env bash
# Installs what is missing, builds, creates the demo installation on first use and starts Quarl.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/deps.sh"
"$here/scripts/build.sh"
home="${QUARL_HOME:-$HOME/.local/share/Quarl}"
export QUARL_HOME="$home"
if [ ! -f "$home/Quarl.ini" ]; then
  "$here/build/quarlctl" --home "$home" init-home --demo
  echo "Demo installation created in $home (user QUARL, password TOVEK)."
fi
exec "$here/build/quarl"
