#!/usr/bin/env bash
# Takes the README's screenshots: docs/main-window.png, the desktop program with some of the
# sample pictures in its album, docs/preview-{4,8,16}bit.png, its preview at each colour
# depth, and docs/save-progress.png, a save of large photographs half way. Needs xvfb-run,
# xdotool and ImageMagick's `import` and `convert`.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/tavelo}")
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

cat > "$work/shoot.sh" <<'SHOOT'
set -euo pipefail
program=$1 work=$2 docs=$3
cd "$work/Pictures/Summer holidays 2001"
"$program" mountain_path_640x480.jpg dogs_at_door_320x480.jpg fig_on_plate_640x433.jpg \
  paint_brushes_400x315.gif dandelions_320x180.bmp 2>/dev/null &
sleep 4
window=$(xdotool search --name "Tavelo Desktop 2.0" | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root "$work/main.png"
convert "$work/main.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/main-window.png"
# The Color page, then each depth chosen from its list with the keyboard.
xdotool mousemove $((X + 137)) $((Y + 313)) click 1
sleep 0.3
xdotool mousemove $((X + 168)) $((Y + 350)) click 1
sleep 0.3
xdotool key Escape
for depth in 4 8 16; do
  [ "$depth" = 4 ] && xdotool key Up
  [ "$depth" != 4 ] && xdotool key Down
  sleep 0.5
  import -window root "$work/$depth.png"
  convert "$work/$depth.png" -crop "300x470+${X}+${Y}" +repage "$docs/preview-${depth}bit.png"
done
kill %1
wait

# A save of twelve photographs of 30 megapixels, half way.
mkdir -p "$work/big"
for i in $(seq 1 12); do
  convert "$work/Pictures/Summer holidays 2001/mountain_path_640x480.jpg" -resize 6400x4800 \
    -quality 92 "$work/big/photo$i.jpg"
done
"$program" "$work"/big/*.jpg 2>/dev/null &
sleep 5
window=$(xdotool search --name "Tavelo Desktop 2.0" | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 500)) $((Y + 523)) click 1
sleep 1
xdotool type --delay 20 "$work/big/album"
xdotool key Return
sleep 1.3
progress=$(xdotool search --name "Saving File" | head -1)
eval "$(xdotool getwindowgeometry --shell "$progress")"
import -window root "$work/progress.png"
convert "$work/progress.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/save-progress.png"
sleep 5
kill %1
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/shoot.sh" "$program" "$work" "$(pwd)/docs"
echo "Wrote docs/main-window.png, docs/preview-{4,8,16}bit.png and docs/save-progress.png"
