#!/usr/bin/env bash
# Runs fuzz targets built by `make fuzz`, one after the other, each for SECONDS.
# Usage: fuzz/run.sh BUILD_DIR SECONDS NAME...   (FUZZ_OPTIONS: more libFuzzer options, such
# as "-fork=1 -ignore_crashes=1" to go on past a crash already known)
# New inputs go to BUILD_DIR/corpus/NAME (the committed fuzz/corpus/NAME is only read), and
# crashes to BUILD_DIR/crashes/NAME/. Exits non-zero when any target found a crash.
set -uo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

status=0
for name in "$@"; do
  work=$build/corpus/$name
  crashes=$build/crashes/$name
  mkdir -p "$work" "$crashes"
  options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1
           -artifact_prefix="$crashes/" ${FUZZ_OPTIONS:-})
  seeds=("$here/corpus/$name")
  case $name in
    picture)
      seeds+=("$root/samples")
      cp "$root"/tests/data/{avif,bmp,gif,jpeg,png,webp,heic,picture}_* "$work"/ 2>/dev/null || true
      ;;
    # libFuzzer reads folders only: the files of tests/data join the work folder.
    album_json)
      options+=(-dict="$here/album_json.dict")
      cp "$root"/tests/data/album_*.json "$work"/ 2>/dev/null || true
      ;;
    album_file | extract) cp "$root"/tests/data/album_*.pdb "$work"/ 2>/dev/null || true ;;
  esac
  echo "== fuzz $name for $seconds s (crashes: $crashes)"
  if ! QT_QPA_PLATFORM=offscreen "$build/fuzz/tavelo_fuzz_$name" "${options[@]}" "$work" "${seeds[@]}"; then
    status=1
  fi
done
exit $status
