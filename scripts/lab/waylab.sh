#!/usr/bin/env bash
# A headless sway with two outputs of different sizes, as the lab's ordinary user (sway
# refuses root), for the Wayland program:
#   waylab.sh start            the compositor, HEADLESS-1 1280x720 and HEADLESS-2 800x600
#   waylab.sh run CMD...       CMD as that user, in that session (WAYLAND_DISPLAY set)
#   waylab.sh shot OUTPUT FILE a screenshot of one output (grim)
#   waylab.sh key KEY          a key press (wtype; it needs the delay to deliver every key)
#   waylab.sh smoke PROGRAM CLIP   the saver on CLIP (a red one) at full size: red on the
#                              first output, black on the second, ended by a key
#   waylab.sh stop
# Exits 77 from `start` where sway cannot start (not installed, no such user).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
user=$("$here/ordinary-user")
uid=$(id -u "$user")
lab=${WAYLAB_DIR:-/tmp/morvel-waylab}
runtime=$lab/runtime

as_user() {
  # A path of its own for sway's socket: an empty SWAYSOCK makes sway bind an abstract socket
  # of that empty name, which a second lab's sway on the machine then cannot bind.
  local socket=$runtime/sway-ipc.sock
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
    # The compositor's own pid, for stop: the shell's own ($!) is not the compositor's.
    as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
      sh -c 'echo $$ > "$0"; exec sway -c "$1"' "$runtime/sway.pid" "$lab/sway.conf" \
      > "$lab/sway.log" 2>&1 &
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
  smoke)
    program=$(realpath "$2"); clip=$(realpath "$3")
    mkdir -p "$lab/clips" "$lab/home/.config"
    cp "$clip" "$lab/clips/clip.mp4"; chmod -R a+rX "$lab/clips"
    (cd "$here/lab" && python3 -c "import sys, winelab; sys.stdout.buffer.write(
      winelab.settings_text(['$lab/clips/clip.mp4'], {'Picdis': 1}))") \
      > "$lab/home/.config/morvel4.ini"
    chown -R "$user" "$lab/home"
    as_user "$program" /s > "$lab/saver.log" 2>&1 &
    saver=$!
    sleep 4
    as_user grim -o HEADLESS-1 "$lab/home/one.png"; as_user grim -o HEADLESS-2 "$lab/home/two.png"
    one=$(convert "$lab/home/one.png" -format '%[pixel:p{640,360}]' info:)
    two=$(convert "$lab/home/two.png" -format '%[pixel:p{400,300}]' info:)
    as_user wtype -s 200 -k a
    sleep 2
    ended=yes; kill -0 "$saver" 2>/dev/null && { ended=no; kill "$saver"; }
    echo "first output: $one, second: $two, ended by the key: $ended"
    [[ $one == "srgb(25"* && $two == "srgb(0,0,0)" && $ended == yes ]]
    ;;
  stop)
    [ -f "$runtime/sway.pid" ] && kill "$(cat "$runtime/sway.pid")" 2>/dev/null || true
    rm -f "$runtime/sway.pid"
    ;;
  *) sed -n '2,9p' "$0" >&2; exit 2 ;;
esac
