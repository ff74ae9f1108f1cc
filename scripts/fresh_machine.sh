#!/usr/bin/env bash
# Runs the README's commands on a fresh Debian 12 machine: a minimal root made
# with debootstrap, entered with chroot as root, holding the committed tree
# (git archive HEAD) in /root/zirvon.
#   scripts/fresh_machine.sh [demo|test]...     default: demo test demo
# Each command (scripts/demo.sh, scripts/test.sh) runs with CI=true, so a test
# that finds a tool or the JACK server missing fails. The check fails when a
# command fails, when a test is skipped (but for the one that needs an ALSA
# sequencer device, which no such root has), when the live JACK tests did not run,
# when a command removes a package, or when a command whose packages and build
# are already there (demo after either, test after test) installs or rebuilds
# anything.
#
# Needs root, debootstrap and the Debian mirror (ZIRVON_DEBIAN_MIRROR, default
# http://deb.debian.org/debian). Kept between runs in /var/cache/zirvon-ci
# (ZIRVON_CI_CACHE): the minimal root as a tarball, made once, and the
# packages apt downloads (archives/). Each run unpacks the root afresh and
# removes it at the end. Its mounts (/proc, /dev, a tmpfs /dev/shm and /tmp)
# and its processes live in a mount and a process namespace of the check's
# own, so that none outlives it, even when it is interrupted. Remove the
# tarball to make the root afresh (after a Debian point release, say).
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."

