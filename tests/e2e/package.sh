#!/usr/bin/env bash
# The Debian package: built by scripts/package.sh, lintian clean (no error, no warning),
# installed with apt-get, run by two ordinary users who each keep their own settings while
# the program folder stays as it was installed, then purged with nothing left behind.
# Root only (it installs a package); skipped (exit 77, saying why) elsewhere, or where a
# Quadrello package is already installed.
# Usage: package.sh SOURCE_TREE
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xenv.sh"
src="$1"
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
dpkg -s quadrello >/dev/null 2>&1 && skip "a quadrello package is installed on this machine"
e2e_open
WORK=$(mktemp -d)
chmod 755 "$WORK"
USERS=""
INSTALLED=""
cleanup() {
    local u
    # A program still running goes before the package it runs from.
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    [ -n "$INSTALLED" ] && apt-get purge -y -qq quadrello >/dev/null 2>&1
    # Qt's runtime folder of a user without a session's own is theirs in /tmp.
    for u in $USERS; do userdel -r "$u" >/dev/null 2>&1 && rm -rf "/tmp/runtime-$u"; done
    return 0
}
e2e_at_exit remove WORK
trap 'cleanup; e2e_close' EXIT

# Built, and lintian reports no error and no warning.
bash "$src/scripts/package.sh" "$WORK/dist" >"$WORK/package.log" 2>&1 ||
    fail "the package was not built: $(tail -20 "$WORK/package.log")"
deb=$(ls "$WORK"/dist/quadrello_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no quadrello_VERSION_ARCH.deb: $(tail -5 "$WORK/package.log")"
grep -E '^[EW]: ' "$WORK/package.log" && fail "lintian reports errors or warnings"
grep -q '^lintian: done' "$WORK/package.log" || fail "lintian did not run"
# The program reaches into Qt's platform interface, which holds only within one Qt version.
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *"qt6-base-abi (= "* ]] || fail "the package does not ask for its Qt version: $depends"

# Installed as people install a downloaded package; it puts Quadrello in the menu.
# Where a package can leave files, less the package system's own records, the caches its
# triggers refresh and the backups of the user database.
system_files() {
    find /usr /etc /opt /var/lib -xdev \( -path /var/lib/dpkg -o -path /var/lib/apt \) -prune \
        -o ! -name icon-theme.cache ! -name mimeinfo.cache ! -path '/etc/*-' -print 2>/dev/null | sort
}
before=$(system_files)
INSTALLED=1
apt-get install -y -qq --no-install-recommends "$deb" >"$WORK/apt.log" 2>&1 ||
    fail "apt-get install failed: $(tail -5 "$WORK/apt.log")"
dpkg -L quadrello >"$WORK/files"
id=example.quadrello.Quadrello
for f in /usr/bin/quadrello /usr/lib/quadrello/quadrello /usr/lib/quadrello/quadrello-metafile \
         /usr/lib/quadrello/QUADREL.htm /usr/lib/quadrello/TRV.txt /usr/lib/quadrello/esempi/01-tramonto.jpg \
         /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
         /usr/share/icons/hicolor/256x256/apps/$id.png /usr/share/man/man1/quadrello.1.gz; do
    grep -qx "$f" "$WORK/files" || fail "the package does not hold $f"
    [ -e "$f" ] || fail "not installed: $f"
done
[ -f /var/lib/quadrello/registry.reg ] || fail "the registry hive was not written on installing"
desktop-file-validate /usr/share/applications/$id.desktop || fail "the menu entry is not valid"
[ -x "$(grep '^Exec=' /usr/share/applications/$id.desktop | cut -d= -f2)" ] ||
    fail "the menu entry runs nothing"
folder_sum() { find /usr/lib/quadrello -exec stat -c '%n %s %Y %a' {} + | sort | md5sum; }
sum=$(folder_sum)

# Two ordinary users, each with a home of their own.
for u in quadrello-anna quadrello-bruno; do
    useradd --create-home --home-dir "$WORK/$u" --shell /bin/sh "$u" || fail "no user $u"
    USERS="$USERS $u"
