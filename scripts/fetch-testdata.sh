#!/usr/bin/env bash
# Fetches the real-world test images that Debian packages ship into a cache
# outside the repository. Idempotent: a package already unpacked is skipped.
# Usage: fetch-testdata.sh [cache-dir]   (default: $TESSERA_TESTDATA or
# ~/.cache/tessera-testdata)
set -euo pipefail
cache=${1:-${TESSERA_TESTDATA:-$HOME/.cache/tessera-testdata}}
mkdir -p "$cache"

# package | path prefix inside the package to keep
packages=(
  "python3-skimage|./usr/lib/python3/dist-packages/skimage/data/"
  "gdk-pixbuf-tests|./usr/libexec/installed-tests/gdk-pixbuf/"
  "golang-1.19-src|./usr/share/go-1.19/src/image/"
  "golang-golang-x-image-dev|./usr/share/gocode/src/golang.org/x/image/testdata/"
  "golang-github-rwcarlsen-goexif-dev|./usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/"
  "librust-jpeg-decoder-dev|./usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/"
  "python3-imageio|./usr/lib/python3/dist-packages/imageio/resources/images/newtonscradle.gif"
)

updated=0
for entry in "${packages[@]}"; do
  pkg=${entry%%|*}
  prefix=${entry#*|}
  stamp="$cache/.done-$pkg"
  [[ -f "$stamp" ]] && continue
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  if ! (cd "$work" && apt-get download "$pkg" >/dev/null 2>&1); then
    if [[ $updated -eq 0 ]]; then
      sudo_cmd=(); [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
      "${sudo_cmd[@]}" apt-get update -qq
      updated=1
    fi
    (cd "$work" && apt-get download "$pkg" >/dev/null)
  fi
  deb=$(ls "$work"/*.deb)
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$cache" --wildcards "${prefix}*"
  rm -rf "$work"
  trap - EXIT
  touch "$stamp"
  echo "test data: $pkg unpacked"
done
echo "test data: $cache"
