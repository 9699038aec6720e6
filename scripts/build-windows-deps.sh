#!/usr/bin/env bash
# Cross builds Aravis and the libraries it needs (PCRE2, libffi, GLib, libxml2, libusb; zlib is
# Debian's libz-mingw-w64-dev) for 64-bit Windows with MinGW-w64, from source tarballs checked
# against the SHA-256 sums pinned below, and prints the install prefix on its last line. The
# prefix also keeps what a binary distribution of these libraries must carry: each source tree's
# licence texts (licenses/NAME/) and the list of the tarballs with their sums (sources.txt).
#
# The tarballs come from CAPTURE_WINDOWS_VENDOR_DIR (default: shared/vendor beside the clone).
# The prefix lives in a cache outside the clone, CAPTURE_WINDOWS_DEPS_CACHE (default:
# /var/cache/capture-server/windows-deps), under a key made of what the prefix is built from
# (see "The cache key" below): a run with the same key reuses the prefix, a new key builds a new
# one from scratch. With --print-prefix it only prints where the prefix is (or would be).
# Exits 77, with the reason on standard error, when the prefix is not built and the tarballs'
# folder is not there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
script="$root/scripts/build-windows-deps.sh"

# The pinned sources: file, SHA-256. Each is a `git archive` of the upstream release tag.
sources=(
    "pcre2-10.42.tar.gz 71deae98e66865c46a80e9dfc325eca37b914ef98e487910541afdecb365cff9"
    "libffi-3.4.4.tar.gz 659211842d9488009dbf58921f03d045a22fb1b3b41e988c269e69617da8dc4a"
    "glib-2.74.7.tar.gz 1550819ccc399be7638862c3555fd852f5583da78ed663e944d083484861fa17"
    "gvdb-0854af0.tar.gz b7be9eb4af1faf15e9dec8fbce1edd1a16e8b1d8aa4c364ffddef7db39d1612e"
    "proxy-libintl-0.4.tar.gz 035017baa0a302d92f9f15ca838dc303f7fca5fab12d2b8d52df14e34dde3121"
    "libxml2-2.9.14.tar.gz 439a690e74e1b72acc7d03239a7661103b8e5468fb9b527c40358eabc765dd91"
    "libusb-1.0.27.tar.gz 9a536a61dbd191d3a81976ec6067506fc2d7c543951f86a54862cae5cd952aab"
    "aravis-0.8.26.tar.gz f3662042a30c252380df64a07601b5c0bb3ef6b1714dc09ad02a8e830ff93dba"
)

# The cross toolchain: the compilers, the MinGW-w64 runtime they link, and Debian's zlib.
toolchain=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev libz-mingw-w64-dev)

triplet=x86_64-w64-mingw32
vendor="${CAPTURE_WINDOWS_VENDOR_DIR:-$root/../shared/vendor}"
cache="${CAPTURE_WINDOWS_DEPS_CACHE:-/var/cache/capture-server/windows-deps}"
jobs="${CAPTURE_BUILD_JOBS:-2}"

# The cache key: the SHA-256 (first 16 digits) of this script's text without its comment lines
# and blank lines, which holds every pin, version and option, followed by the installed Debian
# versions of the toolchain. Editing a comment keeps the key; changing code, or a toolchain
# update, makes a new one. (A comment after code on the same line counts as code: keep comments
# on lines of their own.)
cache_key() {
    {
        grep -v -E '^[[:space:]]*(#|$)' "$script"
        dpkg-query -W -f='${Package} ${Version}\n' "${toolchain[@]}" 2>/dev/null || true
    } | sha256sum | cut -c1-16
}

# Where the prefix is for the toolchain installed now.
if [ "${1:-}" = "--print-prefix" ]; then
    echo "$cache/$(cache_key)"
    exit 0
fi

# libglib2.0-dev-bin: Aravis's build runs GLib's code generators (glib-mkenums) on this machine.
"$root/scripts/install-deps.sh" "${toolchain[@]}" mingw-w64-tools meson ninja-build cmake \
    autoconf automake libtool libltdl-dev make pkg-config python3 libglib2.0-dev-bin
prefix="$cache/$(cache_key)"

mkdir -p "$cache"
# One build at a time per cache; a second caller waits and then finds the finished prefix.
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

if [ ! -d "$vendor" ]; then
    echo "SKIP: no tarballs folder $vendor (set CAPTURE_WINDOWS_VENDOR_DIR)" >&2
    exit 77
fi
rm -rf "$prefix" "$prefix.work"
work="$prefix.work"
mkdir -p "$prefix" "$work"
log="$work/build.log"
: >"$log"
echo "Building the Windows dependencies into $prefix (log: $log)" >&2

