#!/usr/bin/env bash
# The signed update sites the update's end-to-end tests serve, published with
# the real publishing tool from the stand-in new launcher (version 1.0.0.9):
#   signed/   1.0.0.9 signed with the test key the launcher carries
#   spare/    1.0.0.9 signed with the launcher's second (spare) test key
#   other/    1.0.0.9 signed with a key made here, which no launcher carries
#   next/     the launcher's own next version (the tour's 1.0.0.9), signed
#   changed.exe  the signed executable with one byte changed after signing
# and two sites the tool refuses to publish, signed with the test key by the
# tool's own signing code:
#   junk/     bytes that cannot start, signed as 1.0.0.9
#   old/      the launcher itself (version 1.0.0.8) signed as 1.0.0.9
# make_update_sites.sh STAND_IN_EXE LAUNCHER_EXE NEXT_LAUNCHER_EXE OUT_DIR
set -eu
exe=$1
launcher=$2
next=$3
out=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
tool="$root/tools/publish-update/publish-update"
keys="$root/tests/keys"

rm -rf "$out"
mkdir -p "$out"
"$tool" --key "$keys/update-test.pem" "$exe" 1.0.0.9 "$out/signed" >/dev/null
"$tool" --key "$keys/update-test-spare.pem" "$exe" 1.0.0.9 "$out/spare" >/dev/null
"$tool" --key "$keys/update-test.pem" "$next" 1.0.0.9 "$out/next" >/dev/null
"$tool" keygen "$out/other-key" >/dev/null
"$tool" --key "$out/other-key/update.pem" "$exe" 1.0.0.9 "$out/other" >/dev/null
printf 'MZ but no program follows: these bytes cannot be started.' >"$out/junk.exe"
python3 - "$tool" "$keys/update-test.pem" "$exe" "$out" "$launcher" <<'PY'
import importlib.machinery, importlib.util, os, sys
tool, key_path, exe, out, launcher = sys.argv[1:]
loader = importlib.machinery.SourceFileLoader("publish_update", tool)
publish = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
loader.exec_module(publish)
key = publish.load_private_key(key_path)

def sign_as(site, source, version):
    data = open(source, "rb").read()
    raw = publish.raw_signature(key.sign(publish.signed_message(version, data),
                                         publish.ec.ECDSA(publish.hashes.SHA256())))
    folder = os.path.join(out, site, publish.ENDPOINT_DIR)
    os.makedirs(folder)
    open(os.path.join(folder, publish.SIGNATURE), "wb").write(raw)
    open(os.path.join(folder, publish.EXECUTABLE), "wb").write(data)

sign_as("junk", os.path.join(out, "junk.exe"), "1.0.0.9")
sign_as("old", launcher, "1.0.0.9")
data = bytearray(open(exe, "rb").read())
data[len(data) // 2] ^= 0x01
open(os.path.join(out, "changed.exe"), "wb").write(data)
PY
touch "$out/stamp"
