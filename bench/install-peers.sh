#!/usr/bin/env bash
# Installs what the benchmarks build against and compare with (BENCH_PACKAGES
# in scripts/packages.sh). Never run by CI; the product never links these.
exec "$(dirname "$0")/../scripts/install-deps.sh" --bench
