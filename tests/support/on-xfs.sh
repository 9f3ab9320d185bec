#!/usr/bin/env bash
# Runs a command on two fresh XFS file systems, each loop-mounted from a
# sparse image in a temporary folder: one made with reflink, whose files can
# share blocks, and one made without.  The command finds them in
# LYRASIL_XFS_SHARED and LYRASIL_XFS_PLAIN, and TMPDIR is the first, so
# that a test that makes its files with mktemp makes them there.  Both are
# unmounted (which frees their loop devices) and removed however the
# command ends.  Where they cannot be made (not root, no mkfs.xfs, no loop
# device), says why and exits with 77, which CTest counts as skipped.
#
# usage: on-xfs.sh COMMAND [ARGUMENT...]
#        XFS_IMAGE_SIZE (default 512M) sets the images' apparent size.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGUMENT...]" >&2; exit 2; }

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "loop-mounting an XFS image needs root"
PATH=$PATH:/usr/sbin:/sbin
command -v mkfs.xfs >/dev/null || skip "mkfs.xfs is missing (Debian package xfsprogs)"

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrasil-xfs.XXXXXX") || skip "no temporary folder"
cleanup() {
  local m
  for m in "$work"/shared "$work"/plain; do
    if mountpoint -q "$m"; then umount "$m" || umount -l "$m"; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

for kind in shared plain; do
  reflink=$([ $kind = shared ] && echo 1 || echo 0)
  truncate -s "${XFS_IMAGE_SIZE:-512M}" "$work/$kind.img"
  mkfs.xfs -q -m reflink=$reflink "$work/$kind.img" 2>"$work/err" ||
    skip "mkfs.xfs failed: $(cat "$work/err")"
  mkdir "$work/$kind"
  mount -o loop "$work/$kind.img" "$work/$kind" 2>"$work/err" ||
    skip "the XFS image cannot be mounted: $(cat "$work/err")"
  chmod 1777 "$work/$kind"  # tests run some programs as another user
done

LYRASIL_XFS_SHARED=$work/shared LYRASIL_XFS_PLAIN=$work/plain TMPDIR=$work/shared "$@"
