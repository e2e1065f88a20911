# A private X server with a small window manager, for the real binary.
# Sourced. Provides: x_start, x_stop, x_state, wait_window NAME [SECONDS], wait_viewer PID WIDTH,
# shot FILE, program_copy DIR (a fresh copy of the program folder to run from), press,
# fail MESSAGE (ends a test script), show_settings FOLDER SECONDS, start_dialog, and for
# test scripts e2e_open and e2e_at_exit.

# XVFB_ARGS: further arguments of the X server (words); X_NO_WM=1: no window manager
# (wm_start starts it later). The server never resets: left to itself it would reset
# whenever its last client goes, dropping the connections that come meanwhile, such as
# those of a window manager or a program that start as a short-lived client leaves.
# What the X server and the window manager print, and how they end, go to $X_LOGS, for
# x_state.
x_start() {
    local geometry="${1:-1280x1024x24}"
    local fdfile
    fdfile=$(mktemp)
    # shellcheck disable=SC2086
    x_spawn xvfb Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset ${XVFB_ARGS:-} \
        3>"$fdfile"
    XVFB_PID=$STARTED
    local i
    for i in $(seq 400); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
    [ "$DISPLAY" != ":" ] || { echo "Xvfb did not start" >&2; return 1; }
    [ -n "${X_NO_WM:-}" ] && return 0
    wm_start
}

# Starts COMMAND... in the background, with what it prints in $X_LOGS/NAME.log and, once
# it has ended, its exit status in $X_LOGS/NAME.status; its process id in $STARTED.
# Usage: x_spawn NAME COMMAND...
x_spawn() {
    local name="$1" i
    shift
    [ -d "${X_LOGS:-}" ] || X_LOGS=$(mktemp -d)
    rm -f "$X_LOGS/$name.pid" "$X_LOGS/$name.status"
    (
        "$@" >"$X_LOGS/$name.log" 2>&1 &
        echo $! >"$X_LOGS/$name.pid"
        wait $!
        echo $? >"$X_LOGS/$name.status"
    ) >/dev/null 2>&1 &
    for i in $(seq 500); do
        [ -s "$X_LOGS/$name.pid" ] && break
        sleep 0.01
    done
    STARTED=$(cat "$X_LOGS/$name.pid")
}

# The window manager on the X server of $DISPLAY (x_start starts it but with X_NO_WM).
wm_start() {
    local i
    x_spawn jwm jwm -f "$(dirname "${BASH_SOURCE[0]}")/jwmrc"
    WM_PID=$STARTED
    # The window manager is ready when it has announced itself on the root window, with the
    # id of its supporting window (before it has even named the property, xprop says there
    # is "no such atom on any window"). A busy machine can take seconds to start it; a
    # window mapped before then is never framed.
    local ready=""
    for i in $(seq 400); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id #' && { ready=1; break; }
        kill -0 "$WM_PID" 2>/dev/null || break
        sleep 0.05
    done
    [ -n "$ready" ] || { echo "the window manager did not start: $(x_state)" >&2; return 1; }
}

# Safe in an EXIT trap of a script that runs with set -e: nothing here may fail, or the
# trap would stop half-way and leave the X server running.
x_stop() {
    if [ -n "${WM_PID:-}" ]; then kill "$WM_PID" 2>/dev/null || true; fi
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    if [ -n "${X_LOGS:-}" ]; then rm -rf "$X_LOGS" || true; fi
    X_LOGS=""
}

# Whether the X server of x_start and its window manager still run, and for one that
# ended, what it printed last and what the kernel said of it.
x_state() {
    local name pid log status
    for name in "X server:XVFB_PID:xvfb" "window manager:WM_PID:jwm"; do
        IFS=: read -r name pid log <<<"$name"
        pid="${!pid:-}"
        [ -n "$pid" ] || continue
        if kill -0 "$pid" 2>/dev/null; then
            echo "the $name ($pid) runs"
        else
            status=$(cat "${X_LOGS:-/nonexistent}/$log.status" 2>/dev/null)
            case "$status" in
            "") status="" ;;
            129 | 1[3-9][0-9]) status=" (killed by SIG$(kill -l $((status - 128))))" ;;
            *) status=" (exit status $status)" ;;
            esac
            echo "the $name ($pid) ended$status; it printed: $(tail -15 "${X_LOGS:-/nonexistent}/$log.log" 2>/dev/null)"
            dmesg 2>/dev/null | grep -E "\[$pid\]|process $pid |pid=$pid\b" | tail -5
        fi
    done
    return 0
}

