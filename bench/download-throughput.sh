#!/usr/bin/env bash
# Download throughput of the launcher's download manager (FDL, 64 KiB reads
# through WinINet, under Wine) against curl on the same machine, both fetching
# one 50 MB file from the local test server. Prints both rates in MB/s
# (10^6 bytes per second) and their ratio.
#
#   bench/download-throughput.sh
#
# QM_BENCH_BUILD names the build folder (default build/bench-win64); the Wine
# harness's settings (QM_WINE_ROOT, ...) apply as for scripts/wine-run.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QM_BENCH_BUILD:-$ROOT/build/bench-win64}
SIZE=$((50 * 1000 * 1000))

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target download_bench -j2 >/dev/null

WORK=$(mktemp -d)
SERVER_PID=""
cleanup() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

printf '{"/big.bin": {"size": %d}}\n' "$SIZE" >"$WORK/routes.json"
python3 "$ROOT/tools/testserver/testserver.py" --port 0 --port-file "$WORK/port" \
    --routes "$WORK/routes.json" --max-seconds 900 >/dev/null &
SERVER_PID=$!
for _ in $(seq 1 100); do
    [ -s "$WORK/port" ] && break
    sleep 0.1
done
[ -s "$WORK/port" ] || { echo "the test server did not start" >&2; exit 1; }
URL="http://127.0.0.1:$(cat "$WORK/port")/big.bin"

# The download manager under Wine; Z: is the Unix root.
WINDIR="Z:$(echo "$WORK" | tr / '\\')\\"
fdl_line=$("$ROOT/scripts/wine-run.sh" "$BUILD/bin/download_bench.exe" "$URL" "$WINDIR" big.fdlbench \
           | tr -d '\r' | grep '^fdl ')
fdl_bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$fdl_line")
fdl_seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$fdl_line")
[ "$fdl_bytes" = "$SIZE" ] || { echo "FDL fetched $fdl_bytes bytes, not $SIZE" >&2; exit 1; }

# curl, natively, into a file as well.
read -r curl_bytes curl_seconds < <(curl -s -o "$WORK/big.curl" -w '%{size_download} %{time_total}\n' "$URL")
[ "$curl_bytes" = "$SIZE" ] || { echo "curl fetched $curl_bytes bytes, not $SIZE" >&2; exit 1; }
cmp -s "$WORK/big.fdlbench" "$WORK/big.curl" || { echo "the two files differ" >&2; exit 1; }

python3 - "$SIZE" "$fdl_seconds" "$curl_seconds" <<'PY'
import sys
size, fdl, curl = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
fdl_rate, curl_rate = size / fdl / 1e6, size / curl / 1e6
print(f"file:  {size / 1e6:.0f} MB from the local test server")
print(f"FDL:   {fdl_rate:8.1f} MB/s  ({fdl:.2f} s, Wine, 64 KiB reads)")
print(f"curl:  {curl_rate:8.1f} MB/s  ({curl:.2f} s, native)")
print(f"ratio: FDL / curl = {fdl_rate / curl_rate:.3f}   (target: at least 0.3)")
PY
