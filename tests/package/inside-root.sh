#!/bin/bash
# Run by package-test.sh inside the clean root, as root: installs the
# package and runs the installed program there.
set -euo pipefail
fail() {
    echo "package-test: FAILED in the clean root: $*" >&2
    exit 1
}

dpkg -i "$1" >/dev/null || fail "dpkg could not install the package"
[[ $(command -v torvanelo) == /usr/bin/torvanelo ]] || fail "torvanelo is not /usr/bin/torvanelo"
if found=$(command -v rar); then
    fail "rar is on PATH: $found"
fi
[[ -x /usr/lib/torvanelo/rar ]] || fail "no /usr/lib/torvanelo/rar"

# The hex of a path's UTF-16LE form, as the pair file holds it.
hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F; }

# One line per entry of a folder, in byte order: the name's bytes in hex, the
# content's SHA-256, then each user attribute with its value in hex.
record() (
    cd "$1"
    find . -mindepth 1 -maxdepth 1 -print0 | LC_ALL=C sort -z | while IFS= read -r -d '' name; do
        printf '%s %s ' "$(printf '%s' "${name#./}" | od -An -v -tx1 | tr -d ' \n')" \
            "$(sha256sum <"$name" | cut -d ' ' -f 1)"
        getfattr -d -m '^user\.' -e hex -- "$name" 2>/dev/null | grep -v '^#' | grep . | LC_ALL=C sort | tr '\n' ' '
        echo
    done
)

# A batch job in program folder $1 over $2/in -> $2/middle -> $2/out, with
# a file of an odd name (a leading dash, quotes, a byte that is not UTF-8, a
# control character) carrying a binary and an empty attribute, and a plain
# file with a large one.
make_job() {
    local home=$1 base=$2
    mkdir -p "$home" "$base/in" "$base/middle" "$base/out"
    printf '[Configuration]\r\nAutomatique=1\r\nArretAutomatique=1\r\n[Rar_2]\r\nRar=1\r\n' >"$home/Torvanelo.ini"
    printf '"%s","%s"\r\n"%s","%s"\r\n' "$(hex "$base/in")" "$(hex "$base/middle")" \
        "$(hex "$base/middle")" "$(hex "$base/out")" >"$home/Torvanelo.w"
    local odd=$'-odd "name" \xff caf\xc3\xa9 \x01.txt'
    head -c 70000 /dev/urandom >"$base/in/$odd"
    setfattr -n user.com.apple.ResourceFork -v 0x00ff00fe0a -- "$base/in/$odd"
    setfattr -n user.empty -- "$base/in/$odd"
    printf 'plain\n' >"$base/in/plain.txt"
    setfattr -n user.note -v "0s$(head -c 3000 /dev/urandom | base64 -w 0)" -- "$base/in/plain.txt"
    record "$base/in" >"$base/expected"
    [[ $(wc -l <"$base/expected") -eq 2 ]] || fail "the job's files could not be made"
}

check_job() {
    local base=$1
    [[ -z $(ls -A "$base/in") && -z $(ls -A "$base/middle") ]] ||
        fail "files left on the way: $(ls -A "$base/in" "$base/middle")"
    diff <(record "$base/out") "$base/expected" >&2 || fail "the delivered files differ"
}

environment=(env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
    QT_QPA_PLATFORM=offscreen)

# Root runs a batch job from a program folder named by TORVANELO_HOME.
make_job /srv/job /srv/files
mkdir -m 0700 -p /run/torvanelo-test
status=0
"${environment[@]}" HOME=/root XDG_RUNTIME_DIR=/run/torvanelo-test TORVANELO_HOME=/srv/job \
    torvanelo || status=$?
[[ $status -eq 0 ]] || fail "the batch job with TORVANELO_HOME ended with status $status"
check_job /srv/files
# The archive counter went to the parameters file of that folder.
grep -q '^LastFileNumber=' /srv/job/Torvanelo.ini || fail "/srv/job/Torvanelo.ini holds no archive counter"

# A desktop user's program folder is ~/.config/torvanelo, made private on
# first use. The first start meets an installed user unit, asks whether to
# remove it and, with no one to answer, ends.
echo 'tester:x:1000:1000::/home/tester:/bin/bash' >>/etc/passwd
echo 'tester:x:1000:' >>/etc/group
install -d -o 1000 -g 1000 -m 0755 /home/tester /home/tester/.local /home/tester/.local/share \
    /home/tester/.local/share/systemd /home/tester/.local/share/systemd/user
install -d -o 1000 -g 1000 -m 0700 /run/user/1000
install -o 1000 -g 1000 -m 0644 /dev/null /home/tester/.local/share/systemd/user/torvanelo.service
as_tester=(setpriv --reuid=1000 --regid=1000 --clear-groups "${environment[@]}" HOME=/home/tester
    USER=tester XDG_RUNTIME_DIR=/run/user/1000)
status=0
"${as_tester[@]}" torvanelo || status=$?
[[ $status -eq 0 ]] || fail "the first start of the desktop user ended with status $status"
for folder in /home/tester/.config /home/tester/.config/torvanelo; do
    [[ $(stat -c '%a %u' "$folder" 2>/dev/null) == "700 1000" ]] ||
        fail "$folder is not the user's private folder: $(stat -c '%a %u' "$folder" 2>&1)"
done
rm /home/tester/.local/share/systemd/user/torvanelo.service

# Then the same user's batch job in that folder.
"${as_tester[@]}" bash -c "$(declare -f fail hex record make_job); make_job /home/tester/.config/torvanelo /home/tester/files"
status=0
"${as_tester[@]}" torvanelo || status=$?
[[ $status -eq 0 ]] || fail "the desktop user's batch job ended with status $status"
check_job /home/tester/files
grep -q '^LastFileNumber=' /home/tester/.config/torvanelo/Torvanelo.ini ||
    fail "~/.config/torvanelo/Torvanelo.ini holds no archive counter"
echo "package-test: the installed program passed in the clean root"
