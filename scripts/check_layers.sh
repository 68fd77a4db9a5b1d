#!/usr/bin/env bash
# Checks that every #include between the folders of src/ points down the layers:
#
#   core < store < appearance < browser < reports < igm < entry < app, cli
#
# app (the desktop shell) and cli (quarlctl) are the two tops and never include each
# other. Within a folder, domain code never includes its screens (ui/), and no domain code
# includes any screen folder. Prints each offending line and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case "$1" in
    core) echo 0 ;; store) echo 1 ;; appearance) echo 2 ;; browser) echo 3 ;;
    reports) echo 4 ;; igm) echo 5 ;; entry) echo 6 ;; app) echo 7 ;; cli) echo 7 ;;
    *) echo -1 ;;
  esac
}

bad=0
while IFS= read -r hit; do
  file=${hit%%:*}
  rest=${hit#*:}; rest=${rest#*:}
  target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$rest")
  from=${file%%/*}
  to=${target%%/*}
  from_ui=0; [[ $file == */ui/* ]] && from_ui=1
  to_ui=0; [[ $target == */ui/* ]] && to_ui=1
  rf=$(rank "$from"); rt=$(rank "$to")
  if [[ $rt -lt 0 ]]; then
    continue # a header of the same folder named without its folder, or a generated one
  fi
  if [[ $rf -lt 0 ]]; then
    echo "unknown layer: $file"; bad=1; continue
  fi
  if [[ $from != "$to" && ( $rt -gt $rf || ( $rt -eq $rf ) ) ]]; then
    echo "upward: $hit"; bad=1
  elif [[ $to_ui -eq 1 && $from_ui -eq 0 && $file != app/main.cpp ]]; then
    echo "domain code includes a screen: $hit"; bad=1
  fi
done < <(grep -rn '^#include "' --include='*.cpp' --include='*.h' .  | sed 's|^\./||')

if [[ $bad -ne 0 ]]; then
  echo "include layering broken"
  exit 1
fi
echo "include layering holds: every folder of src/ includes only from folders below it"
