#!/usr/bin/env bash
# Makes each write-side call of a program fail in turn, every call and not a
# sample, and checks what the user is left with:
#  - a failure before the new file took the old one's place: exit status 1,
#    no "Done"/"Created" message, and the folder exactly as it was (same
#    files, same bytes, same permission bits, no temporary file);
#  - a failure after that (syncing the folder, best effort): exit status 0
#    and the folder exactly as after an undisturbed run.
#
# usage: fault-injection.sh import|export|ini|editor SHIM PROGRAM DEMO-DIR
set -euo pipefail
kind=$1 shim=$2 prog=$3 demo=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dir=$work/d
log=$work/fault.log
failures=0 total=0

# The demo track's audio without its tag: a track with no tag at all.
tagsize() { # sync-safe size from bytes 6..9
  local b; b=($(od -An -tu1 -j6 -N4 "$1"))
  echo $(( (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3] ))
}
notag() { tail -c +$(( $(tagsize "$demo/demo.mp3") + 11 )) "$demo/demo.mp3" >"$1"; }

snapshot() { # names, sizes, modes and contents of everything in the folder
  # (but a link planted at a temporary name, which a run may remove)
  (cd "$dir" && find . -mindepth 1 ! \( -name "${planted:-/}" -type l \) -printf '%p %y %s %m\n' | LC_ALL=C sort &&
     find . -type f -exec sha256sum {} + | LC_ALL=C sort)
}

run() { # FAULT_AT value -> status in $status, messages in $out
  set +e
  out=$(cd "$dir" && FAULT_AT=$1 FAULT_LOG=$log LD_PRELOAD=$shim "$prog" "${args[@]}" 2>&1)
  status=$?
  set -e
}

fail() { echo "FAIL [$case, call $n]: $*"; echo "  output: $out"; failures=$((failures + 1)); }

check_case() { # case name; setup_<case> fills $dir and sets args
  case=$1
  rm -rf "$dir"; mkdir "$dir"; "setup_$case"
  run 0
  [ "$status" -eq 0 ] || { n=0; fail "undisturbed run failed with status $status"; return; }
  [ ! -e "$dir/victim" ] || [ "$(cat "$dir/victim")" = victim ] || { n=0; fail "the victim was written"; }
  local calls after names=""; calls=$(awk '$1 == "calls" { print $2 }' "$log")
  after=$(snapshot)
  for ((n = 1; n <= calls; n++)); do
    rm -rf "$dir"; mkdir "$dir"; "setup_$case"
    local before; before=$(snapshot)
    run "$n"
    total=$((total + 1))
    local line; line=$(grep '^failed ' "$log" || true)
    if [ -z "$line" ]; then fail "the shim made no call fail (calls $calls)"; continue; fi
    local name=${line#failed }; name=${name%% *}
    names="$names $name"
    if [ "${line##* }" = 0 ]; then
      [ "$status" -eq 1 ] || fail "$name failed: exit status $status, want 1"
      case $out in *Done*|*"Created output file"*) fail "$name failed: success message";; esac
      now=$(snapshot)
      # A file overwritten in place holds its new bytes once they are
      # flushed; a close that fails after that cannot take them back.  The
      # file must then be complete: the clean run's result.
      if [ "$now" != "$before" ] && ! { [ "$name" = fclose ] && [ "$kind" = ini ] &&
                                        [ "$now" = "$after" ]; }; then
        fail "$name failed: folder changed"
        diff <(echo "$before") <(echo "$now") | sed 's/^/  /' || true
      fi
    else
      [ "$status" -eq 0 ] || fail "$name failed after the rename: exit status $status, want 0"
      [ "$(snapshot)" = "$after" ] || fail "$name failed after the rename: folder differs from a clean run"
    fi
  done
  echo "$case: $calls write-side calls, each made to fail once:$(tr ' ' '\n' <<<"${names# }" | sort | uniq -c | awk '{ printf " %s x%d", $2, $1 }')"
}

case $kind in
import)
  setup_tagged() { cp "$demo/demo.mp3" "$dir/song.mp3"; cp "$demo/demo.lrc" "$dir/song.lrc"; chmod 640 "$dir/song.mp3"; args=(song.mp3); }
  setup_untagged() { notag "$dir/song.mp3"; cp "$demo/demo.lrc" "$dir/words.lrc"; args=(song.mp3 words.lrc); }
  check_case tagged
  check_case untagged
  ;;
