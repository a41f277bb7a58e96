#!/usr/bin/env bash
# Checks that a launcher exe is a Windows GUI program of the given machine
# (i386 or x86-64) that needs no DLL beside it and that nothing dropped beside
# it can replace a DLL it imports: its static imports are KnownDLLs, which
# Windows maps from the system folder whatever lies beside the program, or
# comctl32, which the manifest binds side by side. Any other DLL is loaded
# before the program's entry code restricts the DLL search, so it must be
# delay-loaded instead (cmake/delay_load.cmake).
# With --release it also refuses an exe that trusts an update key of the
# tests (tests/keys/*.pub.pem), whose private halves are public, and one
# with an http:// host that is not this machine.
#   check-binary.sh EXE i386|x86-64 [--release]
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exe=$1
machine=$2
release=0
[ "${3:-}" = --release ] && release=1
info=$(file -b "$exe")
case "$machine" in
    i386) want="PE32 executable (GUI) Intel 80386" ;;
    x86-64) want="PE32+ executable (GUI) x86-64" ;;
    *) echo "unknown machine $machine" >&2; exit 2 ;;
esac
if [[ "$info" != "$want"* ]]; then
    echo "$exe: expected '$want', got '$info'" >&2
    exit 1
fi
# The KnownDLLs of Windows 7 to 11 alike (HKLM\SYSTEM\CurrentControlSet\
# Control\Session Manager\KnownDLLs), and comctl32.
allowed='^(advapi32|clbcatq|comdlg32|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shell32|shlwapi|user32|wldap32|ws2_32|comctl32)\.dll$'
status=0
while read -r dll; do
    if ! grep -qiE "$allowed" <<<"$dll"; then
        echo "$exe imports $dll at start, which is no KnownDLL: a $dll beside it would be" \
            "loaded instead; delay-load it (cmake/delay_load.cmake)" >&2
        status=1
    fi
done < <(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if [ $release -eq 1 ]; then
    # A compiled-in key is its 64 bytes X||Y, the end of the key's DER form.
    if ! python3 - "$exe" "$ROOT"/tests/keys/*.pub.pem <<'PY'
import base64, sys
exe = open(sys.argv[1], "rb").read()
found = False
for pem in sys.argv[2:]:
    lines = [l for l in open(pem).read().splitlines() if l and not l.startswith("-----")]
    if base64.b64decode("".join(lines))[-64:] in exe:
        print(f"{sys.argv[1]} trusts the test update key {pem}: configure QM_UPDATE_KEYS "
              "with the release keys", file=sys.stderr)
        found = True
sys.exit(1 if found else 0)
PY
    then
        status=1
    fi
fi
if [ $release -eq 1 ]; then
    # A compiled-in host is a UTF-16 address. Plain http to another machine
    # would carry the player's password and pages unprotected.
    if ! python3 - "$exe" <<'PY'
import ipaddress, re, sys
exe = open(sys.argv[1], "rb").read()
wide = lambda text: b"".join(re.escape(c.encode()) + b"\x00" for c in text)
found = False
for match in re.finditer(wide("http://") + rb"((?:[^\x00/?#]\x00)+)", exe, re.IGNORECASE):
    host = match.group(1).decode("utf-16-le")
    name = host[:host.index("]") + 1] if host.startswith("[") else host.split(":")[0]
    try:
        loopback = ipaddress.ip_address(name.strip("[]")).is_loopback
    except ValueError:
        loopback = name.lower() == "localhost"
    if not loopback:
        print(f"{sys.argv[1]} talks plain http to {host}: configure that host as "
              f"https://{host}", file=sys.stderr)
        found = True
sys.exit(1 if found else 0)
PY
    then
        status=1
    fi
fi
[ $status -eq 0 ] && echo "$exe: $info; imports only KnownDLLs at start$([ $release -eq 1 ] && echo "; no test update key, no plain http host")"
exit $status
