#!/usr/bin/env bash
# check-installed-tree.sh CMAKE BUILD_DIR: `cmake --install` into a scratch prefix lays out
# exactly the files a desktop, man, the shells and systemd look for, and each is valid for the
# program that reads it.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/installed-app.sh"
cd "$prefix"

expected=$(LC_ALL=C sort "$here/installed-files.txt")
installed=$(find . -type f -printf '%P\n' | LC_ALL=C sort)
[[ $installed == "$expected" ]] ||
  fail "the installed files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$installed"))"
for program in bin/OrvelRemote bin/orvel libexec/orvel-remote/OrvelBridge; do
  [[ -x $program ]] || fail "$program is not executable"
done

# Each icon has the size of the folder it is in (a PNG's width and height: bytes 17 to 24).
for icon in share/icons/hicolor/*x*/apps/quillon.orvel.Remote.png; do
  size=${icon#share/icons/hicolor/} size=${size%%/*}
  read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [[ "${width}x$height" == "$size" ]] || fail "$icon is ${width}x$height"
done
grep -q '<svg' share/icons/hicolor/scalable/apps/quillon.orvel.Remote.svg || fail "no SVG icon"

# The entry, its action and the unit start the installed app by its path.
entry=share/applications/quillon.orvel.Remote.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
grep -qx "Exec=$prefix/bin/OrvelRemote" "$entry" || fail "$entry does not start the installed app"
grep -qx "Exec=$prefix/bin/OrvelRemote --show-remote" "$entry" || fail "no Open Remote action"
grep -qx "Icon=quillon.orvel.Remote" "$entry" || fail "$entry names another icon"
appstreamcli validate --no-net share/metainfo/quillon.orvel.Remote.metainfo.xml ||
  fail "appstreamcli validate"
# The data with what it names: the desktop entry it launches.
appstreamcli validate-tree --no-net "$prefix" >"$scratch/tree.log" ||
  fail "appstreamcli validate-tree: $(cat "$scratch/tree.log")"
unit=share/systemd/user/orvel-remote.service
grep -qx "ExecStart=$prefix/bin/OrvelRemote --headless" "$unit" || fail "$unit starts another program"
if command -v systemd-analyze >/dev/null; then
  # Its Documentation= pages are looked up with man, here the installed ones.
  MANPATH="$prefix/share/man" systemd-analyze verify "$unit" || fail "systemd-analyze verify $unit"
else
  echo "systemd-analyze is missing: the unit is not verified"
fi

# The pages are roff that man reads without a warning, each under its NAME.
for page in orvel OrvelRemote; do
  text=$(MANWIDTH=80 man --warnings -l "share/man/man1/$page.1" 2>"$scratch/man.err") ||
    fail "man $page"
  [[ ! -s $scratch/man.err ]] || fail "man $page: $(cat "$scratch/man.err")"
  grep -q "^       $page - " <<<"$text" || fail "the page $page has no NAME line"
done

# The installed tool and app run from here (that the app finds its bridge and serves the tool:
# tests/app/InstalledAppTests).
orvel --help | grep -q "^usage: orvel" || fail "orvel --help"
OrvelRemote --version | grep -q "^OrvelRemote [0-9]" || fail "OrvelRemote --version"
echo "The installed tree is complete and valid."
