# Wine harness: sourced by the scripts that run Windows programs.
# A private prefix and HOME under the build folder, prepared once and reused;
# a private Xvfb when no display is set. Every Wine command runs under timeout.

QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${QM_WINE_ROOT:=$QM_ROOT/build/wine}"
export QM_WINE_ROOT
export WINEPREFIX="$QM_WINE_ROOT/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# control.exe is what Wine's browser control starts, and waits for, to offer
# to install its HTML engine: here that waited for ever on a 32-bit browser
# behind a refused certificate, and held the test's output pipe open.
# QM_WINE_EXTRA_OVERRIDES adds a test's own (Wine reads them from the
# environment its first process started with, not from a parent's
# SetEnvironmentVariable).
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d;winedbg.exe=d;control.exe=d${QM_WINE_EXTRA_OVERRIDES:+;$QM_WINE_EXTRA_OVERRIDES}"
# The demo CA and the local servers' certificates (tools/tls/demo-ca).
: "${QM_TLS_DIR:=$QM_ROOT/build/tls}"
export QM_TLS_DIR
# Links opened with "open" land here instead of in a real browser.
export QM_BROWSER_LOG="${QM_BROWSER_LOG:-$QM_WINE_ROOT/browser.log}"

qm_log() { printf '[wine-harness] %s\n' "$*" >&2; }

# The 64-bit loader starts 64-bit programs itself and hands 32-bit ones to
# the 32-bit loader. Debian's `wine` script always starts the 32-bit loader
# first, which costs half a second a program where it runs under an emulator
# (scripts/install-deps.sh).
if [ -x /usr/lib/wine/wine64 ]; then
    QM_WINE_LOADER=/usr/lib/wine/wine64
else
    QM_WINE_LOADER=wine
fi

# Runs a Wine tool with the private HOME, bounded in time.
qm_wine() {
    local limit=$1
    shift
    HOME="$QM_WINE_ROOT/home" timeout -k 5 "$limit" "$QM_WINE_LOADER" "$@"
}

# The Windows form of a Unix path.
qm_winepath() {
    qm_wine 30 winepath.exe -w "$1" 2>/dev/null
}

qm_wineserver() {
    HOME="$QM_WINE_ROOT/home" wineserver "$@"
}

# Starts a private Xvfb (QM_XVFB_SIZE, default 1600x900) unless a display is
# already set; exports DISPLAY and QM_XVFB_PID. The caller stops it with qm_stop_xvfb.
qm_start_xvfb() {
    QM_XVFB_PID=""
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${QM_XVFB_SIZE:-1600x900}x24" -nolisten tcp 3>"$fdfile" \
        >/dev/null 2>&1 &
    QM_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        if [ -s "$fdfile" ]; then
            break
        fi
        sleep 0.1
    done
    if [ ! -s "$fdfile" ]; then
        qm_log "Xvfb did not start"
        kill "$QM_XVFB_PID" 2>/dev/null
        rm -f "$fdfile"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
    export QM_XVFB_PID
    rm -f "$fdfile"
}

qm_stop_xvfb() {
    if [ -n "${QM_XVFB_PID:-}" ]; then
        kill "$QM_XVFB_PID" 2>/dev/null
        wait "$QM_XVFB_PID" 2>/dev/null
        QM_XVFB_PID=""
    fi
}

# Whether the prefix was booted and set up. A prefix made before 32-bit Wine
# was installed has no syswow64 and runs no 32-bit program: it is made again.
qm_wine_prefix_booted() {
    [ -f "$WINEPREFIX/.qm-ready" ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]
}

# Whether the prefix trusts the demo CA of $QM_TLS_DIR (a copy of the
# certificate it was given sits in the prefix).
qm_wine_trusts_demo_ca() {
    [ -s "$QM_TLS_DIR/localhost.pem" ] && cmp -s "$QM_TLS_DIR/ca.pem" "$WINEPREFIX/.qm-trusted-ca.pem"
}

# Prepares the prefix once: boot, registry settings, browser stub, and the
# demo CA (tools/tls/demo-ca, made once into $QM_TLS_DIR) in the machine's
# root store, which is where WinINet looks. Safe to call from parallel
# processes (the first one does the work); quick when it is done.
qm_wine_prepare() {
    mkdir -p "$QM_WINE_ROOT/home"
    qm_wine_prefix_booted && qm_wine_trusts_demo_ca && return 0
    (
        flock -w 300 9 || { qm_log "prefix lock timed out"; exit 1; }
        "$QM_ROOT/tools/tls/demo-ca" "$QM_TLS_DIR" >/dev/null ||
            { qm_log "the demo CA could not be made in $QM_TLS_DIR"; exit 1; }
        if qm_wine_prefix_booted && qm_wine_trusts_demo_ca; then
            exit 0
        fi
        if ! qm_wine_prefix_booted; then
            qm_log "preparing Wine prefix in $WINEPREFIX"
            rm -rf "$WINEPREFIX"
            qm_wine 300 wineboot -i >/dev/null 2>&1 || { qm_log "wineboot failed"; exit 1; }
            cat >"$QM_WINE_ROOT/browser-stub.sh" <<STUB
#!/bin/sh
# Records the addresses the launcher opens in "the system's web browser".
printf '%s\n' "\$1" >> "\${QM_BROWSER_LOG:-$QM_WINE_ROOT/browser.log}"
STUB
            chmod +x "$QM_WINE_ROOT/browser-stub.sh"
            local regfile="$QM_WINE_ROOT/settings.reg"
            cat >"$regfile" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]
"Browsers"="$QM_WINE_ROOT/browser-stub.sh"
REG
            qm_wine 60 regedit /S "$(qm_winepath "$regfile" || echo "$regfile")" \
                >/dev/null 2>&1 || { qm_log "registry settings failed"; exit 1; }
        fi
        qm_wine 60 regedit /S "$(qm_winepath "$QM_TLS_DIR/ca-trust.reg")" >/dev/null 2>&1 ||
            { qm_log "the prefix could not be made to trust the demo CA"; exit 1; }
        # The registry reaches the disk, where copies of the prefix take it
        # from, when the wineserver ends.
        HOME="$QM_WINE_ROOT/home" timeout 60 wineserver -w
        cp "$QM_TLS_DIR/ca.pem" "$WINEPREFIX/.qm-trusted-ca.pem"
        touch "$WINEPREFIX/.qm-ready"
    ) 9>"$QM_WINE_ROOT/.prepare.lock"
}

# Ends every Wine process of the prefix.
qm_wine_stop() {
    if [ -d "$WINEPREFIX" ]; then
        qm_wineserver -k >/dev/null 2>&1 || true
    fi
}

# Sets the screen DPI that programs of the prefix are told (96 is 100 %,
# 144 is 150 %) and waits for the wineserver to end, so the next program
# starts with it. Nothing is done when the prefix already has it.
qm_wine_set_dpi() {
    local want current
    want=$(printf 'dword:%08x' "$1")
    current=$(awk '/^\[Control Panel\\\\Desktop\]/ { s = 1; next } /^\[/ { s = 0 }
        s && sub(/^"LogPixels"=/, "") { print }' "$WINEPREFIX/user.reg" 2>/dev/null)
    [ "${current:-dword:00000060}" = "$want" ] && return 0
    qm_wine 60 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1 || { qm_log "setting the DPI failed"; return 1; }
    # The registry reaches the disk when the wineserver ends.
    HOME="$QM_WINE_ROOT/home" timeout 30 wineserver -w
}
