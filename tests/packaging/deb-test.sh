#!/usr/bin/env bash
# deb-test.sh DEB
# The server's Debian package: its contents and control data, lintian,
# systemd-analyze on its units, and the nightly backup's rotation. On a
# throwaway system (RDZ_FRESH_SYSTEM=1) also installs it, runs the unit's own
# command lines as the service's user against a client, removes and purges it.
set -euo pipefail
deb=$1
work=$(mktemp -d)
server_pid=
cleanup() {
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

# --- What the package holds.
info=$(dpkg-deb -I "$deb")
contents=$(dpkg-deb -c "$deb")
check "package name and version" grep -q '^ Package: calendar-server$' <<<"$info"
check "version 1.1.4" grep -q '^ Version: 1.1.4$' <<<"$info"
check "depends on adduser and the libraries" grep -Eq '^ Depends: .*libsqlite3-0.*libpq5|^ Depends: .*libpq5.*libsqlite3-0' <<<"$info"
check "maintainer scripts" grep -q 'postinst' <<<"$info"
for path in ./usr/bin/calendar-server ./lib/systemd/system/calendar-server.service \
    ./lib/systemd/system/calendar-server-backup.service ./lib/systemd/system/calendar-server-backup.timer \
    ./etc/default/calendar-server ./usr/libexec/calendar-server/nightly-backup \
    ./usr/share/doc/calendar-server/copyright ./usr/share/man/man8/calendar-server.8.gz; do
    check "holds $path" grep -q " $path\$" <<<"$contents"
done
check "every file owned by root" bash -c '! grep -v " root/root " <<<"$1" | grep -q .' _ "$contents"
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
binary=$work/root/usr/bin/calendar-server
dynamic=$(readelf -d "$binary")
check "the binary links the libraries" grep -q 'libsqlite3' <<<"$dynamic"
check "the binary is a release build (no sanitizer runtime)" bash -c '! grep -q "libasan\|libubsan" <<<"$1"' _ "$dynamic"
check "the binary is hardened (full RELRO)" grep -q 'BIND_NOW' <<<"$dynamic"
check "/etc/default is a conffile" grep -qx /etc/default/calendar-server "$work/control/conffiles"
unit=$work/root/lib/systemd/system/calendar-server.service
for setting in 'User=calendar-server' 'NoNewPrivileges=yes' 'ProtectSystem=strict' 'PrivateTmp=yes' \
    'ReadWritePaths=/var/lib/calendar-server' 'Restart=on-failure' 'KillSignal=SIGTERM' 'StandardError=journal' \
    'EnvironmentFile=/etc/default/calendar-server'; do
    check "unit sets $setting" grep -qx "$setting" "$unit"
done

# --- lintian: no error or warning (informational tags aside).
if command -v lintian >/dev/null; then
    tags=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EW]: ' || true)
    check "lintian reports no error or warning${tags:+: $tags}" test -z "$tags"
else
    fail "lintian is not installed"
fi

# --- systemd accepts the units, as installed over this system's own units.
if command -v systemd-analyze >/dev/null && [ -d /lib/systemd/system ]; then
    cp -a /lib/systemd/system/. "$work/root/lib/systemd/system/"
    verify=$(systemd-analyze verify --root="$work/root" --man=no \
        "$work/root/lib/systemd/system/calendar-server.service" \
        "$work/root/lib/systemd/system/calendar-server-backup.service" \
        "$work/root/lib/systemd/system/calendar-server-backup.timer" 2>&1) && status=0 || status=$?
    check "systemd-analyze verify accepts the service, the backup service and the timer${verify:+: $verify}" \
        test "$status" -eq 0 -a -z "$verify"
else
    fail "systemd-analyze is not available"
fi

# --- The nightly backup keeps the newest seven.
mkdir -p "$work/nightly/backups"
"$binary" init --db "$work/nightly/calendar.db" >/dev/null
for day in 01 02 03 04 05 06 07 08 09; do
    echo old >"$work/nightly/backups/calendar-200001$day-023000.db"
done
echo keep >"$work/nightly/backups/notes.txt"
CALENDAR_SERVER=$binary CALENDAR_DB=$work/nightly/calendar.db CALENDAR_BACKUP_DIR=$work/nightly/backups \
    CALENDAR_BACKUP_KEEP=7 "$work/root/usr/libexec/calendar-server/nightly-backup" >/dev/null
