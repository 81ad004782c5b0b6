#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` builds it, apt-get installs it, the
# installed program converts a file in console mode and starts its window
# offscreen, and the package is removed again. Needs root and apt-get; skips
# (77) without them, and when an orvantic package is installed already (it
# is not ours to remove).
# Usage: deb_test.sh <build folder> <make_media.sh>
set -uo pipefail
source "$(dirname "$0")/proc_guard.sh"
build="$1"
make_media="$2"
[ "$(id -u)" = 0 ] && command -v apt-get >/dev/null && command -v cpack >/dev/null ||
  { echo "SKIP: needs root, apt-get and cpack"; exit 77; }
dpkg-query -W -f='${Status}' orvantic 2>/dev/null | grep -q "install ok installed" &&
  { echo "SKIP: an orvantic package is installed already"; exit 77; }
work=$(mktemp -d)
installed=""
cleanup() {
  local status=$?
  # The window and any engine it started end before the package goes.
  guard_end
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive apt-get remove -y --purge orvantic >/dev/null 2>&1
  rm -rf "$work"
  guard_check || status=1
  exit $status
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
chmod 755 "$work"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/pkg/orvantic_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no .deb built"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# What the two programs link directly (libswscale and libswresample come with
# libavfilter).
for lib in libqt6widgets6 libqt6dbus6 libavcodec libavformat libavfilter libavutil libsdl2 \
  libdvdread8 libx11-6; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib"
done
dpkg-deb -c "$deb" >"$work/contents" || fail "cannot list the package"
grep -q './usr/libexec/orvantic/orvantic-engine$' "$work/contents" || fail "engine not in libexec"
grep -q './usr/share/applications/orvantic.desktop$' "$work/contents" || fail "no desktop entry"

DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" \
  >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; fail "apt-get install failed"; }
installed=1
[ -x /usr/bin/orvantic ] || fail "/usr/bin/orvantic missing"

mkdir -p "$work/media" "$work/out" "$work/home" "$work/run"
chmod 700 "$work/run"
"$make_media" "$work/media" >/dev/null 2>&1 || fail "make_media failed"
run_cmd=(env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
  ORVANTIC_INSTANCE_NAME="orvantic-deb-test-$$")
run() { "${run_cmd[@]}" "$@"; }
run /usr/bin/orvantic --convert --output "$work/out" --overwrite 1 "$work/media/white43.avi" \
  >"$work/convert.log" 2>&1 || { cat "$work/convert.log"; fail "installed conversion failed"; }
[ -s "$work/out/white43.mp4" ] || fail "no output"
# Root too keeps its files per user when the copy is installed.
[ -f "$work/home/.config/orvantic/orvantic.ini" ] || fail "settings not under ~/.config"
[ ! -e /usr/bin/orvantic.ini ] || fail "settings written beside /usr/bin/orvantic"

# Started without a shell function between: $! is the window itself.
"${run_cmd[@]}" QT_QPA_PLATFORM=offscreen /usr/bin/orvantic >"$work/gui.log" 2>&1 &
gui=$!
guard_track "$gui"
sleep 2
kill -0 "$gui" 2>/dev/null || { cat "$work/gui.log"; fail "installed window did not stay up"; }
guard_end
guard_check || fail "the window or an engine outlived the test"
echo "PASS"
exit 0
