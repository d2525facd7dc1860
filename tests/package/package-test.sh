#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it into a clean
# root made from Debian's own packages and runs the installed program there:
# as a batch job with TORVANELO_HOME (root) and from a desktop user's own
# folder, each over a compressing pair chained to an uncompressing pair, with
# a file of an odd name and extended attributes.
#
# The clean root (Debian's essential packages, apt, attr and the package's
# dependencies) is kept in $TORVANELO_PACKAGE_CACHE (/var/cache/
# torvanelo-package-test) and made again when the dependencies change; each
# run installs the package into a throw-away layer over it.
#
#   tests/package/package-test.sh [package.deb]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=TORVANELO_PACKAGE_CACHE "$0" "$@"
fi
started=$SECONDS
say() { echo "package-test: $* ($((SECONDS - started)) s)"; }
fail() {
    echo "package-test: FAILED: $*" >&2
    exit 1
}

"$top/scripts/install-deps.sh" --package
if [[ $# -ge 1 ]]; then
    deb=$(realpath "$1")
else
    deb=$("$top/scripts/package.sh" | tail -n 1)
fi
say "package $deb"

# Debian's own checks of the package.
lintian --fail-on error "$deb" || fail "lintian reports errors"
say "lintian: no error"

contents=$(dpkg-deb --fsys-tarfile "$deb" | tar -t)
for path in ./usr/bin/torvanelo ./usr/lib/torvanelo/rar ./usr/share/torvanelo/TorvaneloHelpEN.htm \
    ./usr/share/torvanelo/TorvaneloHelpFR.htm ./usr/share/man/man1/torvanelo.1.gz \
    ./usr/share/doc/torvanelo/copyright ./usr/share/icons/hicolor/scalable/apps/torvanelo.svg; do
    grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
! grep -qE '/(s?bin|games)/rar$' <<<"$contents" || fail "the package puts rar on PATH"
grep -qE '^\./(etc|lib|usr/lib)/systemd/' <<<"$contents" && fail "the package ships a systemd unit"

# The clean root, made once for these dependencies.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
depends=$(dpkg-deb -f "$deb" Depends)
cache=${TORVANELO_PACKAGE_CACHE:-/var/cache/torvanelo-package-test}
key=$(printf '%s\n' "$suite" "$depends" "attr" | sha256sum | cut -c 1-16)
base=$cache/root-$key
if [[ ! -f $base/.complete ]]; then
    say "making the clean root for: $depends"
    mkdir -p "$cache"
    rm -rf "$cache"/root-* "$cache"/making
    mirror=http://deb.debian.org/debian
    # The package's dependencies come from Debian's lists by way of apt;
    # the package itself is removed again, its dependencies stay.
    mmdebstrap --quiet --variant=apt --include=attr \
        --customize-hook="copy-in '$deb' /tmp" \
        --customize-hook="chroot \"\$1\" apt-get install -y -q --no-install-recommends /tmp/$(basename "$deb")" \
        --customize-hook='chroot "$1" dpkg --purge torvanelo' \
        --customize-hook='rm -f "$1"/tmp/*.deb' \
        "$suite" "$cache/making" \
        "deb $mirror $suite main" "deb $mirror $suite-updates main" \
        "deb http://deb.debian.org/debian-security $suite-security main" ||
        fail "the clean root could not be made"
    touch "$cache/making/.complete"
    mv "$cache/making" "$base"
fi
say "clean root $base"

run=$(mktemp -d /var/tmp/torvanelo-package-test.XXXXXX)
trap 'rm -rf "$run"' EXIT
mkdir "$run/upper" "$run/work" "$run/root"
cp "$deb" "$run/torvanelo.deb"
cp "$top/tests/package/inside-root.sh" "$run/inside-root.sh"

# Mounts live in a namespace of their own and go with it.
unshare --mount --propagation private bash -euo pipefail -c '
    base=$1 run=$2
    root=$run/root
    if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root" 2>/dev/null; then
        cp -a "$base/." "$root/"
    fi
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    cp "$run/torvanelo.deb" "$run/inside-root.sh" "$root/tmp/"
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 /bin/bash /tmp/inside-root.sh /tmp/torvanelo.deb
' package-test "$base" "$run" || fail "the installed program did not pass (see above)"
say "passed"
