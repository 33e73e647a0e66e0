#!/usr/bin/env bash
# Installs the Debian packages that are missing.
# Usage: install-deps.sh [--test | --bench]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/packages.sh"

wanted=("${BUILD_PACKAGES[@]}")
case "${1:-}" in
  --test) wanted+=("${TEST_PACKAGES[@]}") ;;
  --bench) wanted+=("${BENCH_PACKAGES[@]}") ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
