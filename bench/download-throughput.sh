#!/usr/bin/env bash
# Download throughput of the launcher's download manager (FDL, 64 KiB reads
# through WinINet, under Wine), fetching from the local test server:
#   1. at a line rate the server holds to (20 MB/s, a fast home line): the
#      rate FDL reaches against that line's, and the CPU time it spends per
#      MiB; this is the figure players feel;
#   2. as fast as loopback goes, against curl on the same machine fetching
#      the same file.
# Rates are MB/s (10^6 bytes per second).
#
#   bench/download-throughput.sh [--arch 32|64]
#
# --arch picks the build measured: 32 (the default) is the shipped flavour,
# build/win32; 64 is build/win64. The Wine harness's settings (QM_WINE_ROOT,
# ...) apply as for scripts/wine-run.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ARCH=32
if [ "${1:-}" = --arch ]; then
    ARCH=${2:-}
fi
case "$ARCH" in 32 | 64) ;; *) echo "usage: $0 [--arch 32|64]" >&2; exit 2 ;; esac
BUILD=$ROOT/build/win$ARCH
LINE_RATE=20000000
LINE_SIZE=$((60 * 1000 * 1000))
SIZE=$((50 * 1000 * 1000))

(cd "$ROOT" && cmake --preset "win$ARCH" >/dev/null)
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

printf '{"/big.bin": {"size": %d}, "/line.bin": {"size": %d, "rate": %d}}\n' \
    "$SIZE" "$LINE_SIZE" "$LINE_RATE" >"$WORK/routes.json"
python3 "$ROOT/tools/testserver/testserver.py" --port 0 --port-file "$WORK/port" \
    --routes "$WORK/routes.json" --max-seconds 900 >/dev/null &
SERVER_PID=$!
for _ in $(seq 1 100); do
    [ -s "$WORK/port" ] && break
    sleep 0.1
done
[ -s "$WORK/port" ] || { echo "the test server did not start" >&2; exit 1; }
BASE="http://127.0.0.1:$(cat "$WORK/port")"

# fdl NAME BYTES: downloads BASE/NAME with the download manager under Wine (Z:
# is the Unix root); prints "seconds cpu".
WINDIR="Z:$(echo "$WORK" | tr / '\\')\\"
fdl() {
    local line bytes
    line=$("$ROOT/scripts/wine-run.sh" "$BUILD/bin/download_bench.exe" "$BASE/$1" "$WINDIR" \
        "$1.fdlbench" | tr -d '\r' | grep '^fdl ')
    bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$line")
    [ "$bytes" = "$2" ] || { echo "FDL fetched $bytes bytes of $1, not $2" >&2; exit 1; }
    echo "$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line") $(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' <<<"$line")"
}

read -r line_seconds line_cpu < <(fdl line.bin "$LINE_SIZE")
read -r fdl_seconds fdl_cpu < <(fdl big.bin "$SIZE")
# curl, natively, into a file as well.
read -r curl_bytes curl_seconds < <(curl -s -o "$WORK/big.curl" -w '%{size_download} %{time_total}\n' "$BASE/big.bin")
[ "$curl_bytes" = "$SIZE" ] || { echo "curl fetched $curl_bytes bytes, not $SIZE" >&2; exit 1; }
cmp -s "$WORK/big.bin.fdlbench" "$WORK/big.curl" || { echo "the two files differ" >&2; exit 1; }

python3 - "$ARCH" "$LINE_RATE" "$LINE_SIZE" "$line_seconds" "$line_cpu" "$SIZE" "$fdl_seconds" \
    "$fdl_cpu" "$curl_seconds" <<'PY'
import sys
arch = sys.argv[1]
line_rate, line_size, line_s, line_cpu = (float(v) for v in sys.argv[2:6])
size, fdl_s, fdl_cpu, curl_s = (float(v) for v in sys.argv[6:10])
reached = line_size / line_s
print(f"{arch}-bit download manager under Wine, from the local test server")
print(f"1. at a line rate of {line_rate / 1e6:.0f} MB/s ({line_size / 1e6:.0f} MB): "
      f"{reached / 1e6:.2f} MB/s = {reached / line_rate:.3f} of the line (target: at least 0.95); "
      f"CPU {line_cpu * 1000 / (line_size / 2**20):.1f} ms per MiB")
fdl_rate, curl_rate = size / fdl_s / 1e6, size / curl_s / 1e6
print(f"2. loopback, {size / 1e6:.0f} MB: FDL {fdl_rate:.1f} MB/s ({fdl_s:.2f} s, "
      f"CPU {fdl_cpu * 1000 / (size / 2**20):.1f} ms per MiB), curl {curl_rate:.1f} MB/s "
      f"({curl_s:.2f} s, native): FDL / curl = {fdl_rate / curl_rate:.3f}")
PY
