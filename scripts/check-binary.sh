#!/usr/bin/env bash
# Checks that a launcher exe is a Windows GUI program of the given machine
# (i386 or x86-64) that needs no DLL beside it: every import is a system DLL.
set -u
exe=$1
machine=$2
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
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|msimg32|wininet|shlwapi|uuid|version|windowscodecs|gdiplus|urlmon|api-ms-win-.*)\.dll$'
status=0
while read -r dll; do
    if ! grep -qiE "$system_dlls" <<<"$dll"; then
        echo "$exe imports a non-system DLL: $dll" >&2
        status=1
    fi
done < <(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ $status -eq 0 ] && echo "$exe: $info; imports only system DLLs"
exit $status
