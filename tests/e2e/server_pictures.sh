#!/usr/bin/env bash
# The pictures the X server holds: handed over in memory shared by descriptor, so that
# nothing of them is left in the system after a kill -9 or a key at any moment of a
# hand-over (no System V segment of the program's, nothing of it mapped in the server);
# and painted by the program itself, correctly, where the server is not to take them:
# with QT_X11_NO_MITSHM, on a display reached over TCP, without MIT-SHM.
# Usage: server_pictures.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open
PROG=$(program_copy "$1")
out="${E2E_SHOTS:-$PROG}"
mkdir -p "$PROG/foto"
# Pictures of 19 MB to hand over each on a 3840 x 2160 screen.
for i in 1 2 3 4; do
    convert -size 3000x1600 xc:"rgb(0,0,$((135 + i * 30)))" "$PROG/foto/p$i.bmp"
done

# Whether a window of the program's shows a held picture: a child window of its own of
# the picture's size (the program paints its pictures into its own window otherwise).
held_window() {
    xwininfo -root -tree | grep -Eq "\(has no name\): \(\)  $1\+"
}
# What the program left in the system: System V segments it made, and its pictures'
# memory still mapped in the X server.
segments() { ipcs -m -p | awk -v pid="$1" '$3 == pid'; }
leftovers() {
    segments "$1"
    grep quadrello-picture "/proc/$XVFB_PID/maps"
}
# Whether nothing is left of the program's pictures once the server has seen the program
# go (it lets a dead client's memory go when it notices the closed connection); a System
# V segment would stay until the machine is restarted.
nothing_left() {
    local i
    for i in $(seq 30); do
        [ -z "$(leftovers "$1")" ] && return 0
        sleep 0.1
    done
    return 1
}
start_show() {
    show_settings "$PROG/foto" "$1"
    shift
    start_dialog "$@"
    press "$dlg" Return
}

# The server holds the pictures: each shown by a window of its own.
x_start 3840x2160x24 || fail "no X server"
start_show 1
for i in $(seq 100); do held_window 3000x1600 && break; sleep 0.1; done
held_window 3000x1600 || fail "the server holds no picture: $(xwininfo -root -tree | grep 'no name')"
# While it runs, the server maps a picture's memory only during its hand-over.
[ -z "$(segments "$APP_PID")" ] || fail "the running show made segments: $(segments "$APP_PID")"

# Waits, at most three seconds, for a picture under way to the server: its memory in a
# System V segment of the program's or mapped by the server.
handing_over() {
    local deadline=$((SECONDS + 3))
    while [ $SECONDS -lt $deadline ]; do
        [ -n "$(leftovers "$1")" ] && return 0
    done
    return 1
}
# kill -9 and a key in the middle of a hand-over, and at moments through the first ones:
# nothing is left.
caught=0
for delay in aim aim aim 0.2 0.5 0.8 1.3; do
    kill -9 "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
    nothing_left "$APP_PID" || fail "a kill -9 left: $(leftovers "$APP_PID")"
    start_show 1
    if [ "$delay" = aim ]; then handing_over "$APP_PID" && caught=$((caught + 1)); else sleep "$delay"; fi
    xdotool key a
    wait_gone "$APP_PID" 10 || true
    nothing_left "$APP_PID" || fail "a key ($delay) left: $(leftovers "$APP_PID")"
    start_show 1
    if [ "$delay" = aim ]; then handing_over "$APP_PID" && caught=$((caught + 1)); else sleep "$delay"; fi
done
kill -9 "$APP_PID" 2>/dev/null
wait "$APP_PID" 2>/dev/null
nothing_left "$APP_PID" || fail "a kill -9 left: $(leftovers "$APP_PID")"
[ "$caught" -gt 0 ] || fail "no hand-over was caught under way"
APP_PID=""
x_stop
WM_PID="" XVFB_PID=""

# Where the server is not to take them, the program paints the pictures: found whole and
# centred in the screenshot, and no window of the server's shows them.
painted() {
    local name="$1" box w h x y
    shift
    start_show 5 "$@"
    box=$(look_for "$out/$name.png" 80 1280 683 2 -fuzz 8% -fill black +opaque 'rgb(0,0,165)') ||
        fail "$name: the picture is not painted whole (found: $box)"
    read -r w h x y <<<"$box"
    [ "$x" -eq 0 ] || fail "$name: the picture is not centred (left $x)"
    held_window 1280x683 && fail "$name: the server holds the picture"
    viewer=$(wait_viewer "$APP_PID" 1280) || fail "$name: no show"
    press "$viewer" a
    wait_gone "$APP_PID" 10 || fail "$name: a key did not end the show"
    APP_PID=""
}
x_start 1280x1024x24 || fail "no X server"
painted no-mitshm QT_X11_NO_MITSHM=1
# The same server over TCP: descriptors cannot cross a network.
x_stop
XVFB_ARGS="-listen tcp -ac" x_start 1280x1024x24 || fail "no X server over TCP"
local_display="$DISPLAY"
painted over-tcp DISPLAY="localhost$local_display"
x_stop
XVFB_ARGS="-extension MIT-SHM" x_start 1280x1024x24 || fail "no X server without MIT-SHM"
painted without-mitshm
echo "e2e server pictures: passed"
