#!/usr/bin/env bash
# A headless sway with two outputs of different sizes, as the lab's ordinary user (sway
# refuses root), for the Wayland program:
#   waylab.sh start            the compositor, HEADLESS-1 1280x720 and HEADLESS-2 800x600
#   waylab.sh run CMD...       CMD as that user, in that session (WAYLAND_DISPLAY set)
#   waylab.sh shot OUTPUT FILE a screenshot of one output (grim)
#   waylab.sh key KEY          a key press (wtype; it needs the delay to deliver every key)
#   waylab.sh stop
# Exits 77 from `start` where sway cannot start (not installed, no such user).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
user=$("$here/ordinary-user")
uid=$(id -u "$user")
lab=${WAYLAB_DIR:-/tmp/morvel-waylab}
runtime=$lab/runtime

as_user() {
  local socket
  socket=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -1 || true)
  setpriv --reuid="$uid" --regid="$(id -g "$user")" --init-groups \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$lab/home" XDG_RUNTIME_DIR="$runtime" \
    WAYLAND_DISPLAY=wayland-1 GDK_BACKEND=wayland SWAYSOCK="$socket" "$@"
}

case ${1:-} in
  start)
    command -v sway >/dev/null || { echo "waylab: no sway installed" >&2; exit 77; }
    mkdir -p "$lab/home" "$runtime"
    chown "$user" "$lab/home" "$runtime"
    chmod 0700 "$runtime"
    printf 'xwayland disable\noutput HEADLESS-1 resolution 1280x720 position 0 0\n' \
      > "$lab/sway.conf"
    chmod 644 "$lab/sway.conf"
    as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
      sway -c "$lab/sway.conf" > "$lab/sway.log" 2>&1 &
    echo $! > "$lab/sway.pid"
    for _ in $(seq 50); do
      [ -S "$runtime/wayland-1" ] && as_user swaymsg -q -t get_outputs 2>/dev/null && break
      sleep 0.1
    done
    [ -S "$runtime/wayland-1" ] || { echo "waylab: sway did not start" >&2; cat "$lab/sway.log" >&2; exit 77; }
    as_user swaymsg -q create_output
    as_user swaymsg -q output HEADLESS-2 resolution 800x600 position 1280 0
    ;;
  run) shift; as_user "$@" ;;
  shot) as_user grim -o "$2" "$3" ;;
  key) as_user wtype -s 200 -k "$2" ;;
  stop)
    [ -f "$lab/sway.pid" ] && kill "$(cat "$lab/sway.pid")" 2>/dev/null || true
    rm -f "$lab/sway.pid"
    ;;
  *) sed -n '2,9p' "$0" >&2; exit 2 ;;
esac
