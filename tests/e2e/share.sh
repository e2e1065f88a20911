#!/usr/bin/env bash
# Shows from a network share, the test share in front of a local folder: every operation
# answers 2 ms late and reads run at 100 Mbit/s. The first picture comes on time; then
# the share stops answering: the program stays responsive and the show goes on where it
# was once the share is back; stopped again, a key ends the program at once (its window
# at once even where the share holds its requests). The dialog comes up over a share that
# does not answer, and Fine ends the program.
# Skipped (exit 77, saying why) where FUSE cannot be mounted.
# Usage: share.sh PROGRAM_FOLDER SLOWSHARE
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
slowshare="$(realpath "$2")"
skip() { echo "SKIP: $*"; exit 77; }
[ -c /dev/fuse ] && [ -r /dev/fuse ] && [ -w /dev/fuse ] || skip "no usable /dev/fuse here"
command -v fusermount3 >/dev/null || skip "fusermount3 is missing"

e2e_open 1280x1024x24 "$1"
src=$(mktemp -d) mnt="" stall=$(mktemp -u /tmp/quadrello-stall.XXXXXX)
share_close() {
    rm -f "$stall"
    [ -n "${APP_PID:-}" ] && kill -9 "$APP_PID" 2>/dev/null
    [ -n "$mnt" ] && fusermount3 -u -z "$mnt" 2>/dev/null
    [ -n "${SHARE_PID:-}" ] && { kill "$SHARE_PID" 2>/dev/null; wait "$SHARE_PID" 2>/dev/null; }
    [ -n "$mnt" ] && rmdir "$mnt" 2>/dev/null
    rm -rf "$src"
}
trap 'share_close; e2e_close' EXIT

# Blue pictures (no background colour has blue in it): one in the folder itself, then one
# in each of 30 subfolders, each of its own width, so that the screen tells which is shown.
convert -size 200x100 xc:'rgb(0,0,255)' "$src/a.jpg"
for i in $(seq -w 1 30); do
    mkdir "$src/s$i"
    convert -size "$((300 + 10 * 10#$i))x100" xc:'rgb(0,0,255)' "$src/s$i/p.jpg"
done
# mount_share [OPTIONS...]: the test share of $src on a new $mnt, 2 ms an operation,
# 100 Mbit/s. The first mount may find that FUSE cannot be mounted here (a skip); a later
# one that fails is a failure.
mounts=0
mount_share() {
    mnt=$(mktemp -d)
    "$slowshare" "$src" "$mnt" --delay-ms 2 --rate 12500000 --stall-file "$stall" "$@" 2>/dev/null &
    SHARE_PID=$!
    mounts=$((mounts + 1))
    for _ in $(seq 200); do
        grep -q " $mnt fuse" /proc/mounts && return 0
        kill -0 "$SHARE_PID" 2>/dev/null || break
        sleep 0.05
    done
    [ "$mounts" -eq 1 ] && skip "the test share cannot be mounted here"
    fail "the test share did not mount again"
}
unmount_share() {
    fusermount3 -u -z "$mnt"
    wait "$SHARE_PID" 2>/dev/null
    SHARE_PID=""
    rmdir "$mnt" 2>/dev/null
}
# A key on the full-screen show ends the program at once (the argument says when), then
# the share is let answer and goes.
key_ends_show() {
    local viewer
    viewer=$(wait_viewer "$APP_PID" 1280) || fail "no full-screen viewer $1"
    press "$viewer" x
    wait_gone "$APP_PID" 2 || fail "a key did not end the show $1"
    APP_PID=""
    rm -f "$stall"
    unmount_share
}
# Whether the program's window is still on the screen.
window_shown() { xdotool search --onlyvisible --pid "$APP_PID" >/dev/null 2>&1; }
mount_share
[ -f "$mnt/s01/p.jpg" ] || fail "the test share does not show its folder"

# The width of the blue picture on a screenshot.
picture_width() {
    convert "$1" -fuzz 12% -fill black +opaque 'rgb(0,0,255)' -trim -format '%w' info: 2>/dev/null
}

