#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one briefly from the committed
# corpus (fuzz/corpus/<target>) and the test builders' seeds, with its
# dictionary. New inputs go to build/fuzz/, never into the committed corpus.
# usage: fuzz.sh [SECONDS_PER_TARGET] (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build=$root/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build "$build" -j"$(nproc)"
status=0
for target in "$build"/bin/fuzz_*; do
  name=$(basename "$target")
  name=${name#fuzz_}
  corpus=$build/corpus/$name
  mkdir -p "$corpus" "$root/fuzz/corpus/$name"
  "$build/bin/pk_seeds" "$name" "$corpus"
  dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
      -artifact_prefix="$build/$name-" "${dict[@]}" "$corpus" "$root/fuzz/corpus/$name" >"$build/$name.log" 2>&1; then
    echo "fuzz: $name FAILED (log: $build/$name.log)"
    tail -40 "$build/$name.log"
    status=1
  else
    grep -E '^(#[0-9]+|Done)' "$build/$name.log" | tail -1 || true
  fi
done
exit $status
