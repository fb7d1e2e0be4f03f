#!/usr/bin/env bash
# Makes the Debian package from the build into a temporary folder and checks
# it with lintian: no error and no warning (the overrides shipped with the
# package say why their tags do not apply), and a dependency on the Wayland
# platform plugin, which Qt loads at run time and dpkg-shlibdeps cannot see.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1 \
  || { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$tmp"/vantor_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package made"; exit 1; }
deb=${debs[0]}
echo "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -Eq '(^|, )qt6-wayland($|[ ,])' || { echo "FAIL: no dependency on qt6-wayland"; exit 1; }
# lintian warns when run as root; that is not about the package.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) \
  || { echo "FAIL: lintian"; exit 1; }
echo "package OK"
