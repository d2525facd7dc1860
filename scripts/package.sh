#!/usr/bin/env bash
# Builds the Debian package of Torvanelo with CPack, in its own build folder
# (build-package/ unless one is given), with Debian's hardening flags, and
# prints the package's path as the last line.
#
#   scripts/package.sh [build-folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$top/build-package}

"$top/scripts/install-deps.sh" --package >&2

# dpkg-buildflags gives the flags Debian builds its own packages with.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

if [[ ! -f $folder/build.ninja ]]; then
    cmake -S "$top" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >&2
fi
# Only what the package holds: the tests are not built here.
cmake --build "$folder" --parallel 2 --target torvanelo rar torvanelo_help torvanelo_package_files >&2

cd "$folder"
rm -f torvanelo_*.deb
cpack -G DEB >&2
shopt -s nullglob
packages=(torvanelo_*.deb)
if [[ ${#packages[@]} -ne 1 ]]; then
    echo "package.sh: expected one package in $folder, found ${#packages[@]}" >&2
    exit 1
fi
echo "$folder/${packages[0]}"
