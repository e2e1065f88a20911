#!/usr/bin/env bash
# The program in a Wayland session (weston's headless backend): natively, the settings
# dialog appears and the program stays up; through XWayland, the dialog, the full-screen
# show and a key that ends it.
# Usage: wayland.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open
e2e_at_exit kill WESTON_PID
e2e_at_exit remove RUNTIME

# A screenshot of the whole output, as FILE.
wl_shot() {
    local dir
    dir=$(mktemp -d -p "$RUNTIME")
    (cd "$dir" && timeout 10 weston-screenshooter >/dev/null 2>&1) && mv "$dir"/*.png "$1"
    rm -rf "$dir"
}
# Whether the output differs from the picture FILE within a few seconds.
output_changes() {
    local i
    for i in $(seq 30); do
        wl_shot "$RUNTIME/now.png" || return 1
        [ "$(compare -metric AE "$1" "$RUNTIME/now.png" null: 2>&1)" != 0 ] && return 0
        sleep 0.2
    done
    return 1
}

RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
export XDG_RUNTIME_DIR="$RUNTIME" WAYLAND_DISPLAY=quadrello-test
unset DISPLAY
weston --backend=headless-backend.so --use-pixman --socket="$WAYLAND_DISPLAY" \
    --width=1280 --height=1024 --xwayland --idle-time=0 --debug \
    --log="$RUNTIME/weston.log" >/dev/null 2>&1 &
WESTON_PID=$!
for i in $(seq 100); do grep -q 'listening on display' "$RUNTIME/weston.log" 2>/dev/null && break; sleep 0.1; done
xdisplay=$(grep -o 'listening on display :[0-9]*' "$RUNTIME/weston.log" | tail -n1 | grep -o ':[0-9]*')
[ -n "$xdisplay" ] || fail "weston did not start with XWayland"
sleep 1
wl_shot "$RUNTIME/desktop.png" || fail "no screenshot of the empty desktop"

PROG=$(program_copy "$1")
out="${E2E_SHOTS:-$PROG}"
cd "$PROG"

# Natively: the dialog appears and the program stays up.
QT_QPA_PLATFORM=wayland "$PROG/quadrello" &
APP_PID=$!
output_changes "$RUNTIME/desktop.png" || fail "no window appeared natively"
sleep 2
kill -0 "$APP_PID" || fail "the program ended under Wayland"
wl_shot "$out/wayland-dialog.png"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null; APP_PID=""

# Through XWayland: OK starts the show, which covers the output; a key ends it.
export DISPLAY="$xdisplay"
QT_QPA_PLATFORM=xcb "$PROG/quadrello" &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "no dialog through XWayland"
press "$dlg" Return
viewer=$(wait_viewer "$APP_PID" 1280) || fail "no full-screen show through XWayland"
sleep 1
wl_shot "$out/xwayland-show.png"
# Its corner is no longer the desktop's (the show is black, then a random colour).
corner=$(convert "$out/xwayland-show.png" -format '%[pixel:p{5,1000}]' info:)
[ "$corner" != "$(convert "$RUNTIME/desktop.png" -format '%[pixel:p{5,1000}]' info:)" ] ||
    fail "the show does not cover the output"
press "$viewer" a
wait_gone "$APP_PID" 10 || fail "a key did not end the show through XWayland"
APP_PID=""
echo "e2e wayland: passed"