cache=${ZIRVON_CI_CACHE:-/var/cache/zirvon-ci}
mirror=${ZIRVON_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=bookworm
tarball=$cache/$suite-minbase.tar.gz
command_limit=20m  # a bound on each command, in case something hangs

say() { printf '== %s\n' "$*"; }
fail() {
    printf 'fresh_machine.sh: %s\n' "$*" >&2
    exit 1
}

# --- Inside the namespaces: PID 1 of a process namespace of our own. ---

# Unmounts everything under a folder, the deepest first.
unmount_under() {
    local m
    for m in $(awk -v d="$1" '$5 == d || index($5, d "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r); do
        umount "$m" 2>/dev/null || umount -l "$m"
    done
}

# True while a process of the namespace other than this shell lives (checked
# with builtins only: a forked helper would count itself).
others_alive() {
    local p state
    for p in /proc/[0-9]*; do
        [[ ${p#/proc/} == "$$" ]] && continue
        read -r state <"$p/stat" 2>/dev/null || continue
        state=${state##*) }
        [[ ${state:0:1} == Z ]] || return 0
    done
    return 1
}

# Ends every other process of the namespace (the commands and whatever they
# started), then unmounts.
stop_everything() {
    $stopped && return
    stopped=true
    kill -TERM -1 2>/dev/null || true
    for _ in {1..50}; do
        others_alive || break
        sleep 0.1
    done
    kill -KILL -1 2>/dev/null || true
    unmount_under "$work"
}

make_tarball() {
    say "making the minimal Debian 12 root, once (kept in $tarball)"
    local started=$SECONDS
    local target=$work/bootstrap
    # debootstrap fetches with wget: bounded time-outs, a few tries.
    printf 'timeout = 20\ntries = 3\n' >"$work/wgetrc"
    if ! WGETRC=$work/wgetrc timeout 30m debootstrap --variant=minbase "$suite" "$target" "$mirror" \
        >"$work/debootstrap.log" 2>&1; then
        tail -n 20 "$work/debootstrap.log"
        fail "debootstrap failed (its log is above)"
    fi
    unmount_under "$target"
    rm -f "$target/var/cache/apt/archives/"*.deb  # what debootstrap installed
    tar -C "$target" --numeric-owner -czf "$tarball.part" .
    mv "$tarball.part" "$tarball"
    rm -rf --one-file-system "$target"
    say "made $tarball ($(du -m "$tarball" | cut -f1) MB) in $((SECONDS - started)) s"
}

# Unpacks a fresh root and fits it for the check: the name server, Debian's
# updates and security suites as on an installed system, bounded time-outs
# for apt, no services started inside, the cached packages.
prepare_root() {
    local started=$SECONDS
    mkdir "$root"
    tar -C "$root" --numeric-owner -xzf "$tarball"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # Node.js in the root (npm fetches the page's packages) trusts what the
    # host's is told to trust: a proxy that inspects TLS brings its own
    # certificate authority, as the network brings its own name servers.
    if [[ -n ${NODE_EXTRA_CA_CERTS:-} && -r $NODE_EXTRA_CA_CERTS ]]; then
        mkdir -p "$root/etc/ssl"
        cp "$NODE_EXTRA_CA_CERTS" "$root/etc/ssl/node-extra-ca.pem"
    fi
    cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror%/debian}/debian-security $suite-security main
EOF
    cat >"$root/etc/apt/apt.conf.d/90fresh-machine" <<'EOF'
Acquire::http::Timeout "20";
Acquire::Retries "3";
APT::Update::Error-Mode "any";
EOF
    # The root is thrown away: dpkg need not wait for the disk after each file.
    echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/90fresh-machine"
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
    mkdir -p "$root/root/zirvon"
    tar -C "$root/root/zirvon" -xf "$work/tree.tar"

    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
    mount -t tmpfs -o mode=1777 tmp "$root/tmp"
    # The packages downloaded before, as hard links: apt in the root finds
    # them, and checks each against the package lists as if it had fetched
    # it. (Not the cache itself: checks running side by side would share
    # its lock.)
    local debs=("$cache/archives/"*.deb)
    ((${#debs[@]} == 0)) || ln -f "${debs[@]}" "$root/var/cache/apt/archives/"
    say "unpacked a fresh root in $((SECONDS - started)) s"
}

# Runs a command in the root as a login there would: as root, in a clean
# environment, with CI=true.
in_root() {
    local node_ca=()
    [[ -f $root/etc/ssl/node-extra-ca.pem ]] && node_ca=(NODE_EXTRA_CA_CERTS=/etc/ssl/node-extra-ca.pem)
    chroot "$root" /usr/bin/env --default-signal -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI=true \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${node_ca[@]}" "$@"
}

installed_packages() {
    in_root dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package} ${Version}\n' | grep '^ii' | sort
}

# Sets children_cpu to the processor time, in seconds, that this shell's
# finished children used. (Not in a subshell, whose children are others.)
children_cpu() {
    times >"$work/times"
    children_cpu=$(tail -n 1 "$work/times" | awk '{
        total = 0
        for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
        printf "%d", total }')
}

# Keeps the packages apt downloaded in the root for the next runs.
keep_downloads() {
    local deb
    for deb in "$root/var/cache/apt/archives/"*.deb; do
        [[ $deb -ef $cache/archives/${deb##*/} ]] || ln -f "$deb" "$cache/archives/" 2>/dev/null || true
    done
}

names() { awk '{ print $2 }' "$1" | sort; }

# What apt said it fetched: "27.3 MB of archives (110 MB on disk)".
apt_sizes() {
    local get disk
    get=$(sed -n 's|^Need to get \([^ ]* [kMG]*B/\)\?\([^ ]* [kMG]*B\) of archives.*|\2|p' "$1" | head -n 1)
    disk=$(sed -n 's|^After this operation, \([^ ]* [kMG]*B\) of additional disk space.*|\1|p' "$1" | head -n 1)
    [[ -n $get ]] && printf '%s of packages, %s on disk' "$get" "${disk:-?}"
}

failures=()
results=()

run_command() {  # run_command NUMBER NAME
    local number=$1 name=$2
    local log=$work/$number-$name.log
    local expect_nothing=false
    [[ $name == demo && $number -gt 1 ]] && expect_nothing=true
    [[ $name == test && " ${ran[*]} " == *" test "* ]] && expect_nothing=true

    installed_packages >"$work/before"
    touch "$root/root/.stamp"
    say "scripts/$name.sh"
    local started=$SECONDS status=0
    children_cpu
    local cpu_before=$children_cpu
    {
        in_root timeout -k 30 "$command_limit" bash -c "cd /root/zirvon && scripts/$name.sh" 2>&1 |
            tee "$log"
    } &
    wait $! || status=$?
    local took=$((SECONDS - started))
    children_cpu
    local cpu=$((children_cpu - cpu_before))
    installed_packages >"$work/after"
    keep_downloads

    # Upgrades (a newer version of a package there before) are neither.
    local added removed changed rebuilt
    added=$(comm -13 <(names "$work/before") <(names "$work/after") | wc -l)
    removed=$(comm -23 <(names "$work/before") <(names "$work/after") | tr '\n' ' ')
    changed=$(comm -3 "$work/before" "$work/after" | wc -l)
    rebuilt=$(find "$root/root/zirvon/build" -newer "$root/root/.stamp" -type f \
        \( -name '*.o' -o -name '*.a' -o -perm -u+x \) | wc -l)
    local result="scripts/$name.sh: ${took} s (${cpu} s of processor time), installed $added packages"
    local sizes
    sizes=$(apt_sizes "$log") && result+=" ($sizes)"
    result+=", rebuilt $rebuilt files"

    local problems=()
    ((status == 0)) || problems+=("failed with status $status")
    [[ -z $removed ]] || problems+=("removed packages: $removed")
    if $expect_nothing && ((changed > 0 || rebuilt > 0)); then
        problems+=("a second run must install and rebuild nothing")
    fi
    if [[ $name == test ]]; then
        local skipped live
        # The one test that may skip: it needs the ALSA sequencer's device,
        # which a machine without sound hardware (and this root) has not.
        skipped=$(grep -E '^\s*[0-9]+ - .* \((Skipped|Disabled)\)$' "$log" |
            grep -cv ' - MidiPort\.IsLostOnceTheAlsaPort' || true)
        live=$(grep -cE 'Test +#[0-9]+: (PlayBinary|MidiPort)\.[^ ]+ \.+ +Passed' "$log" || true)
        result+=", $live live JACK tests passed"
        ((skipped == 0)) || problems+=("$skipped tests did not run (skipped or disabled)")
        ((live > 0)) || problems+=("the live JACK tests did not run")
    fi
    if ((${#problems[@]})); then
        result+=": FAILED: ${problems[*]}"
        failures+=("scripts/$name.sh (run $number): ${problems[*]}")
    fi
    results+=("$result")
    say "$result"
    ran+=("$name")
}

inside() {
    work=$1
    shift
    root=$work/root
    stopped=false
    trap 'stop_everything; exit 130' INT
    trap 'stop_everything; exit 143' TERM HUP
    trap 'stop_everything' EXIT
    mkdir -p "$cache/archives"
    (
        flock 9
        [[ -s $tarball ]] || make_tarball
    ) 9>"$cache/root.lock"
    prepare_root
    ran=()
    local number=0
    for name in "$@"; do
        number=$((number + 1))
        run_command "$number" "$name"
    done
    printf '\n'
    for line in "${results[@]}"; do say "$line"; done
    ((${#failures[@]} == 0))
}

if [[ "${1:-}" == --inside ]]; then
    shift
    inside "$@"
    exit
fi

# --- Outside: checks, the work folder, the namespaces. ---

commands=("$@")
((${#commands[@]})) || commands=(demo test demo)
for name in "${commands[@]}"; do
    [[ $name == demo || $name == test ]] || {
        echo "usage: scripts/fresh_machine.sh [demo|test]..." >&2
        exit 2
    }
done
[[ $(id -u) -eq 0 ]] || fail "needs root (debootstrap, chroot, mounts)"
# The tools it needs, installed from Debian's packages where missing (a new
# machine has no debootstrap).
declare -A package_of=([debootstrap]=debootstrap [unshare]=util-linux [chroot]=coreutils [wget]=wget [git]=git)
missing=()
for tool in "${!package_of[@]}"; do
    command -v "$tool" >/dev/null || missing+=("${package_of[$tool]}")
done
if ((${#missing[@]})); then
    say "installing ${missing[*]}"
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null ||
        fail "could not install ${missing[*]}"
fi
for tool in "${!package_of[@]}"; do
    command -v "$tool" >/dev/null || fail "needs $tool"
done
if ! probe=$(timeout 30 wget -nv -T 10 -t 1 -O /dev/null "$mirror/dists/$suite/InRelease" 2>&1); then
    why=$(grep -v '^\s*$' <<<"$probe" | tail -n 1 | sed 's/^[0-9-]* [0-9:]* //')
    fail "cannot reach the Debian mirror $mirror: ${why:-no answer within 30 s}"
fi

total_started=$SECONDS
mkdir -p "$cache"
work=$(mktemp -d "$cache/run.XXXXXX")
# The mounts were never visible out here, so nothing can be mounted under the
# work folder by the time it is removed.
trap 'rm -rf --one-file-system "$work"' EXIT
git archive HEAD >"$work/tree.tar"
[[ -z $(git status --porcelain --untracked-files=no) ]] ||
    say "note: uncommitted changes are not part of the check (it copies git archive HEAD)"

unshare --mount --pid --fork --mount-proc --propagation private --kill-child \
    "$0" --inside "$work" "${commands[@]}" &
namespace=$!
# On Ctrl+C or SIGTERM: tell the check inside to stop, and wait for it.
stop_inside() {
    local inner
    inner=$(cat "/proc/$namespace/task/$namespace/children" 2>/dev/null || true)
    [[ -z $inner ]] || kill -TERM $inner 2>/dev/null || true
    wait "$namespace" 2>/dev/null || true
}
trap 'stop_inside; exit 130' INT
trap 'stop_inside; exit 143' TERM HUP
status=0
wait "$namespace" || status=$?
if ((status == 0)); then
    say "fresh machine check passed in $((SECONDS - total_started)) s"
else
    say "fresh machine check FAILED after $((SECONDS - total_started)) s"
fi
exit $status