# The first picture, from the share, one period after OK.
show_settings "$mnt" 1
start_dialog
press "$dlg" Return
box=$(look_for "$out/share-first.png" 60 200 100 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)') ||
    fail "the first picture did not come from the share (found: $box)"

# The share stops answering while the show runs: the program stays, the event loop runs
# (the window still takes part in the display), and nothing is lost.
look_for "$out/share-sub.png" 60 310 100 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)' \
    >/dev/null || fail "the show did not go on to the subfolders"
touch "$stall"
sleep 4
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while the share was away"
shot "$out/share-stalled.png"
stalled=$(picture_width "$out/share-stalled.png")
[ -n "$stalled" ] && [ "$stalled" -gt 300 ] || fail "no picture on the screen while the share was away"
sleep 2
shot "$out/share-still.png"
[ "$(picture_width "$out/share-still.png")" = "$stalled" ] ||
    fail "the show moved on while the share was away"

# Back: the show goes on with the next pictures.
rm -f "$stall"
moved=""
for _ in $(seq 80); do
    shot "$out/share-back.png"
    w=$(picture_width "$out/share-back.png")
    [ -n "$w" ] && [ "$w" != "$stalled" ] && [ "$w" -gt 300 ] && { moved=1; break; }
    sleep 0.1
done
[ -n "$moved" ] || fail "the show did not go on once the share was back"

# Away again: a key ends the program at once, though its workers wait in the kernel.
touch "$stall"
sleep 3
key_ends_show "while the share was away"

# A share that holds a request until it answers it, even for a killed caller (some FUSE
# shares do): the window still goes at once; the process ends when the share answers.
mount_share --ignore-interrupts
show_settings "$mnt" 1
start_dialog
press "$dlg" Return
look_for "$out/share-again.png" 60 200 100 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)' \
    >/dev/null || fail "the first picture did not come from the share the second time"
touch "$stall"
sleep 3
viewer=$(wait_viewer "$APP_PID" 1280) || fail "no full-screen viewer while the share held its requests"
press "$viewer" x
for _ in $(seq 20); do window_shown || break; sleep 0.1; done
window_shown && fail "the window stayed after a key while the share held its requests"
rm -f "$stall"
wait_gone "$APP_PID" 5 || fail "the program did not end once the share answered"
APP_PID=""
unmount_share

# A file that does not answer among local ones: a.jpg and c.jpg on the local disk, b.jpg a
# link into the share, which stops answering once the show has listed it. The local
# pictures keep their ticks; b's message comes once, some 30 s after its tick and not
# before, and names no other file. The show's timing log tells the ticks.
mount_share
loc=$(mktemp -d) log=$(mktemp)
e2e_at_exit remove loc log
convert -size 200x100 xc:'rgb(0,0,255)' "$loc/a.jpg"
convert -size 400x100 xc:'rgb(0,0,255)' "$loc/c.jpg"
ln -s "$mnt/s01/p.jpg" "$loc/b.jpg"
show_settings "$loc" 1
cd "$PROG"
QT_LOGGING_RULES="quadrello.show.debug=true" "$PROG/quadrello" 2>"$log" &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "the settings dialog did not appear"
press "$dlg" Return
for _ in $(seq 200); do grep -q "quadrello.show: walk " "$log" && break; sleep 0.05; done
grep -q "quadrello.show: walk .* 3 pictures" "$log" || fail "the walk did not find the three pictures"
touch "$stall"
# The times of the log, in ms: "what ms entry" lines.
events() { awk '$1 == "quadrello.show:" { printf "%s %d %s\n", $2, $3 / 1e6, $4 }' "$log"; }
for _ in $(seq 450); do grep -q "quadrello.show: message " "$log" && break; sleep 0.1; done
sleep 3 # a second message would have come by now
stuck_at=$(events | awk '$1 == "left" && $3 == ".\\b.jpg" { print $2; exit }')
[ -n "$stuck_at" ] || fail "the tick of the file that does not answer was never left"
b_tick=$(events | awk -v left="$stuck_at" '$1 == "tick" && $2 < left - 500 { t = $2 } END { print t }')
messages=$(events | awk '$1 == "message"')
[ "$(echo "$messages" | wc -l)" = 1 ] && [ "$(echo "$messages" | awk '{ print $3 }')" = '.\b.jpg' ] ||
    fail "not one message naming b.jpg: $(echo "$messages" | tr '\n' ';')"
