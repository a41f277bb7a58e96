#!/usr/bin/env bash
# What stops a release that would put players at risk, without Wine:
#   - configure (on a throwaway build folder, with the host compiler) names
#     what is wrong with a host setting: another scheme, a path, a port out
#     of range; it refuses the committed test keys, also copied elsewhere,
#     when a host is not this machine, and says how to make a release key;
#     -DQM_ALLOW_TEST_KEYS=ON lets a staging build past; loopback hosts and
#     a release key need nothing;
#   - check-binary.sh --release refuses the launcher exe ($1) for its test
#     keys, and a copy whose game host was turned into plain http to
#     another machine for that host, while plain http to localhost passes.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${1:-}
[ -f "$exe" ] || { echo "usage: $0 path/to/Quillmoor.exe"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
failed() {
    echo "FAIL: $*"
    fail=1
}

# configure NAME UPDATE GAME KEYS [ALLOW]: configures the throwaway folder
# with these hosts (pay and portal stay on this machine); its output in $out.
configure() {
    out=$(cmake -S "$ROOT" -B "$work/build" -DQM_SANITIZE=OFF -DQM_UPDATE_HOST="$2" \
        -DQM_GAME_HOST="$3" -DQM_PAY_HOST=localhost:18703 -DQM_PORTAL_HOST=localhost:18704 \
        -DQM_UPDATE_KEYS="$4" -DQM_ALLOW_TEST_KEYS="${5:-OFF}" 2>&1)
}
# refused NAME TEXT ARGS...: configure fails and says TEXT; $said is what
# it said, its wrapped lines joined.
refused() {
    local name=$1 text=$2
    shift 2
    configure "$name" "$@" && failed "$name: configure went through"
    said=$(tr -s ' \n' ' ' <<<"$out")
    grep -qF -- "$text" <<<"$said" || failed "$name: not '$text': $out"
}
# accepted NAME ARGS...: configure goes through.
accepted() {
    local name=$1
    shift
    configure "$name" "$@" || failed "$name: configure stopped: $out"
}

test_keys="tests/keys/update-test.pub.pem;tests/keys/update-test-spare.pub.pem"
local_update=https://localhost:18701
local_game=https://localhost:18702
"$ROOT/tools/publish-update/publish-update" keygen "$work/release" >/dev/null ||
    failed "no release key could be made"
cp "$ROOT/tests/keys/update-test.pub.pem" "$work/copied.pub.pem"

refused "another scheme" "not 'ftp'" "$local_update" ftp://play.example.com "$test_keys"
refused "a path" "has a path" https://update.example.com/updates "$local_game" "$test_keys"
refused "a port out of range" "the port '70000' is not a number from 1 to 65535" \
    "$local_update" play.example.com:70000 "$test_keys"
refused "a malformed port" "the port '80a'" "$local_update" https://play.example.com:80a \
    "$test_keys"
refused "a test key for a remote host" "holds the test key tests/keys/update-test.pub.pem" \
    https://update.example.com "$local_game" "$test_keys"
grep -q "publish-update keygen" <<<"$said" || failed "no word on how to make a release key: $out"
refused "a test key copied elsewhere" "holds the test key tests/keys/update-test.pub.pem" \
    "$local_update" http://10.1.2.3 "$work/copied.pub.pem"
accepted "staging with the test keys" https://update.example.com https://play.example.com \
    "$test_keys" ON
grep -q "a staging build, never a release" <<<"$out" || failed "staging: no warning: $out"
grep -q 'QM_UPDATE_HOST L"https://update.example.com"' \
    "$work/build/generated/common/deploy_config.h" || failed "staging: the host is not compiled in"
accepted "loopback hosts with the test keys" http://127.0.0.2:8080 "[::1]:8443" "$test_keys"
grep -q 'QM_GAME_HOST L"http://\[::1\]:8443"' "$work/build/generated/common/deploy_config.h" ||
    failed "a bare host is not compiled in as http"
accepted "remote hosts with a release key" https://update.example.com play.example.com \
    "$work/release/update.pub.pem"

# check-binary.sh --release on the exe and on copies of it whose game host
# (a UTF-16 string of the same length) names another address.
release_check() { "$ROOT/scripts/check-binary.sh" "$1" "$(file -b "$exe" | grep -q x86-64 && echo x86-64 || echo i386)" --release 2>&1; }
# with_game_host ADDRESS FILE: a copy of the exe whose game host is ADDRESS.
with_game_host() {
    python3 - "$exe" "$1" "$2" <<'PY'
import re, sys
exe, address, out = sys.argv[1:]
data = open(exe, "rb").read()
wide = lambda text: text.encode("utf-16-le")
found = [m for m in re.finditer(re.escape(wide("https://localhost:18702")) + b"\x00\x00", data)]
if len(found) != 1 or len(address) != len("https://localhost:18702"):
    sys.exit(f"the exe does not hold its game host https://localhost:18702 once")
start = found[0].start()
open(out, "wb").write(data[:start] + wide(address) + data[start + len(wide(address)):])
PY
}
result=$(release_check "$exe") && failed "check-binary passed an exe with the test keys"
grep -q "trusts the test update key" <<<"$result" || failed "the test keys were not named: $result"
grep -q "plain http" <<<"$result" && failed "a localhost host was refused: $result"
if with_game_host http://play.example.com "$work/remote.exe"; then
    result=$(release_check "$work/remote.exe")
    grep -q "talks plain http to play.example.com" <<<"$result" ||
        failed "plain http to play.example.com was not refused: $result"
else
    failed "no copy with another game host could be made"
fi
if with_game_host http://localhost:187020 "$work/local.exe"; then
    result=$(release_check "$work/local.exe")
    grep -q "plain http" <<<"$result" && failed "plain http to localhost was refused: $result"
fi
[ $fail -eq 0 ] && echo "PASS"
exit $fail
