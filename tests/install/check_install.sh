#!/usr/bin/env bash
# Installs the build into temporary DESTDIRs, once with the /usr prefix and
# once with a prefix of the user's choice, and checks the tree a desktop needs:
# exactly the expected files, icons of the sizes their folders name, a menu
# entry and software-centre metadata that the freedesktop validators accept
# and that point at the installed program and icon; the manual page, the
# Debian copyright and changelog; and the installed program's answers to
# --help, --version and a wrong command line.
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
    echo "$p/share/man/man1/vantor.1.gz"
    echo "$p/share/doc/vantor/copyright"
    echo "$p/share/doc/vantor/changelog.Debian.gz"
    # lintian's overrides belong where packages install.
    [ "$p" = /usr ] && echo "$p/share/lintian/overrides/vantor"
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

# gzip as Debian wants it: maximum compression (XFL 2), no stored name
# (FLG bit 3 clear) and no time stamp (MTIME 0).
debian_gzip() {
  gzip -t "$1" 2>/dev/null || return 1
  local b
  read -r -a b <<<"$(od -An -tu1 -N10 "$1")"
  [ $((b[3] & 8)) -eq 0 ] && [ "${b[4]}${b[5]}${b[6]}${b[7]}" = 0000 ] && [ "${b[8]}" -eq 2 ]
}

check_documents() {
  local root=$1
  local man="$root/share/man/man1/vantor.1.gz"
  debian_gzip "$man" || fail "manual page is not gzip -9n"
  gzip -dc "$man" | sed 's/\\-/-/g' >"$tmp/page"
  grep -q '^\.TH VANTOR 1 ' "$tmp/page" || fail "manual page has no .TH VANTOR 1"
  # The page documents every option of the help, the exit status and the files.
  local opt
  for opt in $("$root/bin/vantor" --help | grep -o -- ' --\?[a-z][a-z-]*' | sort -u); do
    grep -q -- "$opt" "$tmp/page" || fail "manual page does not name $opt"
  done
  for word in 'EXIT STATUS' vantor.ini registry.ini folders.txt drives.ini VantorArchives 'vantor --help'; do
    grep -q -- "$word" "$tmp/page" || fail "manual page does not mention $word"
  done

  local doc="$root/share/doc/vantor"
  [ "$(head -n1 "$doc/copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] \
    || fail "copyright file is not machine-readable"
  debian_gzip "$doc/changelog.Debian.gz" || fail "changelog is not gzip -9n"
  gzip -dc "$doc/changelog.Debian.gz" | head -n1 | grep -q "^vantor ($version-[0-9]*) " \
    || fail "changelog's last entry is not version $version"
}

# The command line, from the installed program, without a display.
check_command_line() {
  local prog=$1 out err rc
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prog" --version 2>"$tmp/err") && rc=0 || rc=$?
  [ "$rc" -eq 0 ] && [ "$out" = "Vantor '95 $version" ] && [ ! -s "$tmp/err" ] \
    || fail "--version: status $rc, '$out'"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prog" --help 2>"$tmp/err") && rc=0 || rc=$?
  [ "$rc" -eq 0 ] && [[ "$out" == "Usage: vantor [OPTION]... [FOLDER]"* ]] && [ ! -s "$tmp/err" ] \
    || fail "--help: status $rc"
  : >"$tmp/file"
  local bad
  for bad in --no-such-option "$tmp/file" "$tmp/missing"; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prog" "$bad" 2>"$tmp/err") && rc=0 || rc=$?
    err=$(head -n1 "$tmp/err")
    [ "$rc" -eq 2 ] && [ -z "$out" ] && [[ "$err" == "vantor: "*"$bad"* ]] \
      || fail "'$bad': status $rc, stderr '$err'"
  done
}

check_prefix /usr 1
check_documents "$tmp/dest1/usr"
check_command_line "$tmp/dest1/usr/bin/vantor"
check_prefix /opt/vantor-check 2

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "install tree OK"
