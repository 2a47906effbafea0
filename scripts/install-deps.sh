#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, benchmarking and running need;
# with the argument "package", those that making and checking the Debian package need; with
# "fuzz", clang and its libFuzzer runtime for `make fuzz` (kept apart so that `make test` does
# not pull in a second compiler); with "format", the clang-format that `make format` uses.
# Packages already present are skipped, so a second run costs a few dpkg queries.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  nlohmann-json3-dev
  libjpeg-dev libgif-dev libpng-dev libwebp-dev libheif-dev libde265-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpalm-perl
  xvfb xauth fonts-dejavu-core
)
case "${1:-}" in
  package) packages=(dpkg-dev file lintian appstream gzip) ;;
  fuzz) packages=(clang libclang-rt-14-dev) ;;
  format) packages=(clang-format-14) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
