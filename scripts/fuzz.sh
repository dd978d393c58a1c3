#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one briefly from the committed
# corpus (fuzz/corpus/<target>) and the test builders' seeds, with its
# dictionary, as many at a time as there are cores. New inputs go to
# build/fuzz/, never into the committed corpus.
# usage: fuzz.sh [SECONDS_PER_TARGET] (default 20)
#        fuzz.sh --targets   prints the build targets it needs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=($(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//') pk_seeds)
if [ "${1:-}" = --targets ]; then
  echo "${targets[@]}"
  exit 0
fi
seconds=${1:-20}
build=$root/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

run() {  # run NAME: one target; its log in build/fuzz/NAME.log
  local name=$1 target=$build/bin/fuzz_$1
  local corpus=$build/corpus/$name
  mkdir -p "$corpus" "$root/fuzz/corpus/$name"
  "$build/bin/pk_seeds" "$name" "$corpus"
  local dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
      -artifact_prefix="$build/$name-" "${dict[@]}" "$corpus" "$root/fuzz/corpus/$name" >"$build/$name.log" 2>&1; then
    echo "fuzz: $name FAILED (log: $build/$name.log)"
    tail -40 "$build/$name.log"
    return 1
  fi
  echo "fuzz: $name for ${seconds}s: $(grep -E '^(#[0-9]+|Done)' "$build/$name.log" | tail -1)"
}

status=0 running=0
for target in "${targets[@]}"; do
  [ "$target" = pk_seeds ] && continue
  run "${target#fuzz_}" &
  running=$((running + 1))
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
