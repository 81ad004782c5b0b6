#!/usr/bin/env bash
# An installed copy, as a user who cannot write it: `cmake --install` into a
# temporary prefix, the desktop files validated, the prefix made read-only,
# and the installed program run by an ordinary user (root drops to nobody,
# since root writes anywhere). Settings must land under XDG_CONFIG_HOME, the
# status files under XDG_RUNTIME_DIR, a console conversion must succeed and
# the window must start (offscreen) with a file given on its command line.
# Usage: install_test.sh <build folder> <make_media.sh>
set -uo pipefail
source "$(dirname "$0")/proc_guard.sh"
build="$1"
make_media="$2"
work=$(mktemp -d)
cleanup() {
  local status=$?
  # The window and any engine it started end with the test, pass or fail.
  guard_end
  chmod -R u+w "$work" 2>/dev/null
  [ -n "${made_tmpwork:-}" ] && rm -rf "$tmpwork"
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
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"
for f in bin/orvantic libexec/orvantic/orvantic-engine share/orvantic/help.html \
  share/applications/orvantic.desktop share/metainfo/io.github.orvantic.Orvantic.metainfo.xml \
  "share/orvantic/profiles/TV 1080p H.265.profile" "share/orvantic/profiles/Phone 1080p H.264.profile" \
  "share/orvantic/profiles/Web 720p VP9 WebM.profile" "share/orvantic/profiles/Small 480p H.264.profile" \
  "share/orvantic/profiles/Archive AV1 MKV (constant quality).profile"; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ ! -e "$prefix/share/orvantic/profiles/presets.stamp" ] || fail "the presets' build stamp was installed"
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/orvantic.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] ||
    fail "icon $size is missing or not ${size}x${size}"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/orvantic.desktop" || fail "desktop file invalid"
  grep -q '^Name=Orvantic DVD Converter$' "$prefix/share/applications/orvantic.desktop" ||
    fail "desktop file name"
else
  echo "note: desktop-file-validate missing, desktop file not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain \
    "$prefix/share/metainfo/io.github.orvantic.Orvantic.metainfo.xml" || fail "metainfo invalid"
else
  echo "note: appstreamcli missing, metainfo not validated"
fi

# The user the installed copy runs as, and the folders the desktop gives it.
as_user=()
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: root without setpriv"; exit 77; }
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
user_owns() { [ ${#as_user[@]} -eq 0 ] || chown -R 65534:65534 "$@"; }
mkdir -p "$work/home" "$work/config" "$work/run" "$work/media" "$work/out"
chmod 700 "$work/run"
"$make_media" "$work/media" >/dev/null 2>&1 || fail "make_media failed"
user_owns "$work/home" "$work/config" "$work/run" "$work/out" "$work/media"
chmod -R a-w "$prefix"

env_cmd=(env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config"
  XDG_RUNTIME_DIR="$work/run" ORVANTIC_INSTANCE_NAME="orvantic-install-test-$$")
env_run() { "${env_cmd[@]}" "$@"; }

# A console conversion with the installed copy.
env_run "${as_user[@]}" "$prefix/bin/orvantic" --convert --output "$work/out" --overwrite 1 \
  "$work/media/white43.avi" >"$work/convert.log" 2>&1 ||
  { cat "$work/convert.log"; fail "the installed console conversion failed"; }
[ -s "$work/out/white43.mp4" ] || fail "no output file"
ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out/white43.mp4" | grep -q '^[23]\.' ||
  fail "the output is not about 3 s long"
[ -f "$work/config/orvantic/orvantic.ini" ] || fail "settings are not under XDG_CONFIG_HOME"
# No OutputPath yet: the user's videos folder, not /tmp, which many systems empty at start.
grep -qx "OutputPath=$work/home/Videos" "$work/config/orvantic/orvantic.ini" ||
  fail "the default output folder is not ~/Videos"
[ -f "$work/run/orvantic/vctrl.dat" ] || fail "status files are not under XDG_RUNTIME_DIR"
[ -f "$work/run/orvantic/engine.log" ] || fail "the engine log is not in the working folder"
[ "$(stat -c %a "$work/run/orvantic")" = 700 ] || fail "the working folder is not private"
[ -z "$(find "$prefix" -name 'orvantic.ini' -o -name '*.dat')" ] || fail "files written into the prefix"

# Without XDG_RUNTIME_DIR the working folder is a private one under /tmp.
uid=$(env_run "${as_user[@]}" id -u)
tmpwork="/tmp/orvantic-$uid"
[ -e "$tmpwork" ] || made_tmpwork=1
env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  ORVANTIC_INSTANCE_NAME="orvantic-install-test-$$" "${as_user[@]}" "$prefix/bin/orvantic" \
  --convert --output "$work/out" --overwrite 1 "$work/media/clip.qt" >/dev/null 2>&1 ||
  fail "conversion without XDG_RUNTIME_DIR failed"
[ -f "$tmpwork/vctrl.dat" ] && [ "$(stat -c '%a %u' "$tmpwork")" = "700 $uid" ] ||
  fail "no private working folder $tmpwork"

# The window starts from the installed copy, with a file from the command line.
# Started without a shell function between, so that $! is the window itself
# (env and setpriv replace themselves with it).
"${env_cmd[@]}" QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$prefix/bin/orvantic" \
  "$work/media/white43.avi" >"$work/gui.log" 2>&1 &
gui=$!
guard_track "$gui"
for _ in $(seq 50); do [ -f "$work/run/orvantic/videoinfo.dat" ] && break; sleep 0.1; done
sleep 1
kill -0 "$gui" 2>/dev/null || { cat "$work/gui.log"; fail "the installed window did not stay up"; }
# The file on the command line was identified in the working folder.
[ -f "$work/run/orvantic/videoinfo.dat" ] || fail "the command-line file was not identified"
# Ended here, so that the check after it covers the window and its engines.
guard_end
guard_check || fail "the window or an engine outlived the test"
echo "PASS"
exit 0
