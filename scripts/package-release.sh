#!/usr/bin/env bash
# Makes the release packages in dist/, from the version in the top CMakeLists.txt:
#   capture-server-VERSION-windows-x86_64.zip  one folder: the Windows package with the GenICam
#                                              backend, its quick start and licenses/
#   capture-server_VERSION_amd64.deb           for Debian 12, with the GenICam backend
#   capture_server-VERSION-py3-none-any.whl     the Python package, built offline with
#                                              Debian's setuptools and wheel
# Builds both (Release) in build-release-windows/ and build-release-linux/, the Windows one
# on the dependency chain of scripts/build-windows-deps.sh (built once, then cached).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dist="$root/dist"
windows_build="$root/build-release-windows"
linux_build="$root/build-release-linux"
jobs="${CAPTURE_BUILD_JOBS:-2}"

"$root/scripts/install-deps.sh" libaravis-dev libusb-1.0-0-dev pkg-config dpkg-dev file \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools \
    python3-pip python3-setuptools python3-wheel

deps="$("$root/scripts/build-windows-deps.sh" | tail -n 1)"
mkdir -p "$dist"

echo "== the Windows zip"
cmake -S "$root" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCAPTURE_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCAPTURE_GENICAM=ON >/dev/null
cmake --build "$windows_build" -j "$jobs" --target capture-server capture-client
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows_build/CMakeCache.txt")"
name="capture-server-$version-windows-x86_64"
staging="$windows_build/release"
rm -rf "$staging"
"$root/scripts/package-windows.sh" "$windows_build" "$deps" "$staging/$name"
rm -f "$dist/$name.zip"
(cd "$staging" && cmake -E tar cf "$dist/$name.zip" --format=zip "$name")

echo "== the Debian package"
cmake -S "$root" -B "$linux_build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCAPTURE_GENICAM=ON >/dev/null
cmake --build "$linux_build" -j "$jobs" --target capture-server capture-client
deb="capture-server_${version}_amd64.deb"
rm -f "$dist/$deb"
(cd "$linux_build" && cpack -G DEB -B "$linux_build/cpack" >/dev/null)
mv "$linux_build/cpack/$deb" "$dist/"

echo "== the Python wheel"
# Debian's python3, whose setuptools and wheel build it without the network; the wheel
# records no checkout (python/setup.py) and takes its version from VERSION, as CMake does.
wheel="capture_server-$version-py3-none-any.whl"
wheel_build="$root/build-release-wheel"
rm -rf "$wheel_build" "$root/python/build" "$dist/$wheel"
CAPTURE_RELEASE_WHEEL=1 /usr/bin/python3 -m pip wheel --quiet --no-deps --no-build-isolation \
    --no-index --wheel-dir "$wheel_build" "$root/python"
rm -rf "$root/python/build"
mv "$wheel_build/$wheel" "$dist/"

ls -l "$dist/$name.zip" "$dist/$deb" "$dist/$wheel"
