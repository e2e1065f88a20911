#!/usr/bin/env bash
# Builds the Debian package quadrello_VERSION_ARCH.deb from the sources, in a copy of the
# tree (dpkg-buildpackage writes beside the tree it builds), and checks it with lintian.
#   scripts/package.sh [OUTPUT_FOLDER]     (dist/ by default)
# Then, as root: apt-get install ./dist/quadrello_*.deb
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
out="$(mkdir -p "${1:-$QUADRELLO_ROOT/dist}" && cd "${1:-$QUADRELLO_ROOT/dist}" && pwd)"

# What building a package needs, and the package's own build dependencies.
build_deps=()
while read -r dep; do
    [ -n "$dep" ] && build_deps+=("$dep")
done < <(sed -n '/^Build-Depends:/,/^[A-Z][A-Za-z-]*:/{s/^Build-Depends://;/^[A-Z][A-Za-z-]*:/d;p}' \
             "$QUADRELLO_ROOT/debian/control" | tr ',' '\n' | sed 's/(.*)//;s/[[:space:]]//g' |
             grep -v '^debhelper-compat$')
install_missing dpkg-dev debhelper lintian "${build_deps[@]}"

version=$(dpkg-parsechangelog -l "$QUADRELLO_ROOT/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/quadrello-$version"
mkdir -p "$tree"
# The sources as the checkout has them, without any build or output folder.
if git -C "$QUADRELLO_ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$QUADRELLO_ROOT" ls-files -z --cached --others --exclude-standard |
        (cd "$QUADRELLO_ROOT" && xargs -0 cp -a --parents -t "$tree" 2>/dev/null || true)
else
    (cd "$QUADRELLO_ROOT" && tar --exclude='./build*' --exclude=./dist --exclude=./screenshots -cf - .) |
        tar -xf - -C "$tree"
fi
[ -f "$tree/debian/rules" ] || { echo "package.sh: the copied tree has no debian/rules" >&2; exit 1; }

# The compiler cache of the developer's builds, if there is one (debhelper gives the
# build a home of its own).
if command -v ccache >/dev/null; then
    CCACHE_DIR="$(ccache -k cache_dir)"
    export CCACHE_DIR
fi
start=$SECONDS
(cd "$tree" && dpkg-buildpackage -us -uc -b -J"$(nproc)") >"$work/build.log" 2>&1 || {
    tail -40 "$work/build.log" >&2
    echo "package.sh: dpkg-buildpackage failed" >&2
    exit 1
}
deb="quadrello_${version}_${arch}.deb"
cp "$work/$deb" "$out/"
echo "Built $out/$deb in $((SECONDS - start)) s ($(du -k "$out/$deb" | cut -f1) KiB)."
# lintian's scratch files go with the build's.
TMPDIR="$work" lintian --info --display-info "$out/$deb"
echo "lintian: done"
