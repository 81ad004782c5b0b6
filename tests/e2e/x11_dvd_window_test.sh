#!/usr/bin/env bash
# The window's DVD road on a real X server: a disc image mapped as a drive is
# chosen in the DVD dialog, plays in the panel and converts. Runs that case
# of the widget tests with the xcb platform. Skips (77) without Xvfb.
# Usage: x11_dvd_window_test.sh <widget_test>
set -uo pipefail
command -v Xvfb >/dev/null && command -v openbox >/dev/null && command -v xdotool >/dev/null ||
  { echo "SKIP: Xvfb, openbox or xdotool missing"; exit 77; }
source "$(dirname "$0")/x11_session.sh"
QT_QPA_PLATFORM=xcb ORVANTIC_INSTANCE_NAME="orvantic-x11-dvd-$$" \
  "$1" --gtest_filter='MainWindowEndToEnd.DvdTitleFromADiscImageConverts'
