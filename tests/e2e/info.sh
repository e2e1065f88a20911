#!/usr/bin/env bash
# The settings dialog's ways out, with the real program in a real X server: the banner
# and the contact address move; "&Aiuto" hands the help page to the desktop's opener;
# "&System Info..." runs the program the registry hive names, or says there is none.
# Usage: info.sh PROGRAM_FOLDER
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
e2e_open 1280x1024x24 "$1"
e2e_at_exit remove BIN
BIN=$(mktemp -d)
out="${E2E_SHOTS:-$BIN}"

# Waits until a file exists, at most SECONDS.
wait_file() {
    local deadline=$((SECONDS + ${2:-10}))
    while [ $SECONDS -lt $deadline ]; do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# The dialog's client area on the screen: "X Y".
client_origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        END{print x, y}'
}

# The client area's place once the dialog has stopped moving: it centres itself again when
# the window manager tells it the frame, which a busy machine can do well after the window
# shows. Five readings a tenth of a second apart must agree, within ten seconds.
settled_origin() {
    local last="" now same=0 i
    for i in $(seq 100); do
        now=$(client_origin "$1")
        if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; last="$now"; fi
        [ $same -ge 4 ] && break
        sleep 0.1
    done
    echo "$last"
}

# Whether a region of the screen (WxH+X+Y) changes within a few seconds.
region_changes() {
    local geometry="$1" first="$BIN/first.png" now="$BIN/now.png" i
    import -window root -crop "$geometry" +repage "$first" 2>/dev/null
    for i in $(seq 30); do
        sleep 0.1
        import -window root -crop "$geometry" +repage "$now" 2>/dev/null
        cmp -s <(convert "$first" rgb:-) <(convert "$now" rgb:-) || return 0
    done
    return 1
}

start_program() {
    start_dialog
    read -r CX CY < <(settled_origin "$dlg")
}

# A logging xdg-open first on PATH.
cat > "$BIN/xdg-open" <<'SH'
#!/bin/sh
printf '%s\n' "$@" > "$E2E_LOG/xdg-open.tmp" && mv "$E2E_LOG/xdg-open.tmp" "$E2E_LOG/xdg-open.log"
SH
chmod +x "$BIN/xdg-open"
export PATH="$BIN:$PATH" E2E_LOG="$BIN"

# A system-information program in a folder with a blank, named by the hive the build
# writes.
mkdir -p "$PROG/My Tools"
cat > "$PROG/My Tools/hardinfo2" <<'SH'
#!/bin/sh
echo ran > "$E2E_LOG/sysinfo.log"
SH
chmod +x "$PROG/My Tools/hardinfo2"
PATH="$PROG/My Tools:$PATH" bash "$here/../../scripts/write-registry.sh" "$PROG/registry.reg" ||
    fail "the hive could not be written"
grep -qF 'My Tools\\hardinfo2' "$PROG/registry.reg" || fail "the hive does not name the tool"

start_program
sleep 1
shot "$out/dialog-animated.png"
region_changes "210x17+$((CX + 276))+$((CY + 312))" ||
    fail "the contact address does not move (the dialog's client area at $CX,$CY)"
region_changes "169x89+$((CX + 24))+$((CY + 216))" ||
    fail "the banner does not change (the dialog's client area at $CX,$CY)"

# "&Aiuto": the help page's host path goes to xdg-open.
press "$dlg" alt+a
wait_file "$BIN/xdg-open.log" 10 || fail "Aiuto did not start xdg-open"
[ "$(cat "$BIN/xdg-open.log")" = "$PROG/QUADREL.htm" ] ||
    fail "xdg-open got: $(cat "$BIN/xdg-open.log")"
[ -f "$PROG/QUADREL.htm" ] || fail "no help page in the program folder"
grep -q 'charset="utf-8"' "$PROG/QUADREL.htm" || fail "the help page names no charset"

# "&System Info...": the program the hive names runs.
press "$dlg" alt+s
wait_file "$BIN/sysinfo.log" 10 || fail "System Info did not run the program the hive names"
kill -0 "$APP_PID" || fail "the program ended"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null; APP_PID=""

# Without the key, the message says the tool is not available.
printf 'REGEDIT4\r\n' > "$PROG/registry.reg"
rm -f "$BIN/sysinfo.log"
start_program
press "$dlg" alt+s
msg=$(wait_window "^Quadrello$" 10) || fail "no message without the registry key"
shot "$out/sysinfo-message.png"
press "$msg" Return
for i in $(seq 50); do
    xdotool search --onlyvisible --name "^Quadrello$" >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name "^Quadrello$" >/dev/null 2>&1 && fail "the message stayed open"
[ ! -e "$BIN/sysinfo.log" ] || fail "a program ran without the registry key"
xdotool search --onlyvisible --name "^Informazioni su Quadrello$" >/dev/null ||
    fail "the dialog closed with the message"
echo "e2e info: passed"
