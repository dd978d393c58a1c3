#!/usr/bin/env bash
# A fuzzing campaign: every target, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs for SECONDS in PROCS processes (libFuzzer's
# fork mode, which goes on past a finding and keeps each one), starting from
# the committed corpus. Prints per target: executions, executions per second,
# coverage (edges), and findings (crashes, timeouts, out-of-memory inputs),
# which are kept under build/fuzz/campaign/<target>/findings/.
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
  "$build/bin/fuzz_$name" -fork="$procs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$work/findings/" \
    "${dict[@]}" "$work/corpus" "$root/fuzz/corpus/$name" >"$work/log" 2>&1 || true
  elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  # The fork mode's last report: "#EXECS: cov: EDGES ft: ... exec/s N ...".
  last=$(grep -E '^#[0-9]+: cov:' "$work/log" | tail -1)
  execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
  edges=$(sed -E 's/.* cov: ([0-9]+).*/\1/' <<<"$last")
  findings=$(find "$work/findings" -type f | wc -l)
  printf '%-12s %14s %10s %8s %9s\n' "$name" "${execs:-0}" "$(awk -v n="${execs:-0}" -v t="$elapsed" 'BEGIN { printf "%d", n / t }')" "${edges:-?}" "$findings"
  if [ "${PK_FUZZ_MERGE:-0}" = 1 ]; then
    "$build/bin/fuzz_$name" -merge=1 -rss_limit_mb=2048 -timeout=10 "${dict[@]}" \
      "$root/fuzz/corpus/$name" "$work/corpus" >"$work/merge.log" 2>&1 || true
  fi
done
