#!/usr/bin/env bash
# The per-user install into a temporary home: every file in its place, the menu entry
# and the metadata valid, the installed command starts and keeps its settings in its
# own folder; uninstall keeps the settings file, purge removes it too.
# Usage: install.sh SOURCE_TREE BUILD_DIR
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
src="$1"
e2e_open
e2e_at_exit remove HOME_DIR

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}" QUADRELLO_BUILD="$2"
HOME_DIR=$(mktemp -d)
export HOME="$HOME_DIR"
unset XDG_DATA_HOME
bash "$src/scripts/install.sh" >"$HOME/install.log" 2>&1 || fail "install failed: $(tail -5 "$HOME/install.log")"

id=example.quadrello.Quadrello
folder="$HOME/.local/lib/quadrello"
share="$HOME/.local/share"
for f in "$folder/quadrello" "$folder/QUADREL.htm" "$folder/TRV.txt" "$folder/registry.reg" \
         "$folder/esempi/01-tramonto.jpg" "$share/applications/$id.desktop" \
         "$share/metainfo/$id.metainfo.xml" "$share/icons/hicolor/16x16/apps/$id.png" \
         "$share/icons/hicolor/256x256/apps/$id.png" "$share/man/man1/quadrello.1"; do
    [ -e "$f" ] || fail "not installed: $f"
done
[ "$(readlink -f "$HOME/.local/bin/quadrello")" = "$folder/quadrello" ] || fail "no quadrello command"
# The programs load only the system's libraries: no run path, where an empty entry would be
# the current folder (built or installed).
for b in "$folder/quadrello" "$folder/quadrello-metafile" "$2/program/quadrello"; do
    ! readelf -d "$b" | grep -qE '\((RUN)?PATH\)' || fail "$b has a run path: $(readelf -d "$b" | grep PATH)"
done
[ "$(identify -format '%wx%h' "$share/icons/hicolor/128x128/apps/$id.png")" = 128x128 ] ||
    fail "the 128 px icon has another size"
grep -qx "Exec=$folder/quadrello" "$share/applications/$id.desktop" || fail "the entry runs another program"
desktop-file-validate "$share/applications/$id.desktop" || fail "the menu entry is not valid"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "the metadata is not valid: $(appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml")"

# The installed command starts; OK keeps the settings in the installed folder.
x_start 1280x1024x24 || fail "no X server"
cd "$HOME"
"$HOME/.local/bin/quadrello" &
APP_PID=$!
dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "the installed command shows no dialog"
press "$dlg" Return
for i in $(seq 50); do [ -f "$folder/QUADRO.INI" ] && break; sleep 0.1; done
[ -f "$folder/QUADRO.INI" ] || fail "OK wrote no settings file in the installed folder"
viewer=$(wait_viewer "$APP_PID" 1280) || fail "the installed program shows no full-screen show"
sleep 0.5
xdotool mousemove 5 5 click 1
wait_gone "$APP_PID" 10 || fail "a click did not end the show"
APP_PID=""

# An update keeps the settings; uninstall removes everything else; purge the rest.
bash "$src/scripts/install.sh" >"$HOME/install.log" 2>&1 || fail "the second install failed"
[ -f "$folder/QUADRO.INI" ] || fail "installing again lost the settings file"
bash "$src/scripts/install.sh" --uninstall >/dev/null || fail "uninstall failed"
left=$(cd "$HOME" && find .local -type f ! -name mimeinfo.cache ! -name 'icon-theme.cache')
[ "$left" = ".local/lib/quadrello/QUADRO.INI" ] || fail "uninstall left: $left"
[ ! -e "$HOME/.local/bin/quadrello" ] || fail "uninstall left the command"
bash "$src/scripts/install.sh" --uninstall --purge >/dev/null || fail "purge failed"
[ ! -e "$folder" ] || fail "purge left the program folder"
echo "e2e install: passed"
