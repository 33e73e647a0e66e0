#!/usr/bin/env bash
# Installs what the benchmarks build against and compare with. Never run by
# CI; the product never links these.
set -euo pipefail
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  libbenchmark-dev \
  libopencv-dev
