#!/usr/bin/env bash
# Redraws the desktop program's banners, icon and hand cursor into res/ (PNG files that are
# committed). Needs the Qt 6 development files and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046
g++ -std=c++20 -O1 -fPIC -o "$work/make_banners" scripts/make_banners.cpp $(pkg-config --cflags --libs Qt6Gui)
mkdir -p res/bitmaps res/icons res/cursors
QT_QPA_PLATFORM=offscreen "$work/make_banners" res
echo "Wrote res/bitmaps/*.png, res/icons/128_*.png and res/cursors/144.png"