fail() {
    echo "build-windows-deps: $1; the end of $log:" >&2
    tail -n 40 "$log" >&2
    exit 1
}
# Runs one build step with its output in the log, naming it on failure.
step() {
    local name="$1"
    shift
    echo "  $name ($(date -u +%H:%M:%S))" >&2
    "$@" >>"$log" 2>&1 || fail "$name failed"
}

for entry in "${sources[@]}"; do
    read -r file sum <<<"$entry"
    [ -f "$vendor/$file" ] || fail "missing $vendor/$file"
    echo "$sum  $vendor/$file" | sha256sum --check --quiet - >>"$log" 2>&1 ||
        fail "$vendor/$file does not match its pinned SHA-256"
    tar -xzf "$vendor/$file" -C "$work"
done
mv "$work/gvdb" "$work/proxy-libintl" "$work/glib-2.74.7/subprojects/"

# pkg-config sees the prefix and the MinGW-w64 sysroot (zlib) only, never the Linux libraries.
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig:/usr/$triplet/lib/pkgconfig"

cat >"$work/cross.ini" <<EOF
[binaries]
c = '$triplet-gcc-posix'
cpp = '$triplet-g++-posix'
ar = '$triplet-ar'
strip = '$triplet-strip'
windres = '$triplet-windres'
pkgconfig = '$triplet-pkg-config'

[properties]
pkg_config_libdir = ['$prefix/lib/pkgconfig', '/usr/$triplet/lib/pkgconfig']

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF

cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $triplet-g++-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH $prefix /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
EOF

cmake_build() {
    local source="$1"
    shift
    step "$source: configure" cmake -S "$work/$source" -B "$work/$source/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON "$@"
    step "$source: build" cmake --build "$work/$source/build" -j "$jobs"
    step "$source: install" cmake --install "$work/$source/build"
}

meson_build() {
    local source="$1"
    shift
    step "$source: configure" meson setup "$work/$source/build" "$work/$source" \
        --cross-file "$work/cross.ini" --prefix "$prefix" --buildtype release \
        --default-library shared --wrap-mode nodownload "$@"
    step "$source: build" ninja -C "$work/$source/build" -j "$jobs"
    step "$source: install" meson install -C "$work/$source/build" --no-rebuild
}

cmake_build pcre2-10.42 -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF \
    -DPCRE2_BUILD_PCRE2_32=OFF -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF \
    -DPCRE2_SUPPORT_LIBZ=OFF -DPCRE2_SUPPORT_LIBBZ2=OFF -DPCRE2_SUPPORT_LIBREADLINE=OFF \
    -DPCRE2_SUPPORT_LIBEDIT=OFF

(
    cd "$work/libffi-3.4.4"
    step "libffi: autogen" ./autogen.sh
    step "libffi: configure" ./configure --host="$triplet" --prefix="$prefix" \
        CC="$triplet-gcc-posix" CXX="$triplet-g++-posix" --enable-shared --disable-static \
        --disable-docs --disable-multi-os-directory
    step "libffi: build" make -j "$jobs"
    step "libffi: install" make install
)

meson_build glib-2.74.7 -Dtests=false -Dinstalled_tests=false -Dnls=disabled \
    -Dlibmount=disabled -Dselinux=disabled -Dxattr=false -Dman=false -Dgtk_doc=false

cmake_build libxml2-2.9.14 -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_ICONV=OFF \
    -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_TESTS=OFF \
    -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF

(
    cd "$work/libusb-1.0.27"
    step "libusb: autoreconf" autoreconf -fi
    step "libusb: configure" ./configure --host="$triplet" --prefix="$prefix" \
        CC="$triplet-gcc-posix" --enable-shared --disable-static
    step "libusb: build" make -j "$jobs"
    step "libusb: install" make install
)

meson_build aravis-0.8.26 -Dusb=enabled -Dviewer=disabled -Dgst-plugin=disabled \
    -Dtests=false -Dintrospection=disabled -Ddocumentation=disabled -Dpacket-socket=disabled

# Each source tree's licence texts (GLib's tree holds proxy-libintl and gvdb by now).
for tree in pcre2-10.42 libffi-3.4.4 glib-2.74.7 glib-2.74.7/subprojects/proxy-libintl \
    glib-2.74.7/subprojects/gvdb libxml2-2.9.14 libusb-1.0.27 aravis-0.8.26; do
    licenses="$prefix/licenses/$(basename "$tree")"
    mkdir -p "$licenses"
    find "$work/$tree" -maxdepth 1 -xtype f \
        \( -name 'COPYING*' -o -name 'LICEN[CS]E*' -o -name Copyright \) -exec cp {} "$licenses/" \;
    if [ -d "$work/$tree/LICENSES" ]; then
        cp -r "$work/$tree/LICENSES" "$licenses/"
    fi
done
for entry in "${sources[@]}"; do
    read -r file sum <<<"$entry"
    echo "$sum  $file"
done >"$prefix/sources.txt"

mv "$log" "$prefix/build.log"
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
