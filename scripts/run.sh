#!/usr/bin/env bash
# `make run`: build the program and show what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)"
echo "Tavelo Desktop 2.0 — builds photo albums for Palm OS handhelds."
echo "This build holds the core library (bitmaps, album model, Palm database writer);"
echo "the batch tool and the desktop program follow."
