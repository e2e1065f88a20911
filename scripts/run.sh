#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quadrello from its program folder.
# With a display, the program simply runs. Without one (a server, a container), it runs
# in a private X server while a short tour is driven with xdotool; the screenshots of
# the tour land in ./screenshots (or $QUADRELLO_SHOTS).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# Only what the program needs, and the private X server when there is a tour to take;
# the program, its program folder and the samples are built, not the tests.
tour=""
if [ -z "${DISPLAY:-}" ] || [ -n "${QUADRELLO_TOUR:-}" ]; then tour=1; fi
install_missing "${QUADRELLO_RUN_PACKAGES[@]}" ${tour:+"${QUADRELLO_XVFB_PACKAGES[@]}"}
QUADRELLO_TESTS=OFF build

if [ -z "$tour" ]; then
    cd "$QUADRELLO_PROGRAM"
    exec "$QUADRELLO_PROGRAM/quadrello"
fi

source "$QUADRELLO_ROOT/tests/e2e/xenv.sh"
shots="${QUADRELLO_SHOTS:-$QUADRELLO_ROOT/screenshots}"
mkdir -p "$shots"
x_start 1280x1024x24
# The program has usually ended by now; under set -e a failed kill would stop the trap
# before the X server is shut down, and turn a good tour into exit status 1. Before the
# program starts there is no pid, and "kill 0" would hit the caller's whole process group.
trap 'if [ -n "${APP_PID:-}" ]; then kill "$APP_PID" 2>/dev/null || true; fi; x_stop' EXIT

cd "$QUADRELLO_PROGRAM"
"$QUADRELLO_PROGRAM/quadrello" &
APP_PID=$!
echo "Quadrello runs on the private display $DISPLAY (program folder: $QUADRELLO_PROGRAM)"

dlg=$(wait_window "^Informazioni su Quadrello$" 30) || { echo "The settings dialog did not appear: $(x_state)" >&2; exit 1; }
sleep 0.5
shot "$shots/1-settings-dialog.png"
echo "  the settings dialog is open: $shots/1-settings-dialog.png"

# Two seconds a picture, then OK: the settings are written and the show takes the screen.
xdotool mousemove --window "$dlg" 410 108 click 1
press "$dlg" ctrl+a 2
press "$dlg" Return
started=$(date +%s.%N)
echo "  2 seconds a picture, OK pressed; settings written to $QUADRELLO_PROGRAM/QUADRO.INI:"
sleep 0.5
sed 's/^/    /' "$QUADRELLO_PROGRAM/QUADRO.INI" | tr -d '\r'

# The sample pictures, one a tick (the sample folder is a subfolder of the program folder).
# Each shot is taken 1.2 s after its tick, once the clearing and the slide-in are over,
# timed from OK so that slow shots do not drift into the next tick.
for n in 1 2 3 4 5 6 7 8 9; do
    wait=$(awk -v s="$started" -v n="$n" -v now="$(date +%s.%N)" 'BEGIN { print s + 2 * n + 1.2 - now }')
    [[ "$wait" == -* ]] || sleep "$wait"
    shot "$shots/$((n + 1))-show-$n.png"
    echo "  tick $n: $shots/$((n + 1))-show-$n.png"
done

# A click ends the show.
xdotool mousemove 5 5 click 1
if wait_gone "$APP_PID" 10; then
    echo "  a click ended the show"
else
    echo "The program did not end on a click." >&2
    exit 1
fi
echo "Tour finished; screenshots in $shots"
