#!/usr/bin/env bash
# msi-test.sh BUILD_DIR PACKAGE.msi CALENDAR_SERVER
# The client's x86_64 package under Wine, in a fresh prefix of its own (its
# own wineserver): a silent install with the server's address and port and the
# "start with Windows" feature; the files, shortcuts and machine-wide values;
# the installed client's first load reaching that server; a user's own port
# winning over the machine's; a silent uninstall leaving nothing behind.
# Needs a display (scripts/test-win64.sh provides Xvfb).
set -euo pipefail
build=$(cd "$1" && pwd) msi=$2 server=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh" "$build"
work=$build/tests/packaging/msi-run
rm -rf "$work"
mkdir -p "$work"
# A prefix of its own, made afresh: a copy of the build's prefix would carry
# what the tests before this one left there (the client's own settings, with
# the port of their server, win over the package's).
mkdir -p "$work/wine"
ln -s "$build/locale" "$work/wine/locale"
"$here/../../scripts/wine-prefix.sh" "$work/wine"
export WINEPREFIX=$work/wine/wineprefix

pids=()
cleanup() {
    "$RDZ_WINESERVER" -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

# Two servers: the one the package names, and the one a user picks.
start_server() {
    local name=$1
    "$server" demo --db "$work/$name.db" >/dev/null
    "$server" serve --db "$work/$name.db" --port 0 >"$work/$name.out" 2>"$work/$name.log" &
    pids+=($!)
    for _ in $(seq 100); do grep -q '^listening on' "$work/$name.out" && break; sleep 0.1; done
    sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/$name.out"
}
office=$(start_server office)
own=$(start_server own)
[ -n "$office" ] && [ -n "$own" ] || { echo "the servers did not start" >&2; exit 1; }

wine() { timeout 180 "$RDZ_WINE" "$@" </dev/null; }
reg_query() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $3 }'; }
drive=$WINEPREFIX/drive_c
shortcuts() { find "$drive" -name 'Mimosa Techo.lnk' -path "*$1*" 2>/dev/null; }

# The client runs until its first load has reached the server (GET 3 is the
# last request of the load), then the prefix's wineserver ends it.
run_client_until_loaded() {
    local log=$1 before
    before=$(grep -c ' GET 3 .* ok$' "$log" || true)
    "$RDZ_WINE" 'C:\Program Files\Sorano\Mimosa\RendezClient.exe' </dev/null >/dev/null 2>&1 &
    local client=$!
    local loaded=1
    for _ in $(seq 600); do
        [ "$(grep -c ' GET 3 .* ok$' "$log" || true)" -gt "$before" ] && { loaded=0; break; }
        kill -0 "$client" 2>/dev/null || break
        sleep 0.1
    done
    "$RDZ_WINESERVER" -k 2>/dev/null || true
    wait "$client" 2>/dev/null || true
    return $loaded
}

check "silent install with SERVERADDRESS, PORTNO and STARTWITHWINDOWS" \
    wine msiexec /i "$msi" SERVERADDRESS=127.0.0.1 PORTNO="$office" STARTWITHWINDOWS=1 /qn
check "the client is installed" test -f "$drive/Program Files/Sorano/Mimosa/RendezClient.exe"
check "a Start-menu shortcut" test -n "$(shortcuts 'Start Menu/Programs/Mimosa')"
check "a Startup shortcut" test -n "$(shortcuts 'StartUp/Mimosa')"
check "the machine's server address" test "$(reg_query 'HKLM\Software\Sorano\Mimosa' szAddress)" = 127.0.0.1
check "the machine's server port" test "$(reg_query 'HKLM\Software\Sorano\Mimosa' dwPortNo)" = "$(printf '0x%x' "$office")"

check "the installed client's first load reaches the package's server" run_client_until_loaded "$work/office.log"
check "that load began with the server check" grep -q ' HELLO .* ok$' "$work/office.log"

office_loads=$(grep -c ' GET 3 ' "$work/office.log")
wine reg add 'HKCU\Software\Sorano\Mimosa' /v dwPortNo /t REG_DWORD /d "$own" /f >/dev/null
check "a user's own port wins over the machine's" run_client_until_loaded "$work/own.log"
check "the package's server saw nothing of that load" test "$(grep -c ' GET 3 ' "$work/office.log")" -eq "$office_loads"

wine reg add 'HKCU\Software\Sorano\Mimosa\Nested' /v szNote /t REG_SZ /d x /f >/dev/null
check "silent uninstall" wine msiexec /x "$msi" /qn
check "no file left" test ! -e "$drive/Program Files/Sorano"
check "no shortcut left" test -z "$(find "$drive" -name 'Mimosa Techo.lnk' 2>/dev/null)"
check "no machine-wide value left" bash -c '! "$0" reg query "HKLM\Software\Sorano\Mimosa" >/dev/null 2>&1' "$RDZ_WINE"
check "the user's settings are gone, with their subkeys" bash -c '! "$0" reg query "HKCU\Software\Sorano\Mimosa" >/dev/null 2>&1' "$RDZ_WINE"
check "the empty maker key is gone too" bash -c '! "$0" reg query "HKCU\Software\Sorano" >/dev/null 2>&1' "$RDZ_WINE"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
