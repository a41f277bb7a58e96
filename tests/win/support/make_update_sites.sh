#!/usr/bin/env bash
# The signed update sites the update's end-to-end tests serve, published with
# the real publishing tool from the stand-in new launcher:
#   signed/   1.0.0.9 signed with the test key the launcher carries
#   spare/    1.0.0.9 signed with the launcher's second (spare) test key
#   v256/     1.0.0.256 signed with the test key
#   other/    1.0.0.9 signed with a key made here, which no launcher carries
#   junk/     1.0.0.9 signed with the test key, but bytes that cannot start
#   changed.exe  the signed executable with one byte changed after signing
# make_update_sites.sh STAND_IN_EXE OUT_DIR
set -eu
exe=$1
out=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
tool="$root/tools/publish-update/publish-update"
keys="$root/tests/keys"

rm -rf "$out"
mkdir -p "$out"
"$tool" --key "$keys/update-test.pem" "$exe" 1.0.0.9 "$out/signed" >/dev/null
"$tool" --key "$keys/update-test-spare.pem" "$exe" 1.0.0.9 "$out/spare" >/dev/null
"$tool" --key "$keys/update-test.pem" "$exe" 1.0.0.256 "$out/v256" >/dev/null
"$tool" keygen "$out/other-key" >/dev/null
"$tool" --key "$out/other-key/update.pem" "$exe" 1.0.0.9 "$out/other" >/dev/null
printf 'MZ but no program follows: these bytes cannot be started.' >"$out/junk.exe"
"$tool" --key "$keys/update-test.pem" "$out/junk.exe" 1.0.0.9 "$out/junk" >/dev/null
python3 - "$exe" "$out/changed.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
touch "$out/stamp"
