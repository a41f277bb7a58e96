#!/usr/bin/env bash
# Builds the three presets and runs every test: native core tests, Windows
# tests under Wine on a private Xvfb, end-to-end tests. Prints one summary
# line and exits non-zero on any failure.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

"$ROOT/scripts/install-deps.sh" || { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
log_dir="$ROOT/build/test-logs"
mkdir -p "$log_dir"

# Adds the counts of one ctest run (its output in $1) to the totals.
count_ctest() {
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

# Runs one build step; a failed build counts as one failure.
build() {
    local name=$1
    shift
    echo "== $name"
    if ! "$@" >"$log_dir/$name.log" 2>&1; then
        tail -n 40 "$log_dir/$name.log"
        echo "!! $name failed (full log: $log_dir/$name.log)"
        failed=$((failed + 1))
        return 1
    fi
}

# Native core and tool tests.
if build native-configure cmake --preset native &&
    build native-build cmake --build --preset native -j2; then
    echo "== native tests"
    ctest --preset native -j2 --timeout 300 2>&1 | tee "$log_dir/native-ctest.log" | tail -n 15
    count_ctest "$log_dir/native-ctest.log"
fi

# Fuzzing of the text that comes off the network, bounded in time.
echo "== fuzz"
if QM_FUZZ_SECONDS=${QM_FUZZ_SECONDS:-30} "$ROOT/scripts/fuzz.sh"; then
    passed=$((passed + 1))
else
    echo "!! fuzzing found a fault (see build/fuzz/)"
    failed=$((failed + 1))
fi

# The shipped 32-bit launcher: built and checked, not run (no 32-bit Wine here).
if build win32-configure cmake --preset win32 &&
    build win32-build cmake --build --preset win32 -j2; then
    echo "== win32 binary check"
    if "$ROOT/scripts/check-binary.sh" build/win32/bin/Quillmoor.exe i386; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
fi

# Windows tests and end-to-end tests under Wine on a private display.
if build win64-configure cmake --preset win64 &&
    build win64-build cmake --build --preset win64 -j2; then
    echo "== win64 binary check"
    if "$ROOT/scripts/check-binary.sh" build/win64/bin/Quillmoor.exe x86-64; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi

    source "$ROOT/scripts/wine-env.sh"
    unset DISPLAY
    if qm_start_xvfb && qm_wine_prepare; then
        # One persistent wineserver for the whole run keeps each test's start
        # fast. Its background services are started here, with no output
        # attached: started by a test, they would hold ctest's pipe open.
        qm_wineserver -p
        qm_wine 120 cmd.exe /c exit </dev/null >/dev/null 2>&1
        qm_wine 120 "$ROOT/build/win64/bin/wine_warmup.exe" </dev/null >/dev/null 2>&1
        echo "== win64 tests (Wine on $DISPLAY)"
        timeout -k 10 2400 ctest --preset win64 --timeout 300 2>&1 |
            tee "$log_dir/win64-ctest.log" | grep -vE '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' |
            tail -n 40
        count_ctest "$log_dir/win64-ctest.log"
    else
        echo "!! could not start Xvfb or prepare Wine"
        failed=$((failed + 1))
    fi
    qm_wine_stop
    qm_stop_xvfb
fi

echo "Summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
