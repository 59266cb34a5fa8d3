#!/bin/sh
# Builds the fuzz targets with clang and runs each for $1 seconds (default 20)
# from a copy of its seed corpus. Any crash, sanitizer report or leak fails.
set -eu
seconds=${1:-20}
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$top/build/fuzz
mkdir -p "$out"
flags="-std=c++17 -g -O1 -fno-exceptions -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I$top/src"
for target in hif product_key kit; do
  case $target in
    hif) sources="$top/src/package/hif_reader.cpp $top/src/control/text.cpp" ;;
    product_key) sources="$top/src/host/product_key_rules.cpp $top/src/control/text.cpp" ;;
    kit) sources=$(cd "$top/src" && echo kit/kit_check.cpp kit/kit_kinds.cpp kit/kit_report.cpp kit/kit_rules.cpp \
           kit/kit_listing.cpp kit/kit_walk_posix.cpp control/text.cpp control/records.cpp control/package_paths.cpp \
           host/release_rules.cpp ui/languages.cpp package/hif_reader.cpp package/deploy_steps.cpp |
           sed "s|[^ ]*|$top/src/&|g") ;;
  esac
  clang++ $flags -o "$out/${target}_fuzz" "$top/tests/fuzz/${target}_fuzz.cpp" $sources
  rm -rf "$out/corpus_$target"
  cp -r "$top/tests/fuzz/seeds_$target" "$out/corpus_$target"
  echo "fuzzing $target for ${seconds}s"
  "$out/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=0 \
    -detect_leaks=1 "$out/corpus_$target" >"$out/$target.log" 2>&1 ||
    { tail -40 "$out/$target.log"; exit 1; }
  grep -E '^(Done|#[0-9]+ *DONE)' "$out/$target.log" | tail -1 || true
done
