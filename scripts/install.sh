#!/usr/bin/env bash
# Installs Quadrello for the current user (no root needed beyond installing missing
# packages), building it first when needed, with the build's install rules:
#   ~/.local/lib/quadrello/         the program folder, writable, so QUADRO.INI is kept
#   ~/.local/bin/quadrello          the command
#   ~/.local/share/applications/    the menu entry
#   ~/.local/share/icons/hicolor/   the program icon at the usual sizes
#   ~/.local/share/metainfo/        the AppStream metadata
#   ~/.local/share/man/man1/        the manual page
# The registry hive is written for this machine. Usage:
#   scripts/install.sh              install, or update an installation
#   scripts/install.sh --uninstall  remove it all, keeping the settings file QUADRO.INI
#   scripts/install.sh --uninstall --purge   remove the settings file too
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

id=example.quadrello.Quadrello
data="${XDG_DATA_HOME:-$HOME/.local/share}"
folder="$HOME/.local/lib/quadrello"
command="$HOME/.local/bin/quadrello"
entry="$data/applications/$id.desktop"
metainfo="$data/metainfo/$id.metainfo.xml"
icons="$data/icons/hicolor"
manual="$data/man/man1/quadrello.1"
sizes=(16 32 64 128 256)

refresh_menus() {
    if command -v update-desktop-database >/dev/null; then
        update-desktop-database -q "$data/applications" 2>/dev/null || true
    fi
    if command -v gtk-update-icon-cache >/dev/null && [ -f "$icons/index.theme" ]; then
        gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
    fi
}

uninstall() {
    local purge="$1" s
    rm -f "$command" "$entry" "$metainfo" "$manual"
    for s in "${sizes[@]}"; do rm -f "$icons/${s}x${s}/apps/$id.png"; done
    if [ -d "$folder" ]; then
        # Everything but the user's settings, unless asked.
        find "$folder" -mindepth 1 -maxdepth 1 ! -name QUADRO.INI -exec rm -rf {} +
        [ "$purge" = 1 ] && rm -f "$folder/QUADRO.INI"
        rmdir "$folder" 2>/dev/null || true
    fi
    refresh_menus
}

case "${1:-}" in
    --uninstall)
        purge=0
        [ "${2:-}" = --purge ] && purge=1
        uninstall "$purge"
        echo "Quadrello removed$([ "$purge" = 1 ] || echo ", settings kept in $folder/QUADRO.INI")."
        exit 0 ;;
    "") ;;
    *) echo "usage: $0 [--uninstall [--purge]]" >&2; exit 2 ;;
esac

# Build when needed: an existing build is brought up to date as it is configured, a new
# one leaves the tests out.
install_missing "${QUADRELLO_RUN_PACKAGES[@]}"
if [ -f "$QUADRELLO_BUILD/build.ninja" ]; then
    cmake --build "$QUADRELLO_BUILD" -j "$(nproc)"
else
    QUADRELLO_TESTS=OFF build
fi

# The build's install rules, laid out in a staging folder for the prefix ~/.local (the menu
# entry runs the program folder's executable), then put in place: the program folder
# whole, the user's settings file staying as it is; the menu entry, the icons, the
# metadata and the manual page in the data folder.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$QUADRELLO_BUILD" --prefix "$HOME/.local" >/dev/null
staged="$stage$HOME/.local"
mkdir -p "$folder" "$(dirname "$command")" "$data"
find "$folder" -mindepth 1 -maxdepth 1 ! -name QUADRO.INI -exec rm -rf {} +
(cd "$staged/lib/quadrello" && find . -mindepth 1 -maxdepth 1 ! -name QUADRO.INI \
    -exec cp -a {} "$folder/" \;)
cp -a "$staged/share/." "$data/"
bash "$QUADRELLO_ROOT/scripts/write-registry.sh" "$folder/registry.reg"
ln -sfn "$folder/quadrello" "$command"
refresh_menus

echo "Quadrello installed in $folder; the command is $command."
case ":$PATH:" in
    *":$(dirname "$command"):"*) ;;
    *) echo "Note: $(dirname "$command") is not on your PATH." ;;
esac
