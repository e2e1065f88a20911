#!/usr/bin/env bash
# The real program over strange files: a picture that becomes a FIFO while the show runs
# (after it was read ahead), a link to /proc/self/pagemap, a 100 GB sparse metafile with a
# valid header, and a 20 MB sparse wave comment for the first picture. Each strange picture
# gets its message, the pass ends, a key ends the program, and the program's peak memory
# stays under 300 MB. Then a 100 MB sparse settings file: the dialog comes up as quickly,
# as small.
# Usage: strange.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open 1280x1024x24 "$1"
f="$PROG/foto"
mkdir -p "$f"
convert -size 200x100 xc:'rgb(0,0,255)' "$f/a.jpg"
cp "$f/a.jpg" "$f/b.jpg"
ln -s /proc/self/pagemap "$f/c.jpg"
cp "$PROG/esempi/06-onde.emf" "$f/d.emf"
truncate -s 100G "$f/d.emf"
python3 - "$f/a.wav" <<'EOF'
import struct, sys
n = 20_000_000  # 8 kHz, 8 bits, mono: 40 minutes, some 440 MB once mixed
with open(sys.argv[1], "wb") as w:
    w.write(b"RIFF" + struct.pack("<I", n - 8) + b"WAVEfmt "
            + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 8000, 1, 8)
            + b"data" + struct.pack("<I", n - 44))
    w.truncate(n)
EOF
show_settings "$f" 1
sed -i 's/SuonoWAV= 0/SuonoWAV= 1/' "$PROG/QUADRO.INI"
# Answers the show's message box with Enter, when one is open; false when none is.
answer_message() {
    local msg
    msg=$(xdotool search --onlyvisible --name "^Quadrello$" 2>/dev/null | head -n1)
    [ -n "$msg" ] || return 1
    press "$msg" Return
    sleep 0.3
}
hwm() { awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

start=$SECONDS
start_dialog SDL_AUDIODRIVER=dummy
press "$dlg" Return
found=$(look_for "$out/a.png" 80 200 100 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)') ||
    fail "a.jpg did not appear (the last screen's blue: $found)"
# b.jpg was read ahead while a.jpg is on the screen: now it is a FIFO with no writer.
rm "$f/b.jpg"
mkfifo "$f/b.jpg"
messages=0 peak=0
deadline=$((SECONDS + 60))
while [ $messages -lt 3 ] && [ $SECONDS -lt $deadline ]; do
    kill -0 "$APP_PID" 2>/dev/null || fail "the show ended by itself"
    m=$(hwm "$APP_PID"); [ "${m:-0}" -gt "$peak" ] && peak=$m
    answer_message && messages=$((messages + 1))
    sleep 0.1
done
[ $messages -eq 3 ] || fail "$messages messages for the three strange pictures"
viewer=$(wait_viewer "$APP_PID" 1280) || fail "the show is gone"
sleep 1.5 # the end of the pass
m=$(hwm "$APP_PID"); [ "${m:-0}" -gt "$peak" ] && peak=$m
# The next pass goes on meanwhile, and a slow machine may put its first message up just
# before the key: then the key went to that box, as it would for a user, and the key is
# pressed again once the box is answered.
ended=""
for _ in 1 2 3; do
    press "$viewer" Escape
    wait_gone "$APP_PID" 3 && { ended=1; break; }
    answer_message || break
done
[ -n "$ended" ] || wait_gone "$APP_PID" 7 || fail "a key did not end the show"
APP_PID=""
echo "show over the strange files: $((SECONDS - start)) s, 3 messages, peak $((peak / 1024)) MiB"
[ "$peak" -lt $((300 * 1024)) ] || fail "the show's peak memory was $((peak / 1024)) MiB"

# A settings file of 100 MB: its first lines are the settings, the rest is never read.
truncate -s 100M "$PROG/QUADRO.INI"
start=$SECONDS
start_dialog
m=$(hwm "$APP_PID")
echo "dialog over a 100 MB settings file: $((SECONDS - start)) s, peak $((m / 1024)) MiB"
[ "$m" -lt $((300 * 1024)) ] || fail "the program's peak memory was $((m / 1024)) MiB"
echo "e2e strange: passed"