done
x_start 1280x1024x24 || fail "no X server"

# Where USER's program stopped, when it left a core dump in the folder it ran in.
crash_of() {
    local core
    core=$(ls "$WORK/$1"/core* 2>/dev/null | head -n1)
    [ -n "$core" ] || return 0
    echo "it dumped $core:"
    stacks /usr/lib/quadrello/quadrello "$core"
}

# Whether the display answers USER as it answers their program.
display_answers() {
    setpriv --reuid="$1" --regid="$1" --init-groups env -i DISPLAY="$DISPLAY" xdpyinfo >/dev/null 2>&1
}

# Runs the installed command as USER; with SECONDS, types them in the dialog's box of
# seconds; then OK, and the show ended by a click.
run_as() {
    local user="$1" seconds="${2:-}" x y
    # The test's own display answers the user before their program starts.
    display_answers "$user" || fail "the display does not answer $user: $(x_state)"
    (cd "$WORK/$user" && ulimit -c unlimited && exec setpriv --reuid="$user" --regid="$user" --init-groups \
        env -i HOME="$WORK/$user" USER="$user" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin quadrello) \
        >>"$WORK/$user.log" 2>&1 &
    APP_PID=$!
    dlg=$(wait_window "^Informazioni su Quadrello$" 30) || fail "$user sees no dialog: $(program_state "$APP_PID" "$WORK/$user.log"; crash_of "$user")"
    if [ -n "$seconds" ]; then
        eval "$(xwininfo -id "$dlg" | awk '/Absolute upper-left X/{print "x="$NF} /Absolute upper-left Y/{print "y="$NF}')"
        # The box of seconds stands at 392,96 in the dialog, 33 x 25.
        xdotool mousemove $((x + 408)) $((y + 108)) click 1
        sleep 0.3
        xdotool key --clearmodifiers ctrl+a
        xdotool type --delay 50 "$seconds"
    fi
    press "$dlg" Return
    wait_viewer "$APP_PID" 1280 >/dev/null || fail "$user's OK started no show"
    sleep 0.5
    xdotool mousemove 5 5 click 1
    wait_gone "$APP_PID" 10 || fail "a click did not end $user's show"
    APP_PID=""
}
settings_of() { tr -d '\r' <"$WORK/$1/.config/quadrello/QUADRO.INI" 2>/dev/null | grep '^TempoAttesa='; }

run_as quadrello-anna 7
[ "$(settings_of quadrello-anna)" = "TempoAttesa=7" ] ||
    fail "anna's OK kept no seconds of hers: $(settings_of quadrello-anna)"
run_as quadrello-bruno 9
[ "$(settings_of quadrello-bruno)" = "TempoAttesa=9" ] || fail "bruno's seconds were not kept"
[ "$(settings_of quadrello-anna)" = "TempoAttesa=7" ] || fail "bruno's OK changed anna's settings"
# Anna again, changing nothing: her own settings file is the one read.
run_as quadrello-anna
[ "$(settings_of quadrello-anna)" = "TempoAttesa=7" ] || fail "anna's settings were not read back"
[ "$(folder_sum)" = "$sum" ] || fail "the users' OK changed the program folder"
[ ! -e /usr/lib/quadrello/QUADRO.INI ] || fail "a settings file landed in the program folder"

# Purged: every file it installed is gone, and nothing else is left.
apt-get purge -y -qq quadrello >"$WORK/apt.log" 2>&1 || fail "apt-get purge failed"
INSTALLED=""
while read -r f; do
    [ -d "$f" ] && continue
    [ -e "$f" ] || [ -L "$f" ] && fail "purge left $f"
done <"$WORK/files"
for u in $USERS; do userdel -r "$u" >/dev/null 2>&1 && rm -rf "/tmp/runtime-$u"; done
USERS=""
after=$(system_files)
left=$(comm -13 <(echo "$before") <(echo "$after"))
[ -z "$left" ] || fail "purge left: $left"
echo "e2e package: passed ($(du -k "$deb" | cut -f1) KiB, $(grep -c . "$WORK/files") paths)"
