#!/usr/bin/env bash
# The README's run command on a machine without a display: it must save a
# screenshot and leave no process behind.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# A copy of the prepared prefix: the run command ends every Wine process of
# its prefix, and the other tests' shared wineserver must live on.
source "$ROOT/scripts/wine-env.sh"
mkdir -p "$out/wine"
cp -a "$QM_WINE_ROOT/prefix" "$out/wine/prefix" || exit 1
export QM_WINE_ROOT="$out/wine"

before_xvfb=$(pgrep -x Xvfb | sort)
env -u DISPLAY QM_RUN_NO_BUILD=1 QM_RUN_SECONDS=3 QM_RUN_OUT="$out" \
    timeout 240 "$ROOT/scripts/run.sh"
rc=$?
fail=0
if [ $rc -ne 0 ]; then
    echo "FAIL: run command exited with $rc"
    fail=1
fi
if [ ! -s "$out/01-start.png" ]; then
    echo "FAIL: no screenshot"
    fail=1
elif ! identify "$out/01-start.png" | grep -q '1600x900'; then
    echo "FAIL: screenshot is not of the private 1600x900 display"
    fail=1
fi
sleep 1
if pgrep -x Quillmoor.exe >/dev/null; then
    echo "FAIL: a launcher process is left: $(pgrep -ax Quillmoor.exe)"
    fail=1
fi
after_xvfb=$(pgrep -x Xvfb | sort)
if [ "$before_xvfb" != "$after_xvfb" ]; then
    echo "FAIL: the run command left an Xvfb behind"
    fail=1
fi
[ $fail -eq 0 ] && echo "PASS"
exit $fail
