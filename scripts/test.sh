#!/usr/bin/env bash
# Builds the three presets and runs every test: native core tests, the
# Windows tests of the 32-bit and the 64-bit build under Wine on a private
# Xvfb, end-to-end tests of the 32-bit build. Prints one summary line and
# exits non-zero on any failure.
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

# Builds a Windows flavour and checks its launcher exe statically.
#   build_windows PRESET MACHINE
build_windows() {
    build "$1-configure" cmake --preset "$1" && build "$1-build" cmake --build --preset "$1" -j2 ||
        return 1
    echo "== $1 binary check"
    if "$ROOT/scripts/check-binary.sh" "build/$1/bin/Quillmoor.exe" "$2"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}

# Runs a built flavour's tests under Wine, with a Wine prefix (under
# WINE_ROOT) and a private display of its own, so the two flavours can run at
# once; the output goes to the flavour's log.
#   run_windows_tests PRESET WINE_ROOT [ctest arguments]
run_windows_tests() {
    local preset=$1 wine_root=$2
    shift 2
    (
        export QM_WINE_ROOT=$wine_root
        unset WINEPREFIX DISPLAY QM_BROWSER_LOG
        source "$ROOT/scripts/wine-env.sh"
        trap 'qm_wine_stop; qm_stop_xvfb' EXIT
        if ! qm_start_xvfb || ! qm_wine_prepare; then
            echo "!! $preset: could not start Xvfb or prepare Wine"
            exit 1
        fi
        # One persistent wineserver for the whole run keeps each test's start
        # fast. Its background services are started here, with no output
        # attached: started by a test, they would hold ctest's pipe open.
        qm_wineserver -p
        qm_wine 120 cmd.exe /c exit </dev/null >/dev/null 2>&1
        qm_wine 120 "$ROOT/build/$preset/bin/wine_warmup.exe" </dev/null >/dev/null 2>&1
        # A test that times out runs once more: under the emulator that runs
        # Wine's 32-bit half here, a process has been seen, rarely, to hang at
        # its exit after its cases passed. A test that hangs twice fails.
        timeout -k 10 2400 ctest --preset "$preset" --timeout 300 --repeat after-timeout:2 "$@"
    ) >"$log_dir/$preset-ctest.log" 2>&1 </dev/null
}

# The shipped 32-bit launcher runs every Windows and end-to-end test; the
# 64-bit build runs the Windows tests again, for pointer-size faults. One run
# of each end-to-end suite is enough, the 32-bit one: the e2e scripts and the
# update's end-to-end cases (UpdateE2E) drive the same code through the real
# exe, and mostly wait on it. The two flavours run at the same time, each in
# its own prefix and on its own display; the 64-bit build's hosts are other
# ports (CMakePresets.json), so their servers never meet.
built32=0
built64=0
build_windows win32 i386 && built32=1
build_windows win64 x86-64 && built64=1
echo "== Windows tests under Wine ($((SECONDS / 60)) min so far)"
flavours=()
if [ $built32 -eq 1 ]; then
    run_windows_tests win32 "$ROOT/build/wine" &
    flavours+=("win32 $!")
fi
if [ $built64 -eq 1 ]; then
    run_windows_tests win64 "$ROOT/build/wine64" -E '^(e2e|win[.]UpdateE2E)[.]' &
    flavours+=("win64 $!")
fi
for entry in "${flavours[@]}"; do
    read -r preset pid <<<"$entry"
    wait "$pid"
    echo "== $preset tests"
    grep -vE '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log_dir/$preset-ctest.log" | tail -n 40
    count_ctest "$log_dir/$preset-ctest.log"
done

# The failures' own lines last, where a log cut to its tail still shows them:
# each failed assertion with the lines that explain it.
for entry in "${flavours[@]}"; do
    read -r preset _ <<<"$entry"
    failures=$(grep -E -A8 ': Failure$|Unhandled|^\[  FAILED  \] .*\([0-9]+ ms\)$' \
        "$log_dir/$preset-ctest.log" | head -n 80)
    [ -n "$failures" ] && printf '== %s failures\n%s\n' "$preset" "$failures"
done

echo "Summary: $passed passed, $failed failed ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