after=$(( $(echo "$messages" | awk '{ print $2 }') - b_tick ))
[ "$after" -ge 29500 ] && [ "$after" -le 36000 ] ||
    fail "b.jpg's message came $after ms after its tick, not some 30 s"
# Every local picture's tick before the message showed its picture.
shown=$(events | awk -v from="$b_tick" -v to="$((b_tick + 29000))" \
    '$1 == "shown" && $2 > from && $2 < to && $3 != ".\\b.jpg"' | wc -l)
[ "$shown" -ge 12 ] || fail "only $shown local pictures shown in the 29 s after b.jpg's tick"
echo "stuck file: its tick at 0 ms; local pictures shown at (ms):" \
    $(events | awk -v from="$b_tick" '$1 == "shown" && $2 > from { printf "%d ", $2 - from }' | head -c 300)
echo "stuck file: its message at $after ms"
# The message is on the screen, and after it the show goes on.
msg=$(wait_window "^Quadrello$" 10) || fail "no message box for b.jpg"
press "$msg" Return
count=$(events | awk '$1 == "shown"' | wc -l)
for _ in $(seq 50); do [ "$(events | awk '$1 == "shown"' | wc -l)" -gt "$count" ] && break; sleep 0.1; done
[ "$(events | awk '$1 == "shown"' | wc -l)" -gt "$count" ] || fail "the show did not go on after b.jpg's message"
key_ends_show "with b.jpg stuck"

# The settings dialog over a share that does not answer: it comes up all the same, its
# drive list names the share, and Fine ends the program at once.
mount_share
touch "$stall"
show_settings "$mnt" 1
start_dialog
shot "$out/share-dialog.png"
press "$dlg" alt+f
wait_gone "$APP_PID" 2 || fail "Fine did not end the program while the share was away"
APP_PID=""

# OK before the stored folder's check answers: the folder list shows that folder (not the
# one the program was started in), QUADRO.INI keeps it, and the show's window comes at
# once though nothing of the share answers. The time from the key to the window is the
# show's own log against the same monotonic clock.
show_settings "$mnt/s01" 1
stored=$(head -n1 "$PROG/QUADRO.INI")
cd "$loc"
QT_LOGGING_RULES="quadrello.show.debug=true" "$PROG/quadrello" 2>"$log" &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "the settings dialog did not appear"
timeout 5 xdotool windowactivate --sync "$dlg" >/dev/null 2>&1
pressed=$(python3 -c 'import time; print(time.monotonic_ns() // 1000000)')
xdotool key --clearmodifiers Return
for _ in $(seq 100); do grep -q "quadrello.show: window " "$log" && break; sleep 0.05; done
window=$(events | awk '$1 == "window" { print $2; exit }')
[ -n "$window" ] || fail "no show window after OK with the stored folder away"
echo "OK -> show window with the share away: $((window - pressed)) ms"
[ $((window - pressed)) -lt 1500 ] || fail "OK -> show window took $((window - pressed)) ms with the share away"
[ "$(head -n1 "$PROG/QUADRO.INI")" = "$stored" ] ||
    fail "QUADRO.INI lost the stored folder: $(head -n1 "$PROG/QUADRO.INI" | tr -d '\r') for $stored"
viewer=$(wait_viewer "$APP_PID" 1280) || fail "no full-screen viewer with the stored folder away"
press "$viewer" x
wait_gone "$APP_PID" 2 || fail "a key did not end the show with the stored folder away"
APP_PID=""

# Started from a folder on the share while it does not answer: the dialog comes all the
# same, and Fine ends the program.
show_settings "$loc" 1
rm -f "$stall"
(cd "$mnt/s01" && touch "$stall" && exec "$PROG/quadrello") &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 10) ||
    fail "no dialog when started from a folder that does not answer"
press "$dlg" alt+f
wait_gone "$APP_PID" 2 || fail "Fine did not end the program started from a folder away"
APP_PID=""
echo "e2e share: passed"
