#!/usr/bin/env bash
# Line and branch coverage of the parsers of untrusted bytes over the
# committed corpus: every fuzz target is built with clang's source-based
# coverage, runs each input of fuzz/corpus/<target> (and the test builders'
# seeds) once, and llvm-cov reports on the parsers' sources. The report is
# written to build/fuzz-coverage/report.txt; uncovered lines can be shown
# with the llvm-cov show command it prints.
#
# usage: scripts/fuzz-coverage.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz-coverage
flags="-fprofile-instr-generate -fcoverage-mapping"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPK_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
llvm=/usr/lib/llvm-14/bin
rm -rf "$build/profiles" "$build/seeds"
mkdir -p "$build/profiles"
objects=()
for target in "$build"/bin/fuzz_*; do
  name=$(basename "$target")
  name=${name#fuzz_}
  mkdir -p "$build/seeds/$name"
  LLVM_PROFILE_FILE=/dev/null "$build/bin/pk_seeds" "$name" "$build/seeds/$name"
  LLVM_PROFILE_FILE="$build/profiles/$name.profraw" \
    "$target" -runs=0 -rss_limit_mb=4096 "$build/seeds/$name" "$root/fuzz/corpus/$name" >"$build/$name.log" 2>&1
  objects+=(-object "$target")
done
"$llvm/llvm-profdata" merge -sparse "$build"/profiles/*.profraw -o "$build/merged.profdata"

# The parsers: the codec, the byte-level base, the module readers and image
# decoders of the portable backend, the in-memory file, the update manifest.
sources=("$root"/base/*.cpp "$root"/codec/*.cpp "$root"/platform/portable/core/*.cpp
         "$root"/platform/common/memory_file.cpp "$root"/platform/common/icon_image.cpp
         "$root"/platform/portable/png_spng.cpp "$root"/updater/manifest.cpp "$root"/updater/update_url.cpp)
"$llvm/llvm-cov" report "${objects[@]:1}" -instr-profile="$build/merged.profdata" "${sources[@]}" |
  sed "s|$root/||" >"$build/report.txt"
cat "$build/report.txt"
echo
echo "uncovered lines: $llvm/llvm-cov show ${objects[*]:1} -instr-profile=$build/merged.profdata <source>"