export)
  # The track is given its SYLT frame by an undisturbed import first.
  setup_new() { cp "$work/synced.mp3" "$dir/song.mp3"; args=(song.mp3); }
  setup_over() { cp "$work/synced.mp3" "$dir/song.mp3"; echo "[00:01.00]old" >"$dir/out.lrc"; args=(song.mp3 out.lrc); }
  cp "$demo/demo.mp3" "$work/synced.mp3"; cp "$demo/demo.lrc" "$work/synced.lrc"
  (cd "$work" && "$IMPORT" synced.mp3 >/dev/null)
  check_case new
  check_case over
  ;;
ini)
  settings=$'; settings\n[Settings]\ntip=10\nname = "a;b"  ; quoted\r\n\n[Other]\nx=1\r\n'
  setup_inplace() { printf '%s' "$settings" >"$dir/a.ini"; args=(a.ini Settings tip 11); }
  setup_rewrite() { printf '%s' "$settings" >"$dir/a.ini"; args=(a.ini Settings tip 100); }
  setup_addsection() { printf '%s' "$settings" >"$dir/a.ini"; args=(a.ini New key value); }
  setup_delkey() { printf '%s' "$settings" >"$dir/a.ini"; args=(a.ini Settings name -); }
  setup_delsection() { printf '%s' "$settings" >"$dir/a.ini"; args=(a.ini Settings - -); }
  setup_create() { args=(a.ini Settings tip 3); }
  # A link planted at the temporary name is never followed: the victim stays
  # as it was, whatever fails.
  setup_planted() { printf '%s' "$settings" >"$dir/a.ini"; echo victim >"$dir/victim"
                    ln -s victim "$dir/a.in~"; args=(a.ini Settings tip 100); }
  for c in inplace rewrite addsection delkey delsection create; do check_case "$c"; done
  planted=a.in~ check_case planted
  ;;
editor)
  # The editor's save (a table with non-ASCII rows into a tagged and an
  # untagged track) and its export, through lyrasil-trackio, which calls
  # what the window calls.
  printf '00:00.50\tGr\303\274\303\237e\n00:01.00\t welt\n00:02.00\tNext\n' >"$work/rows.tsv"
  setup_save() { cp "$demo/demo.mp3" "$dir/song.mp3"; cp "$work/rows.tsv" "$dir/rows.tsv"; chmod 640 "$dir/song.mp3"
                 args=(save song.mp3 rows.tsv); }
  setup_saveuntagged() { notag "$dir/song.mp3"; cp "$work/rows.tsv" "$dir/rows.tsv"; args=(save song.mp3 rows.tsv); }
  setup_saveas() { cp "$demo/demo.mp3" "$dir/a.mp3"; cp "$work/rows.tsv" "$dir/rows.tsv"; echo older >"$dir/b.mp3"
                   args=(save a.mp3 rows.tsv b.mp3); }
  cp "$demo/demo.mp3" "$work/synced.mp3"; cp "$demo/demo.lrc" "$work/synced.lrc"
  (cd "$work" && "$IMPORT" synced.mp3 >/dev/null)
  setup_export() { cp "$work/synced.mp3" "$dir/song.mp3"; echo "[00:01.00]old" >"$dir/out.lrc"; args=(export song.mp3 out.lrc); }
  for c in save saveuntagged saveas export; do check_case "$c"; done
  ;;
*) echo "usage: $0 import|export|ini|editor SHIM PROGRAM DEMO-DIR" >&2; exit 2 ;;
esac

echo "$total injected failures, $failures wrong outcomes"
[ "$failures" -eq 0 ]
