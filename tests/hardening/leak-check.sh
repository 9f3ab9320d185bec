#!/usr/bin/env bash
# Runs both tools on the end-to-end cases, successes and failures alike,
# and checks that each ends with its expected exit status and without a
# leak or memory error: under valgrind (plain builds), or as built with the
# sanitizers, whose leak checker runs at exit.
#
# usage: leak-check.sh valgrind|sanitizer IMPORT EXPORT DEMO-DIR
set -euo pipefail
mode=$1 import=$2 export=$3 demo=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

case $mode in
valgrind)
  wrap=(valgrind -q --leak-check=full --show-leak-kinds=definite,indirect,possible
        --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99) ;;
sanitizer)
  wrap=(env ASAN_OPTIONS=detect_leaks=1:exitcode=99:abort_on_error=0
            UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1) ;;
*) echo "usage: $0 valgrind|sanitizer IMPORT EXPORT DEMO-DIR" >&2; exit 2 ;;
esac

check() { # expected status, program, args...
  local want=$1; shift
  local out status
  set +e; out=$("${wrap[@]}" "$@" 2>&1); status=$?; set -e
  if [ "$status" -ne "$want" ] || grep -qE 'LeakSanitizer|AddressSanitizer|runtime error|definitely lost|Invalid (read|write)|Fatal error' <<<"$out"; then
    echo "FAIL: $(basename "$1") ${*:2}: status $status, want $want"
    sed 's/^/  /' <<<"$out"
    failures=$((failures + 1))
  else
    echo "ok: $(basename "$1") ${*:2} (status $status)"
  fi
}

tagsize() { local b; b=($(od -An -tu1 -j6 -N4 "$1")); echo $(( (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3] )); }
cp "$demo/demo.mp3" tagged.mp3
cp "$demo/demo.mp3" plain.mp3
tail -c +$(( $(tagsize "$demo/demo.mp3") + 11 )) "$demo/demo.mp3" >untagged.mp3
cp untagged.mp3 untagged2.mp3
cp "$demo/demo.lrc" tagged.lrc
cp "$demo/demo.lrc" untagged.lrc
printf '[ti:No lyrics here]\njust words\n' >empty.lrc
# A tag with the unsynchronisation flag, which the core will not rewrite.
{ printf 'ID3\004\000\200\000\000\000\023'; printf 'TIT2\000\000\000\011\000\000\003Unsynced'; } >unsync.mp3
cat untagged.mp3 >>unsync.mp3
cp "$demo/demo.lrc" unsync.lrc

check 1 "$import"
check 0 "$import" tagged.mp3
check 0 "$import" untagged.mp3
check 1 "$import" plain.mp3 missing.lrc
check 1 "$import" plain.mp3 empty.lrc
check 1 "$import" unsync.mp3
check 1 "$import" nosuchtrack.mp3
check 0 "$import" --help
check 1 "$export"
check 0 "$export" tagged.mp3 back.lrc
check 0 "$export" untagged.mp3
check 1 "$export" plain.mp3
check 1 "$export" untagged2.mp3
check 0 "$export" --version

echo "$failures failures"
[ "$failures" -eq 0 ]
