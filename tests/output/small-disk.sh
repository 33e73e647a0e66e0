#!/usr/bin/env bash
# Runs the small-disk tests of output_tests on a 1 MiB tmpfs of their own, in
# a new user and mount namespace (no root needed); skipped (77) where the
# namespace or the mount is refused.
set -u
binary=$1
dir=$(mktemp -d)
trap 'rmdir "$dir" 2>/dev/null' EXIT
unshare -rm true 2>/dev/null || exit 77
unshare -rm sh -c "mount -t tmpfs -o size=1m tessera-small '$dir' || exit 77
  TESSERA_SMALL_DISK='$dir' exec '$binary' --gtest_filter='*SmallDisk*'"
