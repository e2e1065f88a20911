#!/usr/bin/env bash
# One pass of the real program's show over a folder of pictures (and its direct
# subfolders), one second a picture, in a private X server: dismisses each failure
# message, counts shown and refused pictures, watches the show and its metafile helpers
# (peak memory, how many were started), and ends at the end-of-pass caption.
# Screenshots of the pictures named in SHOTS (names without folder, space-separated) and
# of the end of the pass go to OUT.
# Usage: corpus_show.sh PROGRAM_FOLDER PICTURE_FOLDER OUT [SHOTS]
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/xenv.sh"
e2e_open

folder=$(cd "$2" && pwd)
out="$3"
wanted=" ${4:-} "
mkdir -p "$out"
pictures=$(find "$folder" -maxdepth 2 -type f -iregex '.*\.\(jpg\|bmp\|cur\|ico\|dib\|gif\|emf\|wmf\)' | wc -l)

x_start 1280x1024x24 || fail "no X server"
PROG=$(program_copy "$1")
show_settings "$folder" 1
log="$out/show.log"
cd "$PROG"
QT_LOGGING_RULES="quadrello.show.debug=true" "$PROG/quadrello" 2>"$log" &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "the settings dialog did not appear"
press "$dlg" Return

refused=0 showPeak=0 helperPeak=0 helpers=""
hwm() { awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
last=""
deadline=$((SECONDS + 10 * pictures + 60))
while [ $SECONDS -lt $deadline ]; do
    kill -0 "$APP_PID" 2>/dev/null || fail "the show ended by itself (see $log)"
    msg=$(xdotool search --onlyvisible --name "^Quadrello$" 2>/dev/null | head -n1)
    if [ -n "$msg" ]; then
        refused=$((refused + 1))
        press "$msg" Return
        sleep 0.2
    fi
    m=$(hwm "$APP_PID"); [ "${m:-0}" -gt "$showPeak" ] && showPeak=$m
    for h in $(pgrep -P "$APP_PID" 2>/dev/null); do
        case " $helpers " in *" $h "*) ;; *) helpers="$helpers $h" ;; esac
        m=$(hwm "$h"); [ "${m:-0}" -gt "$helperPeak" ] && helperPeak=$m
    done
    entry=$(grep '^.*shown [0-9]' "$log" | tail -n1 | sed 's/.*shown [0-9]* //')
    if [ -n "$entry" ] && [ "$entry" != "$last" ]; then
        last="$entry"
        name="${entry##*\\}"
        case "$wanted" in *" $name "*) sleep 0.3; shot "$out/${name%.*}.png" ;; esac
    fi
    # The end-of-pass tick is the one after the last slot.
    if grep -q "index $((pictures + 1))\$" "$log"; then
        sleep 0.5
        shot "$out/end-of-pass.png"
        break
    fi
    sleep 0.1
done
grep -q "index $((pictures + 1))\$" "$log" || fail "the pass did not end in time"
# Up to the end of the pass.
pass=$(sed -n "1,/index $((pictures + 1))\$/p" "$log")
shown=$(grep -c 'shown [0-9]' <<<"$pass")
echo "pictures $pictures: shown $shown, refused $((pictures - shown)) ($refused failure messages seen)"
echo "helpers started: $(echo $helpers | wc -w)"
echo "peak memory: show $((showPeak / 1024)) MiB, helper $((helperPeak / 1024)) MiB"
# Tick to picture set up, from the timing log.
awk '/ tick / {t=$3} / shown / {if (t) {d=($3-t)/1e6; s+=d; n++; if (d>m) m=d}} END {if (n) printf "tick -> picture set up: mean %.1f ms, worst %.1f ms over %d pictures\n", s/n, m, n}' <<<"$pass"
