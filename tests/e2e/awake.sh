#!/usr/bin/env bash
# The screen stays awake during a show: with a screen saver that starts after 2 idle
# seconds, it does start while the dialog is open, but not during the show, which also
# asks the session's screen saver service to hold off and lets it go when it ends.
# Usage: awake.sh PROGRAM_FOLDER AWAKE_HELPER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
helper="$2"
e2e_open 800x600x24 "$1"
e2e_at_exit kill STANDIN_PID BUS_PID

# Waits until the X screen saver is in STATE, at most SECONDS.
wait_saver() {
    local deadline=$((SECONDS + $2))
    while [ $SECONDS -lt $deadline ]; do
        [ "$("$helper" xstate)" = "$1" ] && return 0
        sleep 0.2
    done
    return 1
}

xset s 2 0 s blank
log="$PROG/screensaver.log"
mkdir -p "$PROG/foto"
convert -size 200x100 xc:'rgb(0,0,255)' "$PROG/foto/a.jpg"
show_settings "$PROG/foto" 1

# A private session bus with the stand-in service on it.
read -r DBUS_SESSION_BUS_ADDRESS BUS_PID < <(dbus-daemon --session --fork --print-address=1 \
    --print-pid=1 | paste -s -d ' ')
export DBUS_SESSION_BUS_ADDRESS
[ -n "$BUS_PID" ] || fail "no session bus"
"$helper" standin "$log" &
STANDIN_PID=$!
for i in $(seq 50); do grep -q ready "$log" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$log" || fail "the stand-in service did not start"

start_dialog
# The dialog does not hold the screen: the screen saver starts.
wait_saver on 15 || fail "the screen saver did not start while the dialog was open ($("$helper" xstate); $(xset q | grep -A1 -i "screen saver" | tr -s " \n" " "))"
grep -q Inhibit "$log" && fail "the dialog asked the service to hold off"
press "$dlg" Return

# The show: 5 idle seconds, more than twice the screen saver's time, and it stays off.
wait_saver off 5 || fail "the screen saver stayed on when the show began"
sleep 5
[ "$("$helper" xstate)" = off ] || fail "the screen saver started during the show"
# The blue picture is on the screen (every other tick is the black end of the pass).
seen=""
for i in $(seq 30); do
    shot "$PROG/show.png"
    centre=$(convert "$PROG/show.png" -format '%[pixel:p{400,310}]' info:)
    case "$centre" in *"(0,0,25"[0-5]")" | blue) seen=1; break ;; esac
    sleep 0.1
done
[ -n "$seen" ] || fail "the show's picture is not on the screen ($centre)"
grep -q '^Inhibit 41 Quadrello ' "$log" || fail "no Inhibit call: $(cat "$log")"

# The end of the show lets the service go.
xdotool mousemove 20 590 click 1
wait_gone "$APP_PID" 10 || fail "a click did not end the show"
APP_PID=""
grep -q '^UnInhibit 41$' "$log" || fail "no UnInhibit call: $(cat "$log")"
echo "e2e awake: passed"
