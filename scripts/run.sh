#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quadrello from its program folder.
# With a display, the program simply runs. Without one (a server, a container), it runs
# in a private X server while a short tour is driven with xdotool; the screenshots of
# the tour land in ./screenshots (or $QUADRELLO_SHOTS).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build

if [ -n "${DISPLAY:-}" ] && [ -z "${QUADRELLO_TOUR:-}" ]; then
    cd "$QUADRELLO_PROGRAM"
    exec "$QUADRELLO_PROGRAM/quadrello"
fi

source "$QUADRELLO_ROOT/tests/e2e/xenv.sh"
shots="${QUADRELLO_SHOTS:-$QUADRELLO_ROOT/screenshots}"
mkdir -p "$shots"
x_start 1280x1024x24
trap 'kill "${APP_PID:-0}" 2>/dev/null; x_stop' EXIT

cd "$QUADRELLO_PROGRAM"
"$QUADRELLO_PROGRAM/quadrello" &
APP_PID=$!
echo "Quadrello runs on the private display $DISPLAY (program folder: $QUADRELLO_PROGRAM)"

dlg=$(wait_window "^Informazioni su Quadrello$" 30) || { echo "The settings dialog did not appear." >&2; exit 1; }
sleep 0.5
shot "$shots/1-settings-dialog.png"
echo "  the settings dialog is open: $shots/1-settings-dialog.png"

# OK: the settings are written and the show takes the screen.
press "$dlg" Return
sleep 1.5
shot "$shots/2-viewer.png"
echo "  OK pressed, the viewer covers the screen: $shots/2-viewer.png"
echo "  settings written to $QUADRELLO_PROGRAM/QUADRO.INI:"
sed 's/^/    /' "$QUADRELLO_PROGRAM/QUADRO.INI" | tr -d '\r'

kill "$APP_PID" 2>/dev/null || true
echo "Tour finished; screenshots in $shots"
