#!/usr/bin/env bash
# Fetches RARLAB's unrar (Debian's non-free section) into build/tools/ for
# the archive checks, without touching the machine's package sources: a
# private apt configuration is made from the machine's own Debian sources
# with the non-free component, and the package is only unpacked.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tools="$top/build/tools"
[[ -x "$tools/unrar" ]] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial"

found=0
for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" ]] || continue
    grep -q 'debian' "$f" || continue
    sed -E 's/^(Components:.*)$/\1 non-free/' "$f" >"$work/parts/$(basename "$f")"
    found=1
done
if [[ -f /etc/apt/sources.list ]] && grep -qE '^deb .*debian' /etc/apt/sources.list; then
    grep -E '^deb .*debian' /etc/apt/sources.list | sed -E 's/$/ non-free/' >"$work/parts/legacy.list"
    found=1
fi
[[ $found -eq 1 ]] || { echo "no Debian package sources found"; exit 1; }

cat >"$work/apt.conf" <<CONF
Dir::Etc::SourceList "/dev/null";
Dir::Etc::SourceParts "$work/parts";
Dir::State::Lists "$work/lists";
Dir::Cache "$work/cache";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$work/apt.conf"
apt-get update -qq >/dev/null 2>&1
(cd "$work" && apt-get download -qq unrar >/dev/null 2>&1)
deb=$(ls "$work"/unrar_*.deb 2>/dev/null | head -n 1)
[[ -n "$deb" ]] || { echo "unrar package not available"; exit 1; }
dpkg -x "$deb" "$work/unpacked"
mkdir -p "$tools"
cp "$work/unpacked/usr/bin/unrar-nonfree" "$tools/unrar" 2>/dev/null \
    || cp "$work/unpacked/usr/bin/unrar" "$tools/unrar"
chmod +x "$tools/unrar"
echo "unrar fetched into $tools"
