#!/usr/bin/env bash
# run.sh
# Runs the product on this machine: installs what is missing, builds the
# server and the x86_64 client, seeds a demo database on first use (kept in
# build/run/ between runs), starts calendar-server on it and the client under
# Wine against it. The client's defaults (localhost, port 54321) meet the
# server's.
#
# With a reachable display the client simply opens; closing it (its exit
# command, or the tray menu's) stops the server. Without a display the client
# runs on a private X server: once its frame is up and drawn, a screenshot is
# saved, its path printed, and everything started here is stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

display_usable() {
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

if [ -z "${RDZ_RUN_INSIDE:-}" ]; then
    scripts/bootstrap.sh
    scripts/build.sh native -- calendar-server
    scripts/build.sh win64 -- RendezClient
    if display_usable; then
        RDZ_RUN_INSIDE=window exec "$0"
    fi
    RDZ_RUN_INSIDE=screenshot exec scripts/with-xvfb.sh "$0"
fi

server=$root/build/native/server/calendar-server
client=$(find build/win64 -name RendezClient.exe -not -path '*/wineprefix/*' | head -n1)
[ -n "$client" ] || { echo "run.sh: RendezClient.exe was not built" >&2; exit 1; }

run=$root/build/run
mkdir -p "$run"
db=$run/calendar.db
if [ ! -f "$db" ]; then
    "$server" demo --db "$db"
fi

scripts/wine-prefix.sh "$run"
. scripts/wine-env.sh "$run"

server_pid=
client_pid=
stop_all() {
    set +e
    if [ -n "$client_pid" ]; then
        kill "$client_pid" 2>/dev/null
    fi
    # The prefix is this script's own: its wineserver holds only our client.
    "$RDZ_WINESERVER" -k 2>/dev/null
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
    return 0
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The server: wait for its "listening on" line, or its early end (the port
# already in use, a damaged database).
"$server" serve --db "$db" >"$run/server.out" 2>"$run/server.log" &
server_pid=$!
deadline=$((SECONDS + 30))
until grep -q '^listening on' "$run/server.out"; do
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "run.sh: calendar-server did not start:" >&2
        cat "$run/server.log" >&2
        server_pid=
        exit 1
    fi
    [ $SECONDS -lt $deadline ] || { echo "run.sh: calendar-server did not start listening" >&2; exit 1; }
    sleep 0.1
done
echo "calendar-server: $(head -n1 "$run/server.out"), database $db, log $run/server.log"

if [ "$RDZ_RUN_INSIDE" = window ]; then
    "$RDZ_WINE" "$client" </dev/null &
    client_pid=$!
    wait "$client_pid" || true
    client_pid=
    exit 0
fi

# No display: the client runs in a Wine virtual desktop the size of the
# private screen, so its frame is drawn with its title bar and borders as a
# person would see it. Wait until its first load has reached the server (GET 3
# ends the load; the frame comes up right after), then until two screenshots
# in a row are the same (the frame has finished drawing), and keep the last one.
"$RDZ_WINE" explorer /desktop=Rendez,1280x1024 "$client" </dev/null >"$run/client.out" 2>&1 &
client_pid=$!
deadline=$((SECONDS + 120))
until grep -q ' GET 3 .* ok$' "$run/server.log"; do
    kill -0 "$client_pid" 2>/dev/null || { echo "run.sh: the client ended before its first load" >&2; exit 1; }
    [ $SECONDS -lt $deadline ] || { echo "run.sh: the client's first load did not reach the server" >&2; exit 1; }
    sleep 0.2
done
sleep 1
# Screens are compared as PPM, which carries no time stamps.
shot=$run/screenshot.png
current=$run/screen-now.ppm previous=$run/screen-before.ppm
import -window root "$previous"
while :; do
    sleep 0.3
    import -window root "$current"
    cmp -s "$current" "$previous" && break
    [ $SECONDS -lt $deadline ] || { echo "run.sh: the screen did not settle; keeping the last picture" >&2; break; }
    mv "$current" "$previous"
done
import -window root "$shot"
rm -f "$current" "$previous"
echo "screenshot: $shot"
