#!/usr/bin/env bash
# The program on a desktop of two monitors (RandR monitors of one X server), judged from
# the server's framebuffer: the dialog stands wholly on the primary monitor; the show
# covers the monitor that holds the dialog at OK, with its picture and caption centred and
# whole there; with the show's monitor taken away it moves to the one left at the next
# tick; a key ends it.
# Usage: monitors.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open
e2e_at_exit remove XVFB_FBDIR
PROG=$(program_copy "$1")
out="${E2E_SHOTS:-$PROG}"
mkdir -p "$PROG/foto"
convert -size 300x200 xc:'rgb(0,0,255)' "$PROG/foto/a.jpg"

# "W H X Y" of a window as the server has it (inside any frame).
window_box() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print w, h, x, y}'
}
# Whether the box "W H X Y" lies wholly within the monitor "W H X Y".
within() {
    local w h x y mw mh mx my
    read -r w h x y <<<"$1"
    read -r mw mh mx my <<<"$2"
    [ "$x" -ge "$mx" ] && [ "$y" -ge "$my" ] && [ $((x + w)) -le $((mx + mw)) ] &&
        [ $((y + h)) -le $((my + mh)) ]
}
# The picture, whole and centred below the caption on the monitor "W H X Y".
picture_centred_on() {
    local mw mh mx my box w h x y
    read -r mw mh mx my <<<"$1"
    box=$(look_for "$out/$2.png" 80 300 200 0 -fuzz 12% -fill black +opaque 'rgb(0,0,255)') ||
        fail "$2: the picture is not whole on the screen (found: $box)"
    read -r w h x y <<<"$box"
    [ "$x" -eq $((mx + (mw - 300) / 2)) ] || fail "$2: the picture is not centred across (left $x)"
    # Below the caption band: a little under the middle of the monitor.
    local top=$((my + (mh - 200) / 2))
    [ "$y" -gt "$top" ] && [ "$y" -lt $((top + 30)) ] ||
        fail "$2: the picture is not centred below the caption (top $y)"
    # The caption: its band of the tooltip colour at the top, centred. The picture goes up
    # before the form around it is painted, so the caption may come a moment later.
    local i caption=""
    for i in $(seq 30); do
        box=$(convert "$out/$2.png" -crop "${mw}x60+${mx}+${my}" +repage -fuzz 4% -fill black \
            +opaque "$(convert "$out/$2.png" -format "%[pixel:p{$((mx + mw / 2)),$((my + 2))}]" info:)" \
            -trim -format '%w %h %X %Y' info: 2>/dev/null)
        read -r w h x y <<<"$box"
        [ "${y#+}" -eq 0 ] 2>/dev/null && [ "$w" -gt 20 ] && { caption=1; break; }
        sleep 0.1
        shot "$out/$2.png"
    done
    [ -n "$caption" ] || fail "$2: no caption at the monitor's top ($box)"
    local off=$(( ${x#+} * 2 + w - mw ))
    [ "${off#-}" -le 2 ] || fail "$2: the caption is not centred on the monitor ($box)"
}

# desktop SCREEN LEFT RIGHT PRIMARY [nowm]: a private X server of SCREEN with two monitors,
# LEFT and RIGHT ("W H X Y"), PRIMARY left or right; the program's dialog up.
desktop() {
    local screen="$1" left="$2" right="$3" primary="$4" lw lh lx ly rw rh rx ry
    XVFB_FBDIR=$(mktemp -d)
    XVFB_ARGS="-fbdir $XVFB_FBDIR" X_NO_WM=1 x_start "$screen" || fail "no X server"
    read -r lw lh lx ly <<<"$left"
    read -r rw rh rx ry <<<"$right"
    local lstar="" rstar=""
    if [ "$primary" = left ]; then lstar='*'; else rstar='*'; fi
    # The left one takes the server's output (and its automatic monitor's place).
    xrandr --setmonitor "${lstar}left" "$lw/$((lw / 4))x$lh/$((lh / 4))+$lx+$ly" screen >/dev/null &&
        xrandr --setmonitor "${rstar}right" "$rw/$((rw / 4))x$rh/$((rh / 4))+$rx+$ry" none ||
        fail "no monitors"
    [ "$(xrandr --listmonitors | head -n1)" = "Monitors: 2" ] || fail "not two monitors"
    # The window manager finds the monitors as they are.
    if [ -z "${5:-}" ]; then wm_start || fail "no window manager"; fi
    show_settings "$PROG/foto" 1
    start_dialog
}
# The show's window of the program, over the monitor "W H X Y" exactly.
viewer_over() {
    local mw mh mx my win
    read -r mw mh mx my <<<"$1"
    win=$(wait_viewer "$APP_PID" "$mw") ||
        fail "$2: no window over the show's monitor: $(for w in $(xdotool search --onlyvisible \
            --pid "$APP_PID"); do echo "[$(window_box "$w")]"; done)"
    for i in $(seq 50); do
        [ "$(window_box "$win")" = "$1" ] && break
        sleep 0.1
    done
    [ "$(window_box "$win")" = "$1" ] || fail "$2: the show is at $(window_box "$win"), not $1"
    echo "$win"
}
the_end() {
    press "$1" a
    wait_gone "$APP_PID" 10 || fail "$2: a key did not end the show"
    APP_PID=""
    x_stop
    WM_PID="" XVFB_PID=""
    rm -rf "$XVFB_FBDIR"
}

# name, screen, left monitor, right monitor, primary, the dialog dragged to (x y), no WM
cases=(
    "equal|2048x768x24|1024 768 0 0|1024 768 1024 0|left||"
    "equal-right-primary|2048x768x24|1024 768 0 0|1024 768 1024 0|right||"
    "mixed-right-primary|2624x1000x24|1024 600 0 0|1600 1000 1024 0|right||"
    "mixed-dragged-left|2624x1000x24|1024 600 0 0|1600 1000 1024 0|right|100 100|"
    "mixed-dragged-right|2624x1000x24|1024 600 0 0|1600 1000 1024 0|left|1300 300|"
    "mixed-no-wm|2624x1000x24|1024 600 0 0|1600 1000 1024 0|right||nowm"
    "mixed-no-wm-dragged|2624x1000x24|1024 600 0 0|1600 1000 1024 0|right|200 50|nowm"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name screen left right primary drag nowm <<<"$c"
    desktop "$screen" "$left" "$right" "$primary" "$nowm"
    if [ "$primary" = left ]; then on="$left" other="$right"; else on="$right" other="$left"; fi
    sleep 0.5
    shot "$out/$name-dialog.png"
    within "$(window_box "$dlg")" "$on" || fail "$name: the dialog at $(window_box "$dlg") is not wholly on the primary $on"
    if [ -n "$drag" ]; then
        # shellcheck disable=SC2086
        xdotool windowmove "$dlg" $drag
        sleep 0.5
        on="$other"
    fi
    press "$dlg" Return
    viewer=$(viewer_over "$on" "$name")
    picture_centred_on "$on" "$name"
    the_end "$viewer" "$name"
done

# The show's monitor taken away during the show: it moves to the one left.
desktop 2624x1000x24 "1024 600 0 0" "1600 1000 1024 0" right
press "$dlg" Return
viewer=$(viewer_over "1600 1000 1024 0" removed)
picture_centred_on "1600 1000 1024 0" removed-before
xrandr --delmonitor right >/dev/null || fail "the monitor could not be taken away"
viewer=$(viewer_over "1024 600 0 0" removed)
picture_centred_on "1024 600 0 0" removed-after
kill -0 "$APP_PID" || fail "the program ended when its monitor went away"
the_end "$viewer" removed
echo "e2e monitors: passed"
