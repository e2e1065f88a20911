#!/usr/bin/env bash
# The program natively under Wayland, in a headless sway: with one output and with two,
# at scale 1 and 2, and through XWayland with two, OK given on the output that has the
# focus: the show goes full screen
# on that output, its picture centred there (a screenshot with grim), and a key typed
# with wtype ends it. sway will not run as root: then it and the program run as nobody.
# Usage: sway.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open
e2e_at_exit kill SWAY_PID
e2e_at_exit remove RUNTIME
skip() { echo "SKIP: $*"; exit 77; }
for tool in sway swaymsg wtype grim; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] ||
    ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    skip "Qt's Wayland platform is not installed"

RUNTIME=$(mktemp -d)
chmod 755 "$RUNTIME"
PROG=$(program_copy "$1")
out="${E2E_SHOTS:-$RUNTIME}"
mkdir -p "$PROG/foto"
convert -size 300x200 xc:'rgb(0,0,255)' "$PROG/foto/a.jpg"
show_settings "$PROG/foto" 3
user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$PROG"
    user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
# The command that runs what follows it in the session, as the session's user, in
# $in_session (started in the background straight from it, $! is the program's own).
session_env() {
    in_session=("${user[@]}" env -i HOME="$XDG" XDG_RUNTIME_DIR="$XDG" PATH=/usr/bin:/bin)
    [ -n "${WAYLAND_DISPLAY:-}" ] && in_session+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
    [ -n "${SWAYSOCK:-}" ] && in_session+=(SWAYSOCK="$SWAYSOCK")
}
# A command in the session.
as() {
    local in_session
    session_env
    "${in_session[@]}" "$@"
}
# The windows sway shows, a line each: output, title, full screen, focused, x, y, w, h.
windows() {
    as swaymsg -t get_tree | python3 -c '
import json, sys
def walk(n, output=None):
    if n.get("type") == "output":
        output = n["name"]
    if n.get("pid"):
        r = n["rect"]
        print(output, repr(n.get("name")), n.get("fullscreen_mode"), n.get("focused"),
              r["x"], r["y"], r["width"], r["height"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c, output)
walk(json.load(sys.stdin))'
}
# Whether a line of the windows' list matches PATTERN within ten seconds.
window_listed() {
    local i
    for i in $(seq 100); do
        windows | grep -q "$1" && return 0
        sleep 0.1
    done
    return 1
}
# From the program's Wayland log: whether a window other than the one the token was issued
# for (with an input serial) presented it, the first token issued; and whether that window,
# the dialog, had presented the launcher's token LAUNCHED first. What was seen.
handed_on() {
    python3 -c '
import re, sys
# A surface id is given again once its surface is destroyed: each is told by its lifetime.
launcher = "\"%s\"" % sys.argv[1]
life, issued, token, surface, serial, used, launched = {}, {}, None, None, False, None, None
def named(s):
    return "%s#%d" % (s, life.get(s, 0))
for line in sys.stdin:
    m = re.search(r"-> (wl_surface@\d+)\.destroy\(\)", line)
    if m:
        life[m[1]] = life.get(m[1], 0) + 1
    m = re.search(r"xdg_activation_token_v1@(\d+)\.(set_surface|set_serial|done)\((.*)\)", line)
    if m and token is None:
        t = issued.setdefault(m[1], {})
        t[m[2]] = named(m[3]) if m[2] == "set_surface" else m[3]
        if m[2] == "done":
            token, surface, serial = m[3], t.get("set_surface"), "set_serial" in t
    m = re.search(r"xdg_activation_v1@\d+\.activate\((\"[^\"]*\"), (wl_surface@\d+)\)", line)
    if m and token is not None and m[1] == token:
        used = named(m[2])
    if m and m[1] == launcher and launched is None:
        launched = named(m[2])
print("the launcher token presented by", launched, "; token", token, "for", surface,
      "with a serial" if serial else "without a serial", "presented by", used)
sys.exit(0 if token and serial and used and used != surface and launched == surface else 1)' "$1"
}
# Types KEY as a user would: the virtual keyboard is given a moment to be taken on first.
type_key() { as wtype -s 300 -P "$1" -s 100 -p "$1"; }

# session OUTPUTS SCALE1 SCALE2 [xwayland]: sway with OUTPUTS headless outputs side by
# side, 1280 x 720 (the second 1600 x 900 through XWayland), at those scales, the last
# one focused; with XWayland, its display in $XDISPLAY.
session() {
    local outputs="$1" scale1="$2" scale2="$3" via="${4:-wayland}" i second=1280x720
    [ "$via" = xwayland ] && second=1600x900
    # A runtime folder of its own for each session.
    XDG=$(mktemp -d -p "$RUNTIME")
    [ ${#user[@]} -gt 0 ] && chown 65534:65534 "$XDG"
    chmod 700 "$XDG"
    {
        echo "output HEADLESS-1 resolution 1280x720 position 0 0 scale $scale1"
        echo "output HEADLESS-2 resolution $second position $((1280 / scale1)) 0 scale $scale2"
        echo "default_border none"
        [ "$via" = xwayland ] && echo "xwayland force"
    } >"$RUNTIME/config"
    chmod 644 "$RUNTIME/config"
    local in_session
    session_env
    "${in_session[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$RUNTIME/config" >"$RUNTIME/sway.log" 2>&1 &
    SWAY_PID=$!
    for i in $(seq 100); do
        WAYLAND_DISPLAY=$(cd "$XDG" && ls wayland-[0-9] 2>/dev/null | head -n1)
        SWAYSOCK=$(ls "$XDG"/sway-ipc.*.sock 2>/dev/null | head -n1)
        [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ] && break
        sleep 0.1
    done
    [ -n "$SWAYSOCK" ] || fail "sway did not start: $(tail -n 5 "$RUNTIME/sway.log")"
    export WAYLAND_DISPLAY SWAYSOCK
    if [ "$outputs" -eq 2 ]; then
        as swaymsg create_output >/dev/null || fail "no second output"
        sleep 0.5
        as swaymsg focus output HEADLESS-2 >/dev/null
    fi
    XDISPLAY=""
    if [ "$via" = xwayland ]; then
        # sway's own environment names its XWayland display.
        # shellcheck disable=SC2016
        as swaymsg exec 'echo "$DISPLAY" > "$XDG_RUNTIME_DIR/display"' >/dev/null
        for i in $(seq 100); do
            XDISPLAY=$(cat "$XDG/display" 2>/dev/null)
            [ -n "$XDISPLAY" ] && break
            sleep 0.1
        done
        [ -n "$XDISPLAY" ] || fail "no XWayland in sway"
    fi
}
end_session() {
    kill "$SWAY_PID" 2>/dev/null
    wait "$SWAY_PID" 2>/dev/null
    SWAY_PID=""
    unset WAYLAND_DISPLAY SWAYSOCK
}

# outputs, their scales, natively or through XWayland; the show goes to the last one.
for setup in "1 1 1" "1 2 2" "2 1 1" "2 2 2" "2 1 2" "2 2 1" "2 1 1 xwayland"; do
    read -r outputs scale1 scale2 via <<<"$setup"
    scale=$scale1
    [ "$outputs" -eq 2 ] && scale=$scale2
    name="sway-$outputs-outputs-scales-$scale1-$scale2${via:+-$via}"
    session "$outputs" "$scale1" "$scale2" "$via"
    output="HEADLESS-$outputs"
    cd "$PROG"
    session_env
    # Natively, what the program asks of the compositor is logged, to see the focus handed on;
    # it is started as a launcher starts it, with a token for its first window.
    platform=(QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client XDG_ACTIVATION_TOKEN="launcher-$name")
    [ -n "$XDISPLAY" ] && platform=(QT_QPA_PLATFORM=xcb DISPLAY="$XDISPLAY")
    "${in_session[@]}" "${platform[@]}" "$PROG/quadrello" >"$RUNTIME/app.log" 2>&1 &
    APP_PID=$!
    window_listed "'Informazioni su Quadrello'"
    windows | grep -q "^$output 'Informazioni su Quadrello'" ||
        fail "$name: the dialog is not on $output: $(windows)"
    type_key Return
    # The show: full screen on the dialog's output, with the keyboard.
    window_listed "^$output 'Quadrello' 1 True" ||
        fail "$name: the show is not full screen with the focus on $output: $(windows)"
    # Its picture centred on that output, at the size it has at scale 1: 300 x 200
    # device pixels at scale 1, 600 x 400 at scale 2.
    want_w=$((300 * scale)) want_h=$((200 * scale))
    found=""
    for i in $(seq 100); do
        as grim -o "$output" - >"$out/$name.png" 2>/dev/null
        found=$(convert "$out/$name.png" -fuzz 12% -fill black +opaque 'rgb(0,0,255)' -trim \
            -format '%w %h %X %Y %[fx:page.width]' info: 2>/dev/null)
        read -r w h x y ow <<<"$found"
        [ "${w:-0}" -ge $((want_w - 2)) ] && [ "${w:-0}" -le $((want_w + 2)) ] && break
        sleep 0.1
    done
    read -r w h x y ow <<<"$found"
    [ "${w:-0}" -ge $((want_w - 2)) ] && [ "${w:-0}" -le $((want_w + 2)) ] &&
        [ "${h:-0}" -ge $((want_h - 2)) ] && [ "${h:-0}" -le $((want_h + 2)) ] ||
        fail "$name: the picture is not ${want_w}x$want_h on $output ($found)"
    dx=$(( ${x#+} * 2 + w - ow ))  # across the output's device pixels
    [ "${dx#-}" -le 2 ] || fail "$name: the picture is not centred on $output ($found)"
    type_key a
    wait_gone "$APP_PID" 10 || fail "$name: a key did not end the show: $(windows)"
    APP_PID=""
    # The dialog asked for the focus with the launcher's token, and the show took it with
    # the token the dialog was given for the key that pressed its OK: not one asked for
    # anew, nor none.
    handed=""
    if [ -z "$XDISPLAY" ]; then
        handed=$(handed_on "launcher-$name" <"$RUNTIME/app.log") || fail "$name: the focus was not handed on ($handed)"
    fi
    end_session
    echo "$name: dialog and show on $output, picture ${w}x$h at +${x#+}+${y#+}, a key ended it${handed:+; $handed}"
done
echo "e2e sway: passed"
