#!/usr/bin/env bash
# Installs what building, running and testing the launcher need on Debian 12,
# and nothing when everything is already there.
set -eu

if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

# The shipped launcher is 32-bit: Wine's 32-bit loader comes from i386.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
fi

packages=(
    cmake make g++ python3 file
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine wine64 wine32:i386 xvfb xdotool x11-utils imagemagick xcompmgr
    googletest libgtest-dev libbenchmark-dev curl clang libclang-rt-14-dev
    python3-cryptography libgnutls30
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some kernels run no 32-bit Linux program (ia32 emulation off, as in the
# virtual machines these tests run on). Wine's 32-bit loader then runs under
# qemu's user-mode emulator, registered for i386 programs. Bookworm's qemu 7.2
# takes about 50 s to start each Wine process (its page tracking makes every
# one of Wine's 130,000 start-up mappings slow); the backported 10.0 takes
# 0.3 s.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    qemu=/usr/bin/qemu-i386
    if ! "$qemu" --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
        echo "32-bit programs do not run here: installing qemu-user from bookworm-backports" >&2
        list=/etc/apt/sources.list.d/qm-bookworm-backports.list
        if [ ! -f "$list" ]; then
            echo "deb http://deb.debian.org/debian bookworm-backports main" | $SUDO tee "$list" >/dev/null
            $SUDO apt-get update -qq
        fi
        $SUDO apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user \
            >/dev/null
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -e "$binfmt/qm-i386" ] && echo -1 | $SUDO tee "$binfmt/qm-i386" >/dev/null
    # Static i386 and dynamic i386 ELF executables; F: the emulator is opened
    # now, so it also serves programs in other mount namespaces.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qm-i386:M::$magic:$mask:$qemu:F" | $SUDO tee "$binfmt/register" >/dev/null
    /usr/lib/wine/wine --version >/dev/null 2>&1 || {
        echo "32-bit Wine does not start, not even under $qemu" >&2
        exit 1
    }
fi
