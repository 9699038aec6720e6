#!/usr/bin/env bash
# Makes the Windows package folder: capture-server.exe, capture-client.exe, Jai_Factory.dll and
# every DLL they load, found through the imports objdump lists (in the Aravis prefix, then the
# MinGW-w64 runtime). Fails when anything in the folder imports a DLL that is neither in the
# folder nor one of Windows' own.
#   scripts/package-windows.sh BUILD_DIR DEPS_PREFIX OUTPUT_DIR
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR DEPS_PREFIX OUTPUT_DIR" >&2; exit 2; }
build="$1"
prefix="$2"
out="$3"
triplet=x86_64-w64-mingw32
objdump="$triplet-objdump"

# Where the DLLs come from, first match wins.
search=("$prefix/bin" /usr/"$triplet"/lib)
for folder in /usr/lib/gcc/"$triplet"/*-posix; do
    search+=("$folder")
done

# DLLs every Windows machine has.
system_dll() {
    case "${1,,}" in
    kernel32.dll | user32.dll | advapi32.dll | shell32.dll | ole32.dll | oleaut32.dll | \
        ws2_32.dll | iphlpapi.dll | dnsapi.dll | shlwapi.dll | msvcrt.dll | winmm.dll | \
        gdi32.dll | comdlg32.dll | comctl32.dll | ntdll.dll | bcrypt.dll | crypt32.dll | \
        secur32.dll | userenv.dll | version.dll | mswsock.dll | rpcrt4.dll | setupapi.dll | \
        api-ms-win-*.dll)
        return 0
        ;;
    esac
    return 1
}

imports() {
    "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

rm -rf "$out"
mkdir -p "$out"
for program in capture-server.exe capture-client.exe Jai_Factory.dll; do
    cp "$build/bin/$program" "$out/"
done

# Copies each missing import until every file's imports are in the folder or Windows'.
pending=("$out"/*)
while [ ${#pending[@]} -gt 0 ]; do
    file="${pending[0]}"
    pending=("${pending[@]:1}")
    while read -r dll; do
        system_dll "$dll" && continue
        [ -e "$out/$dll" ] && continue
        for folder in "${search[@]}"; do
            if [ -f "$folder/$dll" ]; then
                cp "$folder/$dll" "$out/"
                pending+=("$out/$dll")
                break
            fi
        done
    done < <(imports "$file")
done

# The check, on the finished folder as it is: anything unresolved fails the package.
missing=0
for file in "$out"/*.exe "$out"/*.dll; do
    while read -r dll; do
        if ! system_dll "$dll" && [ ! -e "$out/$dll" ]; then
            echo "package-windows: $(basename "$file") imports $dll, which is neither in the" \
                "package nor a Windows system DLL" >&2
            missing=1
        fi
    done < <(imports "$file")
done
[ "$missing" -eq 0 ] || exit 1
echo "Windows package: $out ($(ls "$out" | wc -l) files)"
