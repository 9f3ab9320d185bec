#!/usr/bin/env bash
# A fuzzing campaign: every libFuzzer target, side by side on all cores.
#
#   fuzz/campaign.sh MINUTES [WORKDIR]
#
# Builds the fuzz tree first as ./setup.sh test does, through ./setup.sh
# fuzz-build (build/fuzz of this clone, brought up to date when it is there
# already; clang installed when missing), then runs every target in it for
# MINUTES minutes at once: one process per core, at least one per target,
# the processes shared out among the targets in turn.
# Each target starts from its seed corpus (fuzz/corpus/TARGET, only read)
# and from what earlier campaigns found, in its work folder outside the
# source tree (WORKDIR, by default build/campaign of this clone):
#
#   WORKDIR/TARGET/corpus/    new inputs, kept for the next campaign
#   WORKDIR/TARGET/findings/  what libFuzzer writes for a finding (crash-,
#                             leak-, timeout-, oom-, slow-unit-), each name
#                             starting with the campaign's date and time
#   WORKDIR/TARGET/logs/      the processes' logs of the last campaign
#
# A process that stops on a finding is started again for the rest of the
# time.  At the end it prints one line per target (processes, executions,
# executions a second over the campaign, findings) and the total.  Exit
# status: 0 without findings, 1 with, 2 when it could not run.  Ctrl-C ends
# the campaign early and still prints the figures.  One campaign at a time
# per work folder.
set -euo pipefail

usage() { echo "usage: fuzz/campaign.sh MINUTES [WORKDIR]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
[[ $1 =~ ^[1-9][0-9]*$ ]] || usage
minutes=$1
top=$(cd "$(dirname "$0")/.." && pwd)
work=${2:-$top/build/campaign}
mkdir -p "$work"
work=$(cd "$work" && pwd)
cores=$(nproc 2>/dev/null || echo 2)

exec 9>"$work/.lock"
if ! flock -n 9; then
  echo "campaign.sh: another campaign is using $work" >&2
  exit 2
fi

# --- the fuzz tree, built by ./setup.sh as for its tests ---------------------
tree=$top/build/fuzz
echo "== building the fuzz targets in $tree"
if ! "$top/setup.sh" fuzz-build >"$work/build.log" 2>&1; then
  tail -n 30 "$work/build.log"
  echo "campaign.sh: the build failed (log: $work/build.log)" >&2
  exit 2
fi

targets=()
for seeds in "$top"/fuzz/corpus/*/; do
  t=$(basename "$seeds")
  [ -x "$tree/fuzz/$t" ] && targets+=("$t")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "campaign.sh: no fuzz targets in $tree/fuzz" >&2
  exit 2
fi

# --- the processes ----------------------------------------------------------
procs=$(( cores > ${#targets[@]} ? cores : ${#targets[@]} ))
stamp=$(date +%Y%m%d-%H%M%S)
start=$(date +%s)
deadline=$(( start + minutes * 60 ))
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/findings"
  rm -rf "$work/$t/logs"
  mkdir -p "$work/$t/logs"
done

# A process slot: runs its target until the deadline, again after each
# finding.  The scratch folder of a process that died on a finding is
# removed here (scratch.h names it after the process).
slot() { # target, slot number
  local t=$1 n=$2 run=0 left pid status
  trap '' INT # Ctrl-C reaches the fuzzer itself, and stop() below
  while [ ! -e "$work/.stop" ]; do
    left=$(( deadline - $(date +%s) ))
    [ "$left" -ge 2 ] || break
    run=$((run + 1))
    status=0
    "$tree/fuzz/$t" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/$t/findings/$stamp-" "$work/$t/corpus" "$top/fuzz/corpus/$t" \
      >"$work/$t/logs/$n.$run.log" 2>&1 &
    pid=$!
    echo "$pid" >"$work/$t/logs/$n.pid"
    wait "$pid" || status=$?
    rm -f "$work/$t/logs/$n.pid"
    rm -rf /dev/shm/lyrasil-fuzz-"$pid"-* "${TMPDIR:-/tmp}"/lyrasil-fuzz-"$pid"-*
    # 0: the time is up; 72: interrupted (Ctrl-C, or stop() below).
    [ "$status" -ne 0 ] && [ "$status" -ne 72 ] && [ ! -e "$work/.stop" ] || break
    # A process that failed before it had read its corpus would fail again.
    if ! grep -q INITED "$work/$t/logs/$n.$run.log"; then
      echo "campaign.sh: $t failed on starting (status $status): $work/$t/logs/$n.$run.log" >&2
      break
    fi
  done
}

stop() {
  touch "$work/.stop"
  local f
  for f in "$work"/*/logs/*.pid; do
    [ -e "$f" ] && kill -TERM "$(cat "$f")" 2>/dev/null || true
  done
}
rm -f "$work/.stop"
trap stop INT TERM

echo "== $minutes min, $procs processes on $cores cores: ${targets[*]}"
echo "== work folder: $work"
slots=()
for ((i = 0; i < procs; i++)); do
  slot "${targets[i % ${#targets[@]}]}" "$i" &
  slots+=($!)
done
for p in "${slots[@]}"; do
  until wait "$p"; do # a trap also ends a wait
    kill -0 "$p" 2>/dev/null || break
  done
done
trap - INT TERM
rm -f "$work/.stop"
elapsed=$(( $(date +%s) - start ))
[ "$elapsed" -gt 0 ] || elapsed=1

# --- the figures ------------------------------------------------------------
# Executions of one log: libFuzzer's final count, or for a process that
# ended without one, the last count it reported.
executions() {
  local n
  n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -n 1)
  [ -n "$n" ] || n=$(sed -n 's/^#\([0-9][0-9]*\)[[:space:]].*/\1/p' "$1" | tail -n 1)
  echo "${n:-0}"
}

printf '%-14s %5s %14s %9s  %s\n' target procs executions exec/s findings
total=0 found=0
for t in "${targets[@]}"; do
  execs=0 jobs=0
  for log in "$work/$t"/logs/*.log; do
    [ -e "$log" ] || continue
    execs=$(( execs + $(executions "$log") ))
  done
  for ((i = 0; i < procs; i++)); do
    [ "${targets[i % ${#targets[@]}]}" = "$t" ] && jobs=$((jobs + 1))
  done
  kinds=""
  for kind in crash leak timeout oom slow-unit; do
    c=$(find "$work/$t/findings" -maxdepth 1 -name "$stamp-$kind-*" | wc -l)
    if [ "$c" -gt 0 ]; then
      kinds+="${kinds:+, }$c $kind"
      found=$((found + c))
    fi
  done
  [ -n "$kinds" ] && kinds+=" (in $work/$t/findings)"
  printf '%-14s %5d %14d %9d  %s\n' "$t" "$jobs" "$execs" $(( execs / elapsed )) "${kinds:-none}"
  total=$(( total + execs ))
done
printf '%-14s %5d %14d %9d  %s\n' total "$procs" "$total" $(( total / elapsed )) \
  "$found finding(s) in $elapsed s"
[ "$found" -eq 0 ]