# Prints the id of the first visible window whose name matches, waiting at most SECONDS.
wait_window() {
    local name="$1" seconds="${2:-20}" id=""
    local deadline=$((SECONDS + seconds))
    while [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# What the window manager made of window WIN, for a failure's message: whether it still
# runs, the window's parent (its frame) and the properties it sets.
wm_state_of() {
    local win="$1"
    echo "$(x_state); $(xwininfo -children -id "$win" 2>&1 | grep -m1 -i 'parent window')" \
        "$(xprop -id "$win" WM_STATE _NET_WM_STATE _NET_FRAME_EXTENTS 2>&1 | tr '\n' ' ')" \
        "$(xprop -root _NET_CLIENT_LIST 2>&1)"
}

# What process PID shows and does, for a failure's message: whether it runs, its windows
# and their map state, the end of its LOG if given, and where a running one waits.
program_state() {
    local pid="$1" log="${2:-}" alive="ended" w
    kill -0 "$pid" 2>/dev/null && alive="running"
    echo "the program is $alive; $(x_state)"
    echo "the program's windows:"
    for w in $(xdotool search --pid "$pid" 2>/dev/null); do
        xwininfo -id "$w" | awk -v w="$w" '/xwininfo:/{$1=$2=$3=""; n=$0} /Map State/{s=$NF}
            END {print "  " w n " " s}'
    done
    [ -n "$log" ] && echo "its log: $(tail -20 "$log")"
    [ "$alive" = running ] && stacks -p "$pid"
    return 0
}

# The stacks gdb gives of a running process (-p PID) or of a core dump (PROGRAM CORE): the
# first thread, then every thread in short.
stacks() {
    command -v gdb >/dev/null || return 0
    timeout 60 gdb -batch -ex 'thread 1' -ex 'bt 20' -ex 'thread apply all bt 5' "$@" 2>/dev/null |
        grep -E '^(Thread|#)' | cut -c1-160 | head -150
}

# Ends a test script with its reason.
fail() { echo "FAIL: $*" >&2; exit 1; }

# Prints the id of a visible window of process PID that is WIDTH pixels wide (the show
# covering the screen), waiting about ten seconds; fails when there is none.
wait_viewer() {
    local pid="$1" width="$2" i w
    for i in $(seq 100); do
        for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            [ "$(xwininfo -id "$w" | awk '/^ *Width/{print $NF}')" = "$width" ] && { echo "$w"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# Waits until a process has ended, at most SECONDS; fails if it is still running.
wait_gone() {
    local pid="$1" seconds="${2:-10}"
    local deadline=$((SECONDS + seconds))
    while [ $SECONDS -lt $deadline ]; do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# From the server's framebuffer when it writes one (XVFB_FBDIR, given to Xvfb as -fbdir):
# what the monitors show, whatever the windows say of themselves.
shot() {
    if [ -n "${XVFB_FBDIR:-}" ]; then
        convert "xwd:$XVFB_FBDIR/Xvfb_screen0" "$1" 2>/dev/null
    else
        import -window root "$1" 2>/dev/null
    fi
}

# look_for SHOT TRIES WIDTH HEIGHT SLACK CONVERT_ARGUMENTS...: screenshots into SHOT, a
# tenth of a second apart, up to TRIES, until the pixels that CONVERT_ARGUMENTS keep (they
# paint everything else black) trim to a box WIDTH x HEIGHT, give or take SLACK pixels.
# Prints the last box found as "width height left top"; fails when none matched.
look_for() {
    local file="$1" tries="$2" want_w="$3" want_h="$4" slack="$5" i box w h x y dw dh
    shift 5
    for i in $(seq "$tries"); do
        sleep 0.1
        shot "$file"
        box=$(convert "$file" "$@" -trim -format '%w %h %X %Y' info: 2>/dev/null)
        read -r w h x y <<<"$box"
        dw=$(( ${w:-0} - want_w )); dh=$(( ${h:-0} - want_h ))
        if [ "${dw#-}" -le "$slack" ] && [ "${dh#-}" -le "$slack" ]; then
            echo "$w $h ${x#+} ${y#+}"
            return 0
        fi
    done
    x=${x:-}; y=${y:-}
    echo "${w:-0} ${h:-0} ${x#+} ${y#+}"
    return 1
}

# A fresh program folder copy, so runs never touch the build tree's settings file.
program_copy() {
    local from="$1" to
    to=$(mktemp -d)
    cp -a "$from/." "$to/"
    rm -f "$to/QUADRO.INI"
    echo "$to"
}

# Brings a window to the front and types keys into it, as a user would (XTEST).
press() {
    local win="$1"; shift
    # --sync waits for good when the window manager ignores the request (a window it
    # has not taken on yet): a bounded wait, then the loop below.
    timeout 5 xdotool windowactivate --sync "$win" >/dev/null 2>&1 ||
        timeout 5 xdotool windowfocus --sync "$win" >/dev/null 2>&1
    for i in $(seq 50); do
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$win" ] && break
        sleep 0.05
    done
    xdotool key --clearmodifiers "$@"
}

# The opening of a test script: unset variables and failures inside pipes are errors (each
# check ends the script through fail, not set -e), and an EXIT trap ends the program
# ($APP_PID) and what e2e_at_exit names, stops the X server and removes the program copy
# ($PROG). With GEOMETRY and PROGRAM_FOLDER it also starts the X server, makes the copy
# and points $out, where screenshots go, at $E2E_SHOTS or the copy.
# Usage: e2e_open [GEOMETRY PROGRAM_FOLDER]
e2e_open() {
    set -uo pipefail
    E2E_KILL="" E2E_REMOVE=""
    trap e2e_close EXIT
    if [ $# -ge 2 ]; then
        x_start "$1" || fail "no X server"
        PROG=$(program_copy "$2")
        out="${E2E_SHOTS:-$PROG}"
    fi
}

# At exit, also ends the processes ("kill") or removes the folders ("remove") whose names
# the variables NAME... hold by then.
# Usage: e2e_at_exit kill|remove NAME...
e2e_at_exit() {
    local what="$1"; shift
    case "$what" in
    kill) E2E_KILL="$E2E_KILL $*" ;;
    remove) E2E_REMOVE="$E2E_REMOVE $*" ;;
    esac
}

e2e_close() {
    local name
    for name in APP_PID $E2E_KILL; do
        [ -n "${!name:-}" ] && kill "${!name}" 2>/dev/null
    done
    x_stop
    for name in PROG $E2E_REMOVE; do
        [ -n "${!name:-}" ] && rm -rf "${!name}"
    done
}

# Starts the program copy from its folder, with the NAME=VALUE settings of its
# environment given, and waits for the settings dialog: its process in $APP_PID, the
# dialog's window in $dlg.
# Usage: start_dialog [NAME=VALUE...]
start_dialog() {
    cd "$PROG"
    env "$@" "$PROG/quadrello" &
    APP_PID=$!
    dlg=$(wait_window "^Informazioni su Quadrello$" 30) ||
        fail "the settings dialog did not appear: $(program_state "$APP_PID")"
}

# A settings file in the program copy: pictures from host FOLDER, SECONDS a picture, no
# music, sound or effects.
show_settings() {
    printf 'PATH=%s\r\nTempoAttesa=%s\r\nMusicaFM= 0 \r\nSuonoWAV= 0 \r\nEffetti= 0 \r\n' \
        "$(echo "C:$1" | tr '/' '\\')" "$2" > "$PROG/QUADRO.INI"
}
