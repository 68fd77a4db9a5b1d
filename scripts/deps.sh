#!/usr/bin/env bash
# Installs the Debian 12 packages Quarl needs to build, run and test, when missing.
set -euo pipefail

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
          libcurl4-openssl-dev libssl-dev libsqlite3-dev nlohmann-json3-dev sqlite3 postgresql-15 python3 python3-aiosmtpd xdg-utils
          fonts-dejavu-core xvfb xauth poppler-utils unrtf
          python3-jsonschema clang libclang-rt-14-dev llvm)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
