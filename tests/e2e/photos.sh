#!/usr/bin/env bash
# Photos as the user sees them, on a screen scaled twice over (QT_SCALE_FACTOR=2):
# a picture smaller than the screen at the size it has on an ordinary screen, each of its
# pixels drawn two by two, a phone photo stored on its side
# shown upright, and the show's two messages painted with their text and button.
# Usage: photos.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open 2048x1536x24 "$1"
export QT_SCALE_FACTOR=2
mkdir -p "$PROG/foto" "$PROG/vuota"

# a: 800 x 500 with one-pixel stripes, which any resampling but pixel for pixel would blur.
convert -size 800x500 pattern:vertical2 -fill 'rgb(0,0,255)' -opaque black \
    -fill 'rgb(128,128,255)' -opaque white "$PROG/a.png"
convert "$PROG/a.png" -type TrueColor "BMP3:$PROG/foto/a.bmp"
# b: a landscape JPEG, magenta on the left and green on the right, whose EXIF orientation 6
# says it was taken upright: it must show 300 wide and 400 high (600 x 800 device pixels),
# magenta at the top. (The
# show's backgrounds have no blue, so none can pass for the magenta.)
convert -size 200x300 xc:'rgb(230,0,200)' -size 200x300 xc:'rgb(0,200,0)' +append -quality 95 "$PROG/b-stored.jpg"
python3 - "$PROG/b-stored.jpg" "$PROG/foto/b.jpg" <<'EOF'
import struct, sys
jpg = open(sys.argv[1], "rb").read()
tiff = b"MM\x00*" + struct.pack(">IHHHIHHI", 8, 1, 0x0112, 3, 1, 6, 0, 0)
payload = b"Exif\x00\x00" + tiff
open(sys.argv[2], "wb").write(jpg[:2] + b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload + jpg[2:])
EOF
echo "not a picture" > "$PROG/foto/c.jpg"

# A message window's pixels: the dialog's light face with dark text on it, not an empty
# black or unpainted rectangle.
check_painted() {
    local win="$1" what="$2" geometry stats
    geometry=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}')
    shot "$out/$what.png"
    # The mean brightness, and the share of dark (text) pixels.
    stats=$(convert "$out/$what.png" -crop "$geometry" -colorspace Gray \
        -format '%[fx:mean] ' info: && convert "$out/$what.png" -crop "$geometry" -colorspace Gray \
        -threshold 40% -negate -format '%[fx:mean]' info:)
    read -r mean dark <<<"$stats"
    awk -v m="$mean" -v d="$dark" 'BEGIN { exit !(m > 0.6 && d > 0.005 && d < 0.3) }' ||
        fail "the $what message is not painted (window $geometry: brightness $mean, dark share $dark)"
}

# Three seconds a picture: each is on the screen for one period only (the broken one's
# message then holds the show), and a screenshot under load can take a second.
show_settings "$PROG/foto" 3
start_dialog
press "$dlg" Return

# The first tick: a, at twice its pixels in the middle of the screen.
box=$(look_for "$out/hidpi.png" 80 1600 1000 0 -fuzz 3% -fill 'rgb(0,0,255)' \
    -opaque 'rgb(128,128,255)' -fill black +opaque 'rgb(0,0,255)') ||
    fail "the picture is not shown at 1600 x 1000 device pixels (found: $box)"
read -r _ _ ax ay <<<"$box"

# The second: b upright, 600 x 800 device pixels.
box=$(look_for "$out/upright.png" 40 600 400 10 -fuzz 15% -fill black +opaque 'rgb(230,0,200)') ||
    fail "the photo stored on its side is not shown upright, magenta on top (magenta area: $box)"

# a, compared once b was seen: the comparison takes longer than b stays on the screen.
convert "$out/hidpi.png" -crop "1600x1000+$ax+$ay" +repage "$PROG/a-shown.png"
convert "$PROG/a.png" -scale 200% "$PROG/a-twice.png"
differ=$(compare -metric AE -fuzz 2% "$PROG/a-twice.png" "$PROG/a-shown.png" null: 2>&1)
[ "${differ%% *}" -lt 100 ] 2>/dev/null || fail "the picture's pixels are not drawn two by two ($differ pixels differ)"

# The third: c is broken; its message is painted.
msg=$(wait_window "^Quadrello$" 10) || fail "no message for the broken picture"
sleep 0.5
check_painted "$msg" broken
press "$msg" Return
sleep 0.3
xdotool mousemove 20 20 click 1
wait_gone "$APP_PID" 10 || fail "a click did not end the show"

# An empty folder: its message is painted, and Enter brings the dialog back.
show_settings "$PROG/vuota" 2
start_dialog
press "$dlg" Return
msg=$(wait_window "^Quadrello$" 10) || fail "no message for the empty folder"
sleep 0.5
check_painted "$msg" empty
press "$msg" Return
wait_window "^Informazioni su Quadrello$" 10 >/dev/null || fail "the dialog did not come back after the message"
kill "$APP_PID" 2>/dev/null
APP_PID=""
echo "e2e photos: passed"
