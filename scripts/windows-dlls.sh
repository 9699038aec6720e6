#!/usr/bin/env bash
# Puts beside Windows binaries every DLL they import that Windows itself does not have, found
# through the imports objdump lists: in the Aravis prefix's bin/ first, then the MinGW-w64
# runtime, and then those DLLs' own imports in turn. A copy that differs from its source is
# replaced, so that a rebuilt prefix reaches the folder. Then checks the files it went through
# and fails, naming each, when one imports a DLL that is neither in the folder nor Windows' own.
#   scripts/windows-dlls.sh FOLDER DEPS_PREFIX [FILE...]  starting from FILEs (default: all
#                                                         the .exe and .dll files in FOLDER)
#   scripts/windows-dlls.sh --check FOLDER                the check alone, on every file there
# The build runs it after linking the camera library; scripts/package-windows.sh on the package.
set -euo pipefail
triplet=x86_64-w64-mingw32
objdump="$triplet-objdump"

# DLLs every Windows machine has.
system_dll() {
    case "${1,,}" in
    kernel32.dll | user32.dll | advapi32.dll | shell32.dll | ole32.dll | oleaut32.dll | \
        ws2_32.dll | iphlpapi.dll | dnsapi.dll | shlwapi.dll | msvcrt.dll | winmm.dll | \
        gdi32.dll | comdlg32.dll | comctl32.dll | ntdll.dll | bcrypt.dll | crypt32.dll | \
        secur32.dll | userenv.dll | version.dll | mswsock.dll | rpcrt4.dll | setupapi.dll | \
        cfgmgr32.dll | api-ms-win-*.dll)
        return 0
        ;;
    esac
    return 1
}

imports() {
    "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# Prints "FILE imports DLL" for each import of the FILEs missing from FOLDER.
unresolved() {
    local folder="$1" file dll
    shift
    for file in "$@"; do
        while read -r dll; do
            if ! system_dll "$dll" && [ ! -e "$folder/$dll" ]; then
                echo "$(basename "$file") imports $dll"
            fi
        done < <(imports "$file")
    done
}

# Fails naming each missing import, else says nothing.
check() {
    local missing
    missing="$(unresolved "$@")"
    [ -z "$missing" ] && return 0
    echo "windows-dlls: in $1, DLLs that are neither there nor Windows' own:" >&2
    echo "$missing" | sed 's/^/  /' >&2
    return 1
}

if [ "${1:-}" = "--check" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 --check FOLDER" >&2; exit 2; }
    shopt -s nullglob
    check "$2" "$2"/*.exe "$2"/*.dll
    exit
fi
[ $# -ge 2 ] || { echo "usage: $0 FOLDER DEPS_PREFIX [FILE...]" >&2; exit 2; }
folder="$1"
prefix="$2"
shift 2

# Where the DLLs come from, first match wins. No prefix: a build without Aravis.
search=()
[ -n "$prefix" ] && search+=("$prefix/bin")
search+=(/usr/"$triplet"/lib)
for runtime in /usr/lib/gcc/"$triplet"/*-posix; do
    search+=("$runtime")
done

pending=("$@")
if [ ${#pending[@]} -eq 0 ]; then
    shopt -s nullglob
    pending=("$folder"/*.exe "$folder"/*.dll)
    shopt -u nullglob
fi
# Each file once, by name, also when several files import it.
declare -A queued=()
for file in "${pending[@]}"; do
    queued["$(basename "$file")"]=1
done
visited=()
while [ ${#pending[@]} -gt 0 ]; do
    file="${pending[0]}"
    pending=("${pending[@]:1}")
    visited+=("$file")
    while read -r dll; do
        system_dll "$dll" && continue
        for source in "${search[@]}"; do
            [ -f "$source/$dll" ] || continue
            cmp -s "$source/$dll" "$folder/$dll" || cp "$source/$dll" "$folder/$dll"
            break
        done
        if [ -e "$folder/$dll" ] && [ -z "${queued[$dll]:-}" ]; then
            queued["$dll"]=1
            pending+=("$folder/$dll")
        fi
    done < <(imports "$file")
done
check "$folder" "${visited[@]}"
