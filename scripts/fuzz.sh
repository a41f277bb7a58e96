#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for a bounded
# time (QM_FUZZ_SECONDS, default 20). Exit code non-zero on any finding.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$ROOT/build/fuzz"
mkdir -p "$out/corpus-version"
seconds=${QM_FUZZ_SECONDS:-20}

clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$ROOT/src" "$ROOT/tests/fuzz/version_fuzz.cpp" "$ROOT/src/update/version_text.cpp" \
    -o "$out/version_fuzz" || exit 1

for seed in "1.0.0.8" "1.0.0.9" $'1.0.0.9\r\n' "1.0.1" "0.9.0.0" " 1.0.0.9" "<html>"; do
    printf '%s' "$seed" >"$out/corpus-version/$(printf '%s' "$seed" | md5sum | cut -c1-12)"
done
"$out/version_fuzz" -max_total_time="$seconds" -timeout=5 -print_final_stats=0 \
    "$out/corpus-version" >"$out/version_fuzz.log" 2>&1
rc=$?
tail -n 3 "$out/version_fuzz.log"
exit $rc
