#!/usr/bin/env bash
# `make run`: build the programs and start the desktop program on the bundled sample pictures.
# Without a display, build the sample album with the batch tool instead and say where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

samples=(samples/*.jpg samples/*.gif samples/*.bmp)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/tavelo" ]; then
  echo "Starting Tavelo Desktop with the sample pictures..."
  exec "$build/tavelo" "${samples[@]}"
fi

out="$build/sample-album.pdb"
echo "No display found: building the sample album with tavelo-cli instead."
"$build/tavelo-cli" build -o "$out" --title "Samples" --note "Six photographs" --dither "${samples[@]}"
"$build/tavelo-cli" inspect "$out"
echo "The album is in $out"
