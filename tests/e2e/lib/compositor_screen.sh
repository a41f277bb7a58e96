# Sourced by the screenshot tests (ROOT set) with two arguments, the
# launcher exe the test was given and the name of the program built beside it
# that the test drives: a private copy of the prepared Wine prefix on a
# private display with a compositor, so the test's Wine session neither
# disturbs nor depends on the ones the other tests share, and per-pixel alpha
# is blended on screen as a player sees it. Everything is torn down on exit;
# a test that starts programs defines stop_test_programs, which runs first.
# Gives $bin (the build's program folder), $program (the driven program's
# path), $SHOTS (the build's screenshot folder, where the Windows tests save
# theirs too), $work (a scratch folder), winpath, rgba and expect_near.
if [ $# -lt 2 ] || [ -z "$1" ]; then
    echo "usage: $0 path/to/Quillmoor.exe" >&2
    exit 2
fi
bin="$(cd "$(dirname "$1")" 2>/dev/null && pwd)" || {
    echo "FAIL: no folder $(dirname "$1")"
    exit 1
}
program="$bin/$2"
if [ ! -f "$program" ]; then
    echo "FAIL: no $2 beside the launcher in $bin"
    exit 1
fi
SHOTS="$(cd "$bin/.." && pwd)/screenshots"
mkdir -p "$SHOTS"
source "$ROOT/scripts/wine-env.sh"
unset DISPLAY
private_wine=$(mktemp -d)
qm_wine_prepare || exit 1
cp -a "$QM_WINE_ROOT/prefix" "$private_wine/prefix" || exit 1
export QM_WINE_ROOT="$private_wine" WINEPREFIX="$private_wine/prefix"
work=$(mktemp -d)
compositor_pid=""

end_compositor_screen() {
    declare -F stop_test_programs >/dev/null && stop_test_programs
    # Let this display's Wine session end before its X server goes.
    HOME="$QM_WINE_ROOT/home" timeout 30 wineserver -w 2>/dev/null
    [ -n "$compositor_pid" ] && kill "$compositor_pid" 2>/dev/null
    qm_stop_xvfb
    wait 2>/dev/null
    rm -rf "$work"
    qm_wine_stop
    rm -rf "$private_wine"
}
trap end_compositor_screen EXIT

qm_start_xvfb || exit 1
xcompmgr >/dev/null 2>&1 &
compositor_pid=$!
qm_wine_prepare || exit 1

# A Unix path as a Windows program sees it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# "r g b a" (0..255) of one pixel of a picture or screenshot.
rgba() {
    local f="%[fx:int(255*p{$2,$3}"
    convert "$1" -format "$f.r+.5)] $f.g+.5)] $f.b+.5)] $f.a+.5)]" info:
}

# expect_near LABEL "r g b" "r g b" [tolerance]: adds to failures when a
# channel differs by more than the tolerance.
expect_near() {
    local label=$1 tol=${4:-3} i
    local -a want=($2) got=($3)
    for i in 0 1 2; do
        local d=$((want[i] - got[i]))
        if [ ${d#-} -gt "$tol" ]; then
            failures+=("$label: expected ($2), screen shows ($3)")
            return
        fi
    done
}
