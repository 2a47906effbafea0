#!/usr/bin/env bash
# Takes the README's screenshots: docs/main-window.png, the desktop program with some of the
# sample pictures in its album, docs/preview-{4,8,16}bit.png, its preview at each colour
# depth, docs/show-as-saved.png, docs/resized-window.png, docs/folder-message.png,
# docs/album-viewer.png, and docs/save-progress.png, a save of large photographs half way.
# Needs xvfb-run, xdotool and ImageMagick's `import` and `convert`.
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
# "Show as saved" at 8 bits, the crop window moved to the right end.
xdotool key Up
sleep 0.3
xdotool mousemove $((X + 45)) $((Y + 455)) click 1
sleep 0.3
xdotool mousemove $((X + 100)) $((Y + 170)) mousedown 1 mousemove $((X + 40)) $((Y + 170)) mouseup 1
sleep 0.5
import -window root "$work/saved.png"
convert "$work/saved.png" -crop "300x480+${X}+${Y}" +repage "$docs/show-as-saved.png"
# The window made larger: the picture list takes the room.
xdotool windowsize "$window" $((WIDTH + 220)) $((HEIGHT + 120))
sleep 0.5
import -window root "$work/large.png"
convert "$work/large.png" -crop "$((WIDTH + 220))x$((HEIGHT + 120))+${X}+${Y}" +repage "$docs/resized-window.png"
kill %1
wait

# A folder dropped or named: one message says what was added and what was left out.
folder="$work/Pictures/Summer holidays 2001"
echo "notes" > "$folder/notes.txt"
echo "<html></html>" > "$folder/index.html"
"$program" "$folder" 2>/dev/null &
sleep 4
for candidate in $(xdotool search --name "Tavelo Desktop 2.0"); do
  eval "$(xdotool getwindowgeometry --shell "$candidate")"
  if [ "$WIDTH" -lt 600 ]; then
    import -window root "$work/folder.png"
    convert "$work/folder.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/folder-message.png"
  fi
done
kill %1
wait

# The handheld view of an album file.
"${program%/*}/tavelo-cli" build -o "$work/trip.pdb" --title "Summer holidays" --note "2001" --dither \
  "$folder"/*.jpg "$folder"/*.gif "$folder"/*.bmp >/dev/null
"$program" "$work/trip.pdb" 2>/dev/null &
sleep 4
viewer=$(xdotool search --name "trip.pdb" | head -1)
eval "$(xdotool getwindowgeometry --shell "$viewer")"
import -window root "$work/viewer.png"
convert "$work/viewer.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/album-viewer.png"
kill %1
wait

# A save of twenty-four photographs of 30 megapixels, half way.
mkdir -p "$work/big"
for i in $(seq 1 24); do
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
sleep 1
progress=$(xdotool search --name "Saving File" | head -1 || true)
eval "$(xdotool getwindowgeometry --shell "$progress")"
import -window root "$work/progress.png"
convert "$work/progress.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/save-progress.png"
sleep 5
kill %1
SHOOT
xvfb-run -a -s "-screen 0 1400x1000x24" bash ${SHOOT_TRACE:-} "$work/shoot.sh" "$program" "$work" "$(pwd)/docs"
echo "Wrote the screenshots in docs/"
