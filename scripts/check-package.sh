#!/usr/bin/env bash
# Checks a built Debian package: installed into a scratch root (dpkg -x), both programs print
# their version and the batch tool builds an album of the samples from there; every file the
# package promises is in place; the metainfo validates; lintian finds no error.
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(realpath "$1")
version=$(sed -n 's/^project(TaveloDesktop VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg -x "$package" "$root"
fail() { echo "check-package: $*" >&2; exit 1; }

[ "$("$root/usr/bin/tavelo-cli" --version)" = "tavelo-cli $version" ] || fail "tavelo-cli --version"
[ "$("$root/usr/bin/tavelo" --version)" = "tavelo $version" ] || fail "tavelo --version"
SOURCE_DATE_EPOCH=978307200 "$root/usr/bin/tavelo-cli" build -o "$root/album.pdb" --title Samples \
  samples/*.jpg samples/*.gif samples/*.bmp
"$root/usr/bin/tavelo-cli" inspect "$root/album.pdb" | grep -q '^Pictures:  6$' || fail "the album built from the package"

for file in usr/share/tavelo/help/user_guide.html usr/share/tavelo/help/faq.html \
            usr/share/tavelo/help/register_for_free.html \
            usr/share/applications/com.lumivale.Tavelo.desktop \
            usr/share/metainfo/com.lumivale.Tavelo.metainfo.xml \
            usr/share/icons/hicolor/48x48/apps/tavelo.png \
            usr/share/man/man1/tavelo.1.gz usr/share/man/man1/tavelo-cli.1.gz \
            usr/share/doc/tavelo/copyright usr/share/doc/tavelo/changelog.gz; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
dpkg-deb -f "$package" Depends | grep -q 'libqt6widgets6' || fail "library dependencies not computed"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.lumivale.Tavelo.metainfo.xml" >/dev/null ||
  fail "the metainfo does not validate"
lintian --fail-on error --suppress-tags-from-file /dev/null "$package"
echo "Checked $(basename "$package"): installs, runs, builds an album; lintian and appstreamcli pass"
