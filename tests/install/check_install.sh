#!/usr/bin/env bash
# Installs the build into temporary DESTDIRs, once with the /usr prefix and
# once with a prefix of the user's choice, and checks the tree a desktop needs:
# exactly the expected files, icons of the sizes their folders name, a menu
# entry and software-centre metadata that the freedesktop validators accept
# and that point at the installed program and icon.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR PROJECT_VERSION
set -euo pipefail
build=$1 source=$2 version=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

sizes=(16 32 48 64 128 256)
expected_tree() {
  local p=$1
  {
    echo "$p/bin/vantor"
    echo "$p/share/applications/vantor.desktop"
    echo "$p/share/metainfo/vantor.metainfo.xml"
    echo "$p/share/icons/hicolor/scalable/apps/vantor.svg"
    for px in "${sizes[@]}"; do echo "$p/share/icons/hicolor/${px}x${px}/apps/vantor.png"; done
  } | sort
}

# Width and height from a PNG's header, as "WxH"; empty when not a PNG.
png_size() {
  local sig
  sig=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
  [ "$sig" = 89504e470d0a1a0a ] || return 0
  local b
  read -r -a b <<<"$(od -An -tu1 -j16 -N8 "$1")"
  echo "$(( (b[0]<<24) | (b[1]<<16) | (b[2]<<8) | b[3] ))x$(( (b[4]<<24) | (b[5]<<16) | (b[6]<<8) | b[7] ))"
}

desktop_value() { sed -n "s/^$1=//p" "$2" | head -n1; }

check_prefix() {
  local prefix=$1 dest="$tmp/dest$2"
  DESTDIR="$dest" cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 \
    || { cat "$tmp/install.log"; fail "cmake --install --prefix $prefix"; return; }
  local root="$dest$prefix"

  local got
  got=$(cd "$dest" && find . -type f -o -type l | sed 's|^\./|/|' | sort)
  if [ "$got" != "$(expected_tree "$prefix")" ]; then
    fail "installed tree for prefix $prefix differs:"
    diff <(expected_tree "$prefix") <(echo "$got") || true
    return
  fi
  [ -x "$root/bin/vantor" ] || fail "$prefix/bin/vantor is not executable"

  for px in "${sizes[@]}"; do
    local s
    s=$(png_size "$root/share/icons/hicolor/${px}x${px}/apps/vantor.png")
    [ "$s" = "${px}x${px}" ] || fail "icon in ${px}x${px} is '${s:-not a PNG}'"
  done
  grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/vantor.svg" || fail "scalable icon is not an SVG"

  local desktop="$root/share/applications/vantor.desktop"
  desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
  local exec
  read -r -a exec <<<"$(desktop_value Exec "$desktop")"
  [ -x "$root/bin/${exec[0]}" ] || fail "Exec= does not name the installed program"
  # A file manager offers the program for a folder and passes it as the argument.
  [ "${exec[*]:1}" = "%f" ] || fail "Exec= does not take a folder (%f)"
  [ "$(desktop_value MimeType "$desktop")" = "inode/directory;" ] || fail "MimeType is not inode/directory"
  [ -f "$root/share/icons/hicolor/scalable/apps/$(desktop_value Icon "$desktop").svg" ] \
    || fail "Icon= does not name the installed icon"
  [ "$(desktop_value GenericName "$desktop")" = "Disk space manager" ] || fail "GenericName"
  [ "$(desktop_value Categories "$desktop")" = "System;Filesystem;Utility;Qt;" ] || fail "Categories"

  local meta="$root/share/metainfo/vantor.metainfo.xml"
  appstreamcli validate --no-net "$meta" || fail "appstreamcli validate --no-net $meta"
  grep -q '<launchable type="desktop-id">vantor.desktop</launchable>' "$meta" \
    || fail "metadata does not launch vantor.desktop"
  grep -q "<release version=\"$version\"" "$meta" || fail "metadata has no release $version"
  grep -q '@[A-Z_]*@' "$meta" && fail "metadata has an unreplaced @VARIABLE@"
  local shot
  shot=$(sed -n 's|.*<image[^>]*>.*/\([^/<]*\)</image>.*|\1|p' "$meta")
  [ -n "$(png_size "$source/data/screenshots/$shot")" ] \
    || fail "screenshot '$shot' is not a PNG stored in data/screenshots"
}

check_prefix /usr 1
check_prefix /opt/vantor-check 2

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "install tree OK"
