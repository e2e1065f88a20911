#!/usr/bin/env bash
# Writes the program's registry hive (registry.reg in the program folder). Its
# HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO key names, as a DOS path (between
# double quotes when it holds blanks, so that it runs as one word), the
# first system-information program found on this machine; without one the key is left
# out and the program says the tool is not available. The file is rewritten only when
# its text changes.
# Usage: write-registry.sh OUTPUT_FILE
set -euo pipefail
out="$1"

tools=(hardinfo2 hardinfo gnome-system-monitor kinfocenter plasma-systemmonitor
       mate-system-monitor xfce4-taskmanager lxtask qps)

# C: is the root; volumes under /media, /run/media and /mnt take other letters, so a
# program there is not named. Nor is one whose path the program could not map back: a
# name holding \ : * ? " < > |, a control character or bytes that are not UTF-8.
dos_path() {
    case "$1" in
        /media/* | /run/media/* | /mnt/*) return 1 ;;
        *[\\:*?\"\<\>\|]* | *[[:cntrl:]]*) return 1 ;;
    esac
    printf '%s' "$1" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1 || return 1
    printf 'C:%s' "$(printf '%s' "$1" | tr '/' '\\')"
}

# The value is run as a command line, where blanks separate words: a path with blanks
# is written between double quotes (it holds none itself).
command_line() {
    case "$1" in
        *[[:blank:]]*) printf '"%s"' "$1" ;;
        *) printf '%s' "$1" ;;
    esac
}

found=""
for t in "${tools[@]}"; do
    p=$(command -v "$t" 2>/dev/null) || continue
    case "$p" in /*) ;; *) continue ;; esac
    p=$(readlink -f "$p")
    if dos=$(dos_path "$p"); then found=$(command_line "$dos"); break; fi
done

text=$'REGEDIT4\r\n'
if [ -n "$found" ]; then
    escaped=${found//\\/\\\\}
    escaped=${escaped//\"/\\\"}
    text+=$'\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n'
    text+="\"PATH\"=\"$escaped\""$'\r\n'
fi

tmp="$out.tmp.$$"
printf '%s' "$text" > "$tmp"
if cmp -s "$tmp" "$out"; then rm -f "$tmp"; else mv -f "$tmp" "$out"; fi
