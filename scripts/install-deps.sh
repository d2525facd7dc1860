#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Runs apt-get as root, or through sudo otherwise.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev
    qt6-translations-l10n
    zlib1g-dev libarchive-dev
    # rar is linked against musl, whose start-up is several times faster.
    musl-dev
    attr libarchive-tools
    dbus
)
if [[ "${1:-}" == "--tests" ]]; then
    # strace stops the archiver at a chosen system call in its tests;
    # unrar-free (libarchive's reader) unpacks the archives of the chain.
    packages+=(xauth xvfb strace unrar-free)
fi
if [[ "${1:-}" == "--package" ]]; then
    # Building the Debian package, checking it and installing it into a clean
    # root made from Debian's own packages.
    packages+=(dpkg-dev file lintian mmdebstrap appstream desktop-file-utils man-db)
fi
if [[ "${1:-}" == "--bench" ]]; then
    # The benchmark is a Python script; it compiles a small C wrapper (cc).
    packages+=(python3)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo_cmd=()
else
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq || true
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
