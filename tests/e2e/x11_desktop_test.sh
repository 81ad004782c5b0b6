#!/usr/bin/env bash
# The window's desktop manners on a real X server with a window manager: the
# long overwrite question and a five-failure end text shown whole (the box's
# size against its text's bounding box), the folder chooser opening with
# nothing selected, a drop of three files adding three rows, and the item and
# time left during a run. Runs those widget-test cases with the xcb platform.
# Skips (77) without Xvfb.
# Usage: x11_desktop_test.sh <widget_test>
set -uo pipefail
command -v Xvfb >/dev/null && command -v openbox >/dev/null ||
  { echo "SKIP: Xvfb or openbox missing"; exit 77; }
source "$(dirname "$0")/x11_session.sh"
QT_QPA_PLATFORM=xcb ORVANTIC_INSTANCE_NAME="orvantic-x11-desktop-$$" "$1" \
  --gtest_filter='MessageBoxes.*:FolderChooserDialog.*:DesktopWindowTest.Dropped*:DesktopWindowTest.TheRunShows*:DesktopWindowTest.TheHovered*'
