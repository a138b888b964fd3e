#!/usr/bin/env bash
# fresh-debian.sh DIR COMMAND [ARGS...]
# Runs COMMAND as root in a fresh Debian 12 (bookworm, debootstrap's minbase
# variant, nothing else installed) made in DIR, a folder that must not exist
# yet or be empty; then removes DIR. Exits with COMMAND's status.
#
# The system gets an /etc/hosts with localhost, /proc, /sys, /dev (with its
# own /dev/pts and /dev/shm) and this machine's Debian mirrors (read from its
# apt sources). The checkout is copied in as /work/rendez (without .git and
# build/), its sibling folder ../shared, when there is one, as /work/shared;
# COMMAND starts in /work/rendez with a clean environment (JOBS and CI are
# passed on) and RDZ_FRESH_SYSTEM=1, which tells the project's scripts and
# tests that the system is thrown away afterwards: they may install, remove
# and purge packages there.
#
# Only caches come from this machine, never installed packages: apt's
# downloaded .deb files and ccache's folder are bind-mounted in, so a second
# run downloads and compiles little. Every mount lives in a private mount
# namespace and is undone on exit, on failure and on interruption.
#
# Example: scripts/fresh-debian.sh /var/tmp/fresh scripts/test.sh
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 DIR COMMAND [ARGS...]" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && exec sudo --preserve-env=JOBS,CI "$0" "$@"
    echo "fresh-debian.sh: run as root (debootstrap, chroot and mounts need it)" >&2
    exit 2
fi
command -v debootstrap >/dev/null || {
    echo "fresh-debian.sh: needs debootstrap (apt-get install debootstrap)" >&2
    exit 2
}

# Mounts made here stay out of this machine's mount table.
if [ -z "${RDZ_FRESH_NAMESPACE:-}" ]; then
    RDZ_FRESH_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$@"
fi

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
suite=bookworm
root=$1
shift
if [ -e "$root" ] && [ -n "$(ls -A "$root" 2>/dev/null)" ]; then
    echo "fresh-debian.sh: $root exists and is not empty" >&2
    exit 2
fi

# This machine's Debian sources for the suite and its -updates and
# -security suites, as one-line entries: "URI SUITE COMPONENTS...".
debian_sources() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -E -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" |
            awk -v s="$suite" '$1 == "deb" && $3 ~ ("^" s "(-updates|-security)?$") {
                line = $2 " " $3; for (i = 4; i <= NF; i++) line = line " " $i; print line }'
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v s="$suite" '
            function flush(  u, x, n, m, i, j) {
                if (types ~ /(^| )deb( |$)/ && enabled != "no") {
                    n = split(uris, u, " "); m = split(suites, x, " ")
                    for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
                        if (x[j] ~ ("^" s "(-updates|-security)?$")) print u[i] " " x[j] " " components
                }
                types = uris = suites = components = enabled = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            { key = tolower($1); sub(/^[^:]*:[ \t]*/, ""); value = $0 }
            key == "types:" { types = value } key == "uris:" { uris = value }
            key == "suites:" { suites = value } key == "components:" { components = value }
            key == "enabled:" { enabled = tolower(value) }
            END { flush() }' "$file"
    done
}
sources=$(debian_sources | awk '!seen[$0]++')
mirror=$(echo "$sources" | awk -v s="$suite" '$2 == s { print $1; exit }')
if [ -z "$mirror" ]; then
    echo "fresh-debian.sh: no Debian $suite source in this machine's apt sources" >&2
    exit 2
fi

# Unmounts everything under DIR (deepest first), then removes DIR; a folder
# that is still mounted is left alone, never emptied through a mount.
cleanup() {
    local status=$? pid pass mounts
    trap - EXIT INT TERM HUP
    set +e
    for pass in TERM TERM TERM KILL; do
        local found=
        for pid in /proc/[0-9]*; do
            pid=${pid#/proc/}
            # A process chrooted into DIR has DIR as its root.
            if [ "$pid" != $$ ] && [ /proc/"$pid"/root -ef "$root" ]; then
                kill -"$pass" "$pid" 2>/dev/null && found=1
            fi
        done
        [ -n "$found" ] || break
        sleep 1
    done
    mounts() { awk -v r="$root" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r; }
    for mount in $(mounts); do
        umount "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
    done
    mounts=$(mounts)
    if [ -n "$mounts" ]; then
        echo "fresh-debian.sh: still mounted, $root left in place: $mounts" >&2
    elif [ -z "${RDZ_FRESH_KEEP:-}" ]; then
        rm -rf --one-file-system "$root"
    fi
    rm -f "$log"
    exit "$status"
}
mkdir -p "$root"
root=$(cd "$root" && pwd)
[ "$root" != / ] || exit 2
# The system's root folder: every user must reach its files (a folder from
# mktemp -d is the caller's alone, and postgres, nobody and _apt would be
# locked out).
chmod 755 "$root"
log=$(mktemp)
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

step() { printf '%s fresh-debian: %s\n' "$(date -u +%H:%M:%S)" "$*"; }

# Debian's mirrors offer the same .deb files to debootstrap and apt.
archives=/var/cache/apt/archives
mkdir -p "$archives/partial"
step "debootstrap --variant=minbase $suite from $mirror"
if ! debootstrap --variant=minbase --cache-dir="$archives" "$suite" "$root" "$mirror" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "fresh-debian.sh: debootstrap failed" >&2
    exit 1
fi

echo "$sources" | sed 's/^/deb /' >"$root/etc/apt/sources.list"
# The chroot keeps this machine's host name: it resolves to loopback too.
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    "$(uname -n)" >"$root/etc/hosts"
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# Packages install without starting their services (a chroot has no init).
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys" 2>/dev/null || true
mount --bind /dev "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
[ -L "$root/dev/ptmx" ] || mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
mount --bind "$archives" "$root/var/cache/apt/archives"

ccache_dir=${CCACHE_DIR:-}
if [ -z "$ccache_dir" ] && command -v ccache >/dev/null; then
    ccache_dir=$(ccache -k cache_dir 2>/dev/null)
fi
if [ -n "$ccache_dir" ]; then
    mkdir -p "$ccache_dir" "$root/var/cache/ccache"
    mount --bind "$ccache_dir" "$root/var/cache/ccache"
fi

step "copying $repo to /work/rendez"
mkdir -p "$root/work/rendez"
tar -C "$repo" --exclude=./.git --exclude=./build -cf - . | tar -C "$root/work/rendez" -xf -
if [ -d "$repo/../shared" ]; then
    step "copying $(cd "$repo/../shared" && pwd) to /work/shared"
    cp -a "$repo/../shared" "$root/work/shared"
else
    step "no ../shared beside the checkout: none in /work"
fi

step "running $*"
# In the background, so that a signal reaches the traps at once.
chroot "$root" /usr/bin/env -i \
    HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM="${TERM:-dumb}" ${JOBS:+JOBS="$JOBS"} ${CI:+CI="$CI"} \
    RDZ_FRESH_SYSTEM=1 CCACHE_DIR=/var/cache/ccache CCACHE_BASEDIR=/work \
    /bin/bash -c 'cd /work/rendez && exec "$@"' fresh-debian "$@" <&0 &
status=0
wait $! || status=$?
exit $status
