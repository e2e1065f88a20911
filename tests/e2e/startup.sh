#!/usr/bin/env bash
# The real program in a real X server: the dialog appears centred with its caption,
# OK writes the settings file byte for byte, and the viewer covers the screen; from a
# folder with no DOS name the program says so and ends.
# Usage: startup.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open 1280x1024x24 "$1"
e2e_at_exit remove ODD

# The pictures to show, in a folder whose name has a blank.
mkdir -p "$PROG/Le mie foto/gite"
convert -size 64x48 xc:red "$PROG/Le mie foto/a.jpg"
convert -size 64x48 xc:blue "$PROG/Le mie foto/gite/b.gif"

start_dialog
shot "$out/dialog.png"

# Centred as the user sees it: the middle of the window with its frame and title bar
# within 2 pixels of the screen's (the frame is known only once the window is mapped).
centred="" dx="?" dy="?" L="" R="" T="" B=""
for i in $(seq 100); do
    read -r X Y WIDTH HEIGHT < <(xwininfo -id "$dlg" | awk '/Absolute upper-left X/{x=$NF}
        /Absolute upper-left Y/{y=$NF} /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}')
    # Until the window manager has set the frame's extents, xprop says "not found".
    extents=$(xprop -id "$dlg" _NET_FRAME_EXTENTS 2>/dev/null)
    [[ "$extents" =~ =\ *([0-9]+),\ *([0-9]+),\ *([0-9]+),\ *([0-9]+) ]] || { sleep 0.1; continue; }
    L=${BASH_REMATCH[1]} R=${BASH_REMATCH[2]} T=${BASH_REMATCH[3]} B=${BASH_REMATCH[4]}
    dx=$((X - L + (WIDTH + L + R) / 2 - 640)); dy=$((Y - T + (HEIGHT + T + B) / 2 - 512))
    [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] && { centred=1; break; }
    sleep 0.1
done
[ "$WIDTH" -eq 504 ] && [ "$HEIGHT" -eq 392 ] || fail "dialog client area ${WIDTH}x${HEIGHT}, not 504x392"
[ -n "$centred" ] ||
    fail "dialog not centred by its frame: ${dx}, ${dy} pixels off (frame $L $R $T $B); $(wm_state_of "$dlg")"

# "&Fine" ends the program without writing the settings file.
press "$dlg" alt+f
wait_gone "$APP_PID" 10 || fail "Fine did not end the program"
[ ! -e "$PROG/QUADRO.INI" ] || fail "Fine wrote the settings file"

# A settings file naming the picture folder; OK takes it as it is.
printf 'PATH=%s\r\nTempoAttesa=3\r\nMusicaFM= 0 \r\nSuonoWAV= 1 \r\nEffetti= 1 \r\n' \
    "$(echo "C:$PROG/Le mie foto" | tr '/' '\\')" > "$PROG/QUADRO.INI"
start_dialog
press "$dlg" Return

# OK wrote the file byte for byte.
expected=$(printf 'PATH=%s\r\nTempoAttesa=3\r\nMusicaFM= 0 \r\nSuonoWAV= 1 \r\nEffetti= 1 \r\n' \
    "$(echo "C:$PROG/Le mie foto" | tr '/' '\\')" | od -An -tx1)
for i in $(seq 50); do
    ! xdotool search --onlyvisible --name "^Informazioni su Quadrello$" >/dev/null 2>&1 && break
    sleep 0.1
done
actual=$(od -An -tx1 < "$PROG/QUADRO.INI")
[ "$actual" = "$expected" ] || fail "settings file differs: $(cat -A "$PROG/QUADRO.INI")"

# The viewer covers the screen.
viewer=""
for i in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        geo=$(xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
            /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}')
        if [ "$geo" = "0 0 1280 1024" ]; then viewer=$w; break 2; fi
    done
    sleep 0.1
done
[ -n "$viewer" ] || fail "no full-screen viewer window"
shot "$out/viewer.png"
kill -0 "$APP_PID" || fail "the program ended"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null; APP_PID=""

# A program folder with no DOS name: a message, then the end; nothing is written, there
# or anywhere else (the host root included).
ODD=$(mktemp -d)
mkdir "$ODD/a:b"
cp -a "$1/." "$ODD/a:b/"
rm -f "$ODD/a:b/QUADRO.INI"
root_ini=$([ -e /QUADRO.INI ] && echo kept)
(cd "$ODD" && exec "$ODD/a:b/quadrello") &
APP_PID=$!
msg=$(wait_window "^Quadrello$" 30) || fail "no message for a program folder named a:b"
xdotool search --onlyvisible --name "^Informazioni su Quadrello$" >/dev/null &&
    fail "the settings dialog opened from a folder named a:b"
shot "$out/folder-message.png"
press "$msg" Return
wait_gone "$APP_PID" 10 || fail "the program did not end after the message"
APP_PID=""
[ -z "$(find "$ODD" -name QUADRO.INI)" ] || fail "a settings file was written from a:b"
[ -n "$root_ini" ] || [ ! -e /QUADRO.INI ] || fail "the program wrote /QUADRO.INI"

# Scripts that run with set -e (the README's run command, the long show) shut their X
# server down from an EXIT trap after the program and the window manager may be gone:
# that must neither fail the script nor leave the server running.
xvfb_file=$(mktemp)
bash -e -c 'source "$1"; x_start 640x480x24; echo "$XVFB_PID" >"$2"
            trap x_stop EXIT; kill "$WM_PID"
            for i in $(seq 50); do kill -0 "$WM_PID" 2>/dev/null || break; sleep 0.1; done' \
    _ "$here/xenv.sh" "$xvfb_file"
rc=$?
xvfb_pid=$(cat "$xvfb_file"); rm -f "$xvfb_file"
[ -n "$xvfb_pid" ] || fail "the second X server did not start"
for i in $(seq 50); do kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$xvfb_pid" 2>/dev/null; then
    kill "$xvfb_pid"
    fail "the X server outlived its script (status $rc)"
fi
[ "$rc" -eq 0 ] || fail "shutting the X server down under set -e ended with status $rc"
echo "e2e startup: passed"
