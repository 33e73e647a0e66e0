#!/usr/bin/env bash
# Installs what is missing, builds an optimised Tessera and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSERA_TESTS=OFF
cmake --build "$root/build/release" -j "$(nproc)"
exec "$root/build/release/app/tessera" "$@"
