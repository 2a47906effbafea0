#!/usr/bin/env bash
# Takes docs/main-window.png: the desktop program on a virtual display with some of the sample
# pictures in its album. Needs xvfb-run and ImageMagick's `import` and `convert`.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/tavelo}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" JPILOT_HOME="$work"
export ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORMTHEME=
mkdir -p docs
pictures="$work/Pictures/Summer holidays 2001"
mkdir -p "$pictures"
cp samples/mountain_path_640x480.jpg samples/dogs_at_door_320x480.jpg samples/fig_on_plate_640x433.jpg \
   samples/paint_brushes_400x315.gif samples/dandelions_320x180.bmp "$pictures/"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  cd "$2" && "$0" mountain_path_640x480.jpg dogs_at_door_320x480.jpg fig_on_plate_640x433.jpg \
    paint_brushes_400x315.gif dandelions_320x180.bmp 2>/dev/null &
  sleep 4
  import -window root "$1"
  kill $!' "$(realpath "$program")" "$work/screen.png" "$pictures"
# The window is all that is not the black screen around it.
convert "$work/screen.png" -trim +repage docs/main-window.png
echo "Wrote docs/main-window.png"
