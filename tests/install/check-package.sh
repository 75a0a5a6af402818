#!/usr/bin/env bash
# check-package.sh DEB: the Debian package holds exactly the installed files under /usr, and
# its programs run from where `dpkg -x` unpacked them, with the libraries of the system.
set -euo pipefail
deb=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Section\|Maintainer\|Depends\):/\1:/p'
expected=$(sed 's|^|usr/|' "$(dirname "$0")/installed-files.txt" | LC_ALL=C sort)
packed=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)
[[ $packed == "$expected" ]] || fail "the package's files differ from the installed ones:
$(diff <(echo "$expected") <(echo "$packed"))"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no dependencies from dpkg-shlibdeps"

dpkg -x "$deb" "$scratch/root"
unset LD_LIBRARY_PATH
"$scratch/root/usr/bin/orvel" --help | grep -q "^usage: orvel" || fail "orvel --help"
QT_QPA_PLATFORM=offscreen "$scratch/root/usr/bin/OrvelRemote" --render-icon "$scratch/icons" ||
  fail "OrvelRemote --render-icon"
[[ -s $scratch/icons/icon_512x512.png ]] || fail "OrvelRemote --render-icon drew nothing"
echo "$(basename "$deb") holds the installed tree, and its programs run."
