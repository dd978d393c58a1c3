#!/usr/bin/env bash
# A fuzzing campaign: every target, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs for SECONDS in PROCS processes (libFuzzer's
# fork mode, which goes on past a finding and keeps each one), starting from
# the committed corpus. Prints per target: executions, executions per second,
# coverage (edges), and findings (crashes, timeouts, out-of-memory inputs),
# which are kept under build/fuzz/campaign/<target>/findings/.
#
# With PROCS 1 the target runs in one process of its own instead: the fork
# mode's short jobs each start afresh from a share of the corpus, which costs
# most of a single process's time. A finding ends that process; the next one
# goes on from the grown corpus until the time is up.
#
# usage: scripts/fuzz-campaign.sh [SECONDS_PER_TARGET] [PROCS] [TARGET...]
#   (defaults: 600 seconds, one process per core, every target)
# Set PK_FUZZ_MERGE=1 to fold the new inputs that add coverage back into
# fuzz/corpus/ afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
procs=${2:-$(nproc)}
shift $(( $# > 2 ? 2 : $# ))
build=$root/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$build"/bin/fuzz_*; do targets+=("$(basename "$t")"); done
fi

printf '%-12s %14s %10s %8s %9s\n' target executions exec/s edges findings
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  work=$build/campaign/$name
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings" "$root/fuzz/corpus/$name"
  "$build/bin/pk_seeds" "$name" "$work/corpus"
  dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
  start=$(date +%s.%N)
  options=(-rss_limit_mb=2048 -timeout=10 -artifact_prefix="$work/findings/" "${dict[@]}")
  if [ "$procs" -gt 1 ]; then
    "$build/bin/fuzz_$name" -fork="$procs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$seconds" "${options[@]}" "$work/corpus" "$root/fuzz/corpus/$name" >"$work/log" 2>&1 || true
    # The fork mode's last report: "#EXECS: cov: EDGES ft: ... exec/s N ...".
    last=$(grep -E '^#[0-9]+: cov:' "$work/log" | tail -1)
    execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
    edges=$(sed -E 's/.* cov: ([0-9]+).*/\1/' <<<"$last")
  else
    : >"$work/log"
    deadline=$(($(date +%s) + seconds))
    while left=$((deadline - $(date +%s))) && [ "$left" -gt 0 ]; do
      "$build/bin/fuzz_$name" -max_total_time="$left" -print_final_stats=1 "${options[@]}" \
        "$work/corpus" "$root/fuzz/corpus/$name" >>"$work/log" 2>&1 && break
      # An input of the corpus itself that fails would fail every start.
      [ $((deadline - $(date +%s))) -lt $((left - 5)) ] || break
    done
    # Each process's executions, and the edges of the last report.
    execs=$(awk '/^stat::number_of_executed_units:/ { n += $2 } END { print n + 0 }' "$work/log")
    edges=$(grep -E '^#[0-9]+[[:space:]].* cov: ' "$work/log" | tail -1 | sed -E 's/.* cov: ([0-9]+).*/\1/' || true)
  fi
  elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  findings=$(find "$work/findings" -type f | wc -l)
  printf '%-12s %14s %10s %8s %9s\n' "$name" "${execs:-0}" "$(awk -v n="${execs:-0}" -v t="$elapsed" 'BEGIN { printf "%d", n / t }')" "${edges:-?}" "$findings"
  if [ "${PK_FUZZ_MERGE:-0}" = 1 ]; then
    "$build/bin/fuzz_$name" -merge=1 -rss_limit_mb=2048 -timeout=10 "${dict[@]}" \
      "$root/fuzz/corpus/$name" "$work/corpus" >"$work/merge.log" 2>&1 || true
  fi
done
