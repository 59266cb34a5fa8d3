#!/bin/sh
# Builds the fuzz targets (tests/fuzz/CMakeLists.txt, with clang) and runs
# each for $1 seconds (default 20) from a copy of its seed corpus. Any crash,
# sanitizer report or leak fails.
set -eu
seconds=${1:-20}
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$top/build/fuzz
cmake -S "$top" -B "$out" -DKAP_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  >"$out.configure.log" 2>&1 || { cat "$out.configure.log"; exit 1; }
cmake --build "$out" -j2 >"$out.build.log" 2>&1 || { tail -40 "$out.build.log"; exit 1; }
for source in "$top"/tests/fuzz/*_fuzz.cpp; do
  target=$(basename "$source" _fuzz.cpp)
  rm -rf "$out/corpus_$target"
  cp -r "$top/tests/fuzz/seeds_$target" "$out/corpus_$target"
  echo "fuzzing $target for ${seconds}s"
  "$out/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=0 \
    -detect_leaks=1 "$out/corpus_$target" >"$out/$target.log" 2>&1 ||
    { tail -40 "$out/$target.log"; exit 1; }
  grep -E '^(Done|#[0-9]+ *DONE)' "$out/$target.log" | tail -1 || true
done
