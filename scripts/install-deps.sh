#!/usr/bin/env bash
# Installs what building, running and testing the launcher need on Debian 12,
# and nothing when everything is already there.
set -eu

packages=(
    cmake make g++ python3 file
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine wine64 xvfb xdotool x11-utils imagemagick xcompmgr
    googletest libgtest-dev libbenchmark-dev curl clang libclang-rt-14-dev
    python3-cryptography libgnutls30
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
