#!/usr/bin/env bash
# The real program shows a show: a blue picture lands centred below its caption on a
# background without blue, a broken picture gets its message, and a click ends the program;
# so does a dead key.
# Usage: show.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open 1280x1024x24 "$1"
mkdir -p "$PROG/foto"
convert -size 200x100 xc:'rgb(0,0,255)' "$PROG/foto/a.jpg"
echo "not a picture" > "$PROG/foto/b.jpg"
show_settings "$PROG/foto" 1

start_dialog
press "$dlg" Return

# The first tick shows a.jpg; the picture is looked for in the screenshot.
box=$(look_for "$out/picture.png" 60 200 100 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)') ||
    fail "the picture did not appear whole (found: $box)"
read -r w h x y <<<"$box"
[ "$x" -eq 540 ] || fail "the picture is not centred horizontally (left $x)"
# Centred in the part of the screen below the caption band, so a little below the middle.
[ "$y" -gt 462 ] && [ "$y" -lt 490 ] || fail "the picture is not centred below the caption (top $y)"
corner=$(convert "$out/picture.png" -format '%[pixel:p{4,1010}]' info:)
case "$corner" in
    *srgb*) rgb=${corner#*(}; rgb=${rgb%)*} ;;
    *) rgb="" ;;
esac
blue=${rgb##*,}
[ "${blue:-1}" = 0 ] || fail "the background has blue in it ($corner)"

# The second tick: the broken picture's message, titled with the program's name.
box=$(wait_window "^Quadrello$" 10) || fail "no message for the broken picture"
shot "$out/message.png"
press "$box" Return

# A click on the screen ends the program.
sleep 0.3
xdotool mousemove 20 1000 click 1
wait_gone "$APP_PID" 10 || fail "a click did not end the show"
APP_PID=""

# A dead key ends the show on its first press too: no input method holds it back as the
# start of a character. The compose tables of a UTF-8 locale know it.
rm -f "$PROG/foto/b.jpg"
show_settings "$PROG/foto" 5
start_dialog LC_ALL=C.UTF-8
press "$dlg" Return
viewer=$(wait_viewer "$APP_PID" 1280) || fail "no full-screen viewer for the dead key"
sleep 0.5
press "$viewer" dead_acute
wait_gone "$APP_PID" 10 || fail "a dead key did not end the show"
APP_PID=""
echo "e2e show: passed"
