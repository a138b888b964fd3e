#!/usr/bin/env bash
# with-xvfb.sh COMMAND [ARGS...]
# Runs a command on a private X server (Xvfb on a free display), then stops
# the server; exits with the command's status.
set -uo pipefail
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 1 200); do
    [ -s "$displayfile" ] && break
    kill -0 $xvfb 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$displayfile" ] || { echo "Xvfb did not report its display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"
"$@"