kept=$(ls "$work/nightly/backups" | grep -c '^calendar-' || true)
check "nightly backup keeps seven (found $kept)" test "$kept" -eq 7
check "nightly backup dropped the oldest" test ! -e "$work/nightly/backups/calendar-20000103-023000.db"
check "nightly backup leaves other files alone" test -e "$work/nightly/backups/notes.txt"
newest=$(ls "$work/nightly/backups" | grep '^calendar-' | sort | tail -n1)
check "the new backup restores" "$binary" restore --from "$work/nightly/backups/$newest" --db "$work/nightly/restored.db"

# --- Install, serve, remove, purge: only on a system that may be changed.
if [ "${RDZ_FRESH_SYSTEM:-}" != 1 ]; then
    echo "SKIP: installing the package needs a throwaway system (set RDZ_FRESH_SYSTEM=1 there); contents checked only"
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
cp "$deb" "$work/calendar-server.deb"
apt-get install -y -qq "$work/calendar-server.deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get install"; exit 1; }
check "the user exists" bash -c "getent passwd calendar-server >/dev/null"
check "the group exists" bash -c "getent group calendar-server >/dev/null"
check "the data folder belongs to the user" test "$(stat -c '%U:%G %a' /var/lib/calendar-server)" = "calendar-server:calendar-server 750"
check "the backup folder exists" test -d /var/lib/calendar-server/backups
check "the defaults are installed" test -f /etc/default/calendar-server

# The unit's command lines with the defaults, a free port instead of 54321.
command_of() { sed -n "s/^$1=//p" /lib/systemd/system/calendar-server.service; }
start_pre=$(command_of ExecStartPre) start=$(command_of ExecStart)
# Each step replaces the one before (exec), so the server's pid is $!.
as_service=(setpriv --reuid=calendar-server --regid=calendar-server --init-groups
    env -i PATH=/usr/bin:/bin bash -c
    'set -a; . /etc/default/calendar-server; CALENDAR_PORT=0; set +a; eval "exec $1"' _)
check "ExecStartPre prepares the new calendar" "${as_service[@]}" "$start_pre"
"${as_service[@]}" "$start" >"$work/serve.out" 2>"$work/serve.log" &
server_pid=$!
for _ in $(seq 100); do grep -q '^listening on' "$work/serve.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/serve.out")
check "ExecStart listens (${port:-no port})" test -n "$port"
exchange() {
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf '%s\r\n' "$1" >&3
    head -n1 <&3 | tr -d '\r'
    exec 3<&-
}
if [ -n "$port" ]; then
    check "HELLO is answered" test "$(exchange 'HELLO RDZVP/0.0')" = "+OK RDZVP/0.0"
    holidays=$(exchange 'GET RDZVP/0.0 3 ' | sed -n 's/^+OK RDZVP\/0.0 \([0-9]*\).*/\1/p')
    check "GET 3 gives this year's and next year's holidays (${holidays:-none})" test "${holidays:-0}" -gt 20
fi
check "the server runs as the service's user" test "$(stat -c %U "/proc/$server_pid")" = calendar-server
kill -TERM "$server_pid"
wait "$server_pid" && status=0 || status=$?
server_pid=
check "SIGTERM stops the server cleanly" test "$status" -eq 0
check "requests are logged on stderr" grep -q 'HELLO' "$work/serve.log"
check "the calendar belongs to the user" test "$(stat -c %U /var/lib/calendar-server/calendar.db)" = calendar-server

apt-get remove -y -qq calendar-server >"$work/remove.log" 2>&1 || fail "apt-get remove"
check "remove takes the binary" test ! -e /usr/bin/calendar-server
check "remove keeps the calendar" test -f /var/lib/calendar-server/calendar.db
check "remove keeps the user" bash -c "getent passwd calendar-server >/dev/null"
dpkg --purge calendar-server >"$work/purge.log" 2>&1 || fail "dpkg --purge"
check "purge takes the defaults" test ! -e /etc/default/calendar-server
check "purge takes the data folder" test ! -e /var/lib/calendar-server
check "purge takes the user" bash -c '! getent passwd calendar-server'
check "purge takes the group" bash -c '! getent group calendar-server'
check "nothing of the package is left in dpkg" bash -c '! dpkg -s calendar-server >/dev/null 2>&1'

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
