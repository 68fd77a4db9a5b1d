#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 system and starts it from its menu entry,
# as a new user would: a minimal bookworm made with debootstrap in a chroot, `apt install
# ./quarl_*.deb`, then the desktop entry launched with dex under Xvfb and openbox for a user
# who has never run the program. Checks that the logon form shows and the user's
# installation folder is made, and leaves a screenshot in build/package/fresh-logon.png.
# Needs root (chroot and mounts) and the network; takes a few minutes. Not part of the tests.
#   scripts/try_package.sh [ROOT_DIR]      (default /tmp/quarl-fresh-bookworm, kept for reuse)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
root="${1:-/tmp/quarl-fresh-bookworm}"
[ "$(id -u)" -eq 0 ] || { echo "run as root: it makes a chroot" >&2; exit 1; }
deb="$(ls "$here"/build/package/quarl_*.deb 2>/dev/null | head -1)"
[ -n "$deb" ] || deb="$("$here/scripts/package.sh" | tail -1)"
command -v debootstrap >/dev/null || { apt-get update -qq; apt-get install -y -qq debootstrap; }
if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
mounted=()
# Stops every process running inside the chroot (and only those).
stop_inside() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$(readlink -f "$root")" ] && kill "${p#/proc/}" 2>/dev/null || true
  done
  sleep 1
}
cleanup() {
  stop_inside
  for ((i=${#mounted[@]}-1; i>=0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
for m in proc dev dev/pts; do
  mountpoint -q "$root/$m" || {
    if [ "$m" = proc ]; then mount -t proc proc "$root/proc"; else mount --bind "/$m" "$root/$m"; fi
    mounted+=("$root/$m")
  }
done
stop_inside
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/root/"
chroot "$root" bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./root/$(basename "$deb") >/dev/null"
chroot "$root" bash -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb xauth openbox xdotool imagemagick dex >/dev/null'
chroot "$root" bash -c 'id clerk >/dev/null 2>&1 && userdel -r clerk >/dev/null 2>&1; useradd -m clerk'
chroot "$root" bash -s <<'INNER'
set -e
export DISPLAY=:7
Xvfb :7 -screen 0 1600x1000x24 >/tmp/xvfb.log 2>&1 &
sleep 2
su clerk -c 'export DISPLAY=:7; openbox >/dev/null 2>&1 &'
sleep 2
su clerk -c 'export DISPLAY=:7; cd ~; dex /usr/share/applications/quarl.desktop >/tmp/quarl.log 2>&1 &'
for _ in $(seq 30); do xdotool search --name '^Logon$' >/dev/null 2>&1 && break; sleep 1; done
xdotool search --name '^Logon$' >/dev/null || { echo "the logon form did not show"; cat /tmp/quarl.log; exit 1; }
import -window root /tmp/fresh-logon.png
test -f /home/clerk/.local/share/Quarl/Quarl.ini || { echo "no installation folder for the user"; exit 1; }
INNER
cp "$root/tmp/fresh-logon.png" "$here/build/package/fresh-logon.png"
echo "installed $(basename "$deb") on a fresh Debian 12; the menu entry started Quarl for a new user"
