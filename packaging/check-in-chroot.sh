#!/usr/bin/env bash
# Installs the Debian package on a bare Debian 12 (a chroot made with debootstrap) with apt, so that
# only what the package depends on comes in, starts the installed program there on a virtual screen
# and opens a standard dialog, to see that the program starts and that the dialog's buttons are in
# Chinese. Screenshots of both are left in the output folder; look at them.
#
# Usage (as root, from the source tree):
#   bash packaging/check-in-chroot.sh build/lanshu_1.0_amd64.deb [chroot folder] [output folder]
# The chroot folder (default /tmp/lanshu-chroot) is made on the first run and reused after; the
# package is installed afresh each time. RECOMMENDS=1 installs the recommended packages too.
#
# The screen (Xvfb), the window tools (xdotool) and the screenshots (ImageMagick's import) run on this
# machine, outside the chroot: the chroot holds nothing but Debian's base system and the package with
# its dependencies. Needs: debootstrap xvfb xdotool imagemagick.
set -euo pipefail

deb="$(realpath "${1:?the package file, e.g. build/lanshu_1.0_amd64.deb}")"
root="${2:-/tmp/lanshu-chroot}"
out="${3:-/tmp/lanshu-chroot-check}"
suite=bookworm
user=tester

for tool in debootstrap Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install debootstrap xvfb xdotool imagemagick)" >&2; exit 2; }
done
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot and mount need it)" >&2; exit 2; }

# Debian's mirror as this machine's apt knows it (lines in use, not comments).
mirror="$(grep -rhE '^[^#]*https?://' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
  grep -oE 'https?://[^ ]*/debian/?' | grep -v -- '-security' | head -n1 || true)"
mirror="${mirror:-http://deb.debian.org/debian}"
mirror="${mirror%/}"
security="${mirror%/debian}/debian-security"

if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "== Making a bare $suite in $root from $mirror"
  debootstrap --variant=minbase "$suite" "$root" "$mirror"
fi
# The same updates as this machine, since the package was built against them.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounts=()
cleanup() {
  [ -n "${lanshu_pid:-}" ] && kill "$lanshu_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
bind() { # bind <what> <where in the chroot> [mount options...]
  mkdir -p "$root$2"
  if [ "$1" = proc ] || [ "$1" = tmpfs ]; then
    mount -t "$1" "$1" "$root$2" "${@:3}"
  else
    mount --bind "$1" "$root$2"
  fi
  mounts+=("$root$2")
}
bind proc /proc
bind /dev /dev
bind tmpfs /dev/shm -o mode=1777
bind /sys /sys

echo "== Installing $(basename "$deb") with apt"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update -q
in_root apt-get purge -y -q lanshu >/dev/null 2>&1 || true
cp "$deb" "$root/tmp/lanshu.deb"
recommends=--no-install-recommends
[ "${RECOMMENDS:-0}" = 1 ] && recommends=--install-recommends
in_root apt-get install -y -q "$recommends" /tmp/lanshu.deb
in_root dpkg-query -W -f='${Package} ${Version}\n' lanshu qt6-translations-l10n sensible-utils
in_root sh -c 'dpkg-query -W -f="\${Package}\n" | wc -l | sed "s/^/packages in the chroot: /"'
in_root sh -c "id -u $user >/dev/null 2>&1 || useradd -m $user"

echo "== Starting the installed program on a virtual screen"
mkdir -p "$out"
rm -f "$out"/*.png
display=:$((90 + RANDOM % 100))
socket="/tmp/.X11-unix/X${display#:}"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb_pid=$!
for _ in $(seq 100); do [ -S "$socket" ] && break; sleep 0.1; done
[ -S "$socket" ] || { echo "the virtual screen did not start" >&2; exit 1; }
bind /tmp/.X11-unix /tmp/.X11-unix
export DISPLAY="$display"

# A new user with a clean home: the program makes the user's data folder at its first start. The
# browser engine's sandbox cannot start inside a chroot (no new user namespace there), so it is off.
uid="$(in_root id -u "$user")"
in_root sh -c "rm -rf /home/$user/.local /home/$user/.config /run/user/$uid &&
  mkdir -p /run/user/$uid && chown $user: /run/user/$uid && chmod 700 /run/user/$uid"
chroot --userspec="$user:$user" "$root" env -i PATH=/usr/bin:/bin HOME="/home/$user" USER="$user" \
  DISPLAY="$display" XDG_RUNTIME_DIR="/run/user/$uid" LANG=C.UTF-8 QTWEBENGINE_DISABLE_SANDBOX=1 \
  lanshu >"$out/lanshu.log" 2>&1 &
lanshu_pid=$!

# Waits until a window whose title matches is shown; prints its id.
wait_window() {
  local id
  for _ in $(seq 600); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$lanshu_pid" 2>/dev/null || { echo "the program ended; its output:" >&2; cat "$out/lanshu.log" >&2; return 1; }
    sleep 0.2
  done
  echo "no window '$1' appeared" >&2
  return 1
}
# Waits until no window whose title matches is shown.
wait_gone() {
  for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  echo "the window '$1' did not close" >&2
  return 1
}
# Clicks at a point of a window (pixels from its top left corner).
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# The picture guide opens at the first start, before the main window; closing it shows the main window on
# the welcome panel.
guide="$(wait_window '^岚枢入门')"
sleep 1
import -window root "$out/0-guide.png"
xdotool windowfocus --sync "$guide" 2>/dev/null || true
xdotool key --window "$guide" Escape
wait_gone '^岚枢入门'
main="$(wait_window '^岚枢 V')"
sleep 2
import -window root "$out/1-started.png"

# A standard dialog: the import's file dialog. The import needs one domain in the list first.
echo "== Opening a standard dialog: 域名管理, 添 加 (one domain), 批量导入, 从EXCEL导入"
click "$main" 44 67 # 域名管理
sleep 1
click "$main" 127 58 # 添 加
add="$(wait_window '^添加新域名')"
click "$add" 143 21 # the domain box
xdotool type --delay 20 example.com
click "$add" 325 264 # 保  存
wait_gone '^添加新域名'
click "$main" 380 58 # 批量导入
import_dialog="$(wait_window '^从EXCEL文件批量导入域名')"
click "$import_dialog" 264 216 # 从EXCEL导 入
wait_window '^请选择正确的excel文件' >/dev/null
sleep 1
import -window root "$out/2-standard-dialog.png"
echo "== Screenshots in $out: 0-guide.png, 1-started.png, 2-standard-dialog.png (the program's output: lanshu.log)"
