#!/usr/bin/env bash
# The Debian package as a user gets it: cpack makes it, lintian finds no error,
# it has no maintainer scripts, and extracted into a temporary root its desktop
# entry, AppStream file and MIME type pass the desktop's own tools. The program
# started from there as the desktop entry starts it, with a sample data set,
# shows it loaded, opens Sensor > Load Calibration Data against a served
# simulated sensor, and closes with File > Exit; every library it loaded came from that root.
# Arguments: the cpack program, the build folder.
set -euo pipefail
for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli update-mime-database gio \
            xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if [ -z "${OSTREL_PACKAGE_DISPLAY:-}" ]; then
  exec env OSTREL_PACKAGE_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$BASH" "$0" "$@"
fi
cpack=$1 build=$2

work=$(mktemp -d /tmp/ostrel-package-XXXXXX)
cleanup() {
  kill "${ostrel:-}" "${serve:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$*" >&2; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/out/ostrel_*.deb)
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian found errors in $deb"
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm; do
  [ ! -e "$work/control/$script" ] || fail "the package has a $script script"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6charts6 libtirpc3 libusb-1.0-0 qt6-qpa-plugins; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
grep -q 'TAG+="uaccess"' "$root/usr/lib/udev/rules.d/70-ostrel.rules" || fail "the udev rule is missing"
desktop_entry=$share/applications/ostrel.desktop
desktop-file-validate "$desktop_entry"
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml
[ -s "$share/icons/hicolor/scalable/apps/ostrel.svg" ] && [ -s "$share/icons/hicolor/48x48/apps/ostrel.png" ] ||
  fail "the icon is missing"

# The file manager's view: a data set is one by its name or, as .bin, by its signature.
update-mime-database "$share/mime" 2>/dev/null
sample=$share/ostrel/samples/factory_v3.cal
cp "$sample" "$work/sensor.bin"
head -c 64 /dev/zero >"$work/other.bin"
content_type() { XDG_DATA_DIRS=$share:/usr/share gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/.*content-type: //p'; }
for file in "$sample" "$work/sensor.bin"; do
  [ "$(content_type "$file")" = application/x-tmx-calibration-data ] || fail "$file is not taken as a data set"
done
[ "$(content_type "$work/other.bin")" != application/x-tmx-calibration-data ] || fail "any .bin is taken as a data set"
grep -qx 'MimeType=application/x-tmx-calibration-data;' "$desktop_entry" || fail "the entry does not open data sets"

# The installed programs, from a working folder that holds nothing of the build.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$HOME"
export PATH=$root/usr/bin:$PATH
ostrel-sensorsim --store "$work/store" add 100001 --model TVX-18G --no-user-data >/dev/null
ostrel-sensorsim --store "$work/store" serve >/dev/null &
serve=$!

command=$(sed -n 's/^Exec=//p' "$desktop_entry")
[ "$command" = "ostrel %f" ] || fail "the entry runs \"$command\""
LD_DEBUG=files ostrel "$sample" 2>"$work/loaded.log" &
ostrel=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^factory_v3\.cal$' | head -n 1) ||
  fail "no main window showing factory_v3.cal"
sleep 1
xdotool windowfocus --sync "$main"
xdotool key --window "$main" alt+s l
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Upload Calibration Data$' | head -n 1) ||
  fail "Sensor > Load Calibration Data opened no dialog"
sleep 1
# A window closes before its key is released: the release may go astray.
xdotool windowfocus --sync "$dialog"
xdotool key --window "$dialog" Escape 2>/dev/null || true
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '^Upload Calibration Data$' >/dev/null || break
  sleep 0.2
done
! xdotool search --onlyvisible --name '^Upload Calibration Data$' >/dev/null || fail "the dialog did not close on Escape"
xdotool windowfocus --sync "$main"
xdotool key --window "$main" alt+f x 2>/dev/null || true
for _ in $(seq 1 50); do
  kill -0 "$ostrel" 2>/dev/null || break
  sleep 0.2
done
! kill -0 "$ostrel" 2>/dev/null || fail "the program did not close on File > Exit"
wait "$ostrel" || fail "the program did not end well (exit status $?)"
ostrel=

for library in libTvxControl2.so libostrel-visa.so; do
  grep -qE "calling init: $root/usr/(bin/\.\./)?lib/[^ ]*/$library\$" "$work/loaded.log" || {
    grep "$library" "$work/loaded.log" >&2 || true
    fail "$library was not loaded from the installed package"
  }
done
! grep "calling init: $build" "$work/loaded.log" || fail "a library was loaded from the build folder"
