#!/usr/bin/env bash
# Makes the Windows package folder: capture-server.exe, capture-client.exe, Jai_Factory.dll,
# Aravis's arv-tool-0.8.exe (to check which cameras Aravis sees) and every DLL they load (put
# there and checked by scripts/windows-dlls.sh), the quick start for Windows users, and
# licenses/: the licence texts of every library in it and the list of their sources.
#   scripts/package-windows.sh BUILD_DIR DEPS_PREFIX OUTPUT_DIR
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR DEPS_PREFIX OUTPUT_DIR" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
prefix="$2"
out="$3"

rm -rf "$out"
mkdir -p "$out/licenses"
for program in capture-server.exe capture-client.exe Jai_Factory.dll; do
    cp "$build/bin/$program" "$out/"
done
cp "$prefix/bin/arv-tool-0.8.exe" "$out/"
"$root/scripts/windows-dlls.sh" "$out" "$prefix"
cp "$root/packaging/windows/QUICKSTART.txt" "$out/"

# The libraries built from source keep their trees' licence files in the prefix; zlib and the
# MinGW-w64 runtime (winpthreads; libgcc and libstdc++, under the GCC Runtime Library
# Exception) come from Debian's packages, whose copyright files hold their licences.
cp -r "$prefix/licenses/." "$out/licenses/"
mkdir -p "$out/licenses/zlib" "$out/licenses/mingw-w64-winpthreads" "$out/licenses/gcc-runtime"
cp /usr/share/doc/libz-mingw-w64/copyright "$out/licenses/zlib/"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$out/licenses/mingw-w64-winpthreads/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$out/licenses/gcc-runtime/"
cp /usr/share/common-licenses/GPL-3 "$out/licenses/gcc-runtime/"
{
    echo "The libraries in this package were built from these source tarballs (SHA-256, file):"
    cat "$prefix/sources.txt"
    echo
    echo "and from these Debian 12 source packages (package, version):"
    for package in libz-mingw-w64 mingw-w64-x86-64-dev gcc-mingw-w64-x86-64-posix-runtime; do
        dpkg-query -W -f='${source:Package} ${source:Version}\n' "$package"
    done
} >"$out/licenses/SOURCES.txt"
echo "Windows package: $out ($(find "$out" -maxdepth 1 -type f | wc -l) files)"
