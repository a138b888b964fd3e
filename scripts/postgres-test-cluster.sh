#!/usr/bin/env bash
# postgres-test-cluster.sh start|stop DIR
# A private PostgreSQL cluster for the server tests: initdb into DIR,
# listening only on 127.0.0.1 at a free port, no Unix socket, trust for the
# "calendar" superuser. Run as nobody when started as root. "start" writes
# the URI of its "postgres" database to DIR/uri; "stop" ends the cluster and
# removes DIR.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?cluster folder}
bin=${PG_BIN:-/usr/lib/postgresql/15/bin}

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

stop_cluster() {
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null || true
    fi
}

case "$action" in
start)
    stop_cluster
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown nobody "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U calendar --auth=trust --no-sync \
        --encoding=UTF8 --locale=C >"$dir/initdb.log"
    for attempt in $(seq 1 20); do
        port=$((20000 + RANDOM % 40000))
        # Taken when something answers there.
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
        if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories='' -c max_connections=400" \
            start >/dev/null; then
            echo "postgresql://calendar@127.0.0.1:$port/postgres" >"$dir/uri"
            echo "PostgreSQL test cluster on 127.0.0.1:$port"
            exit 0
        fi
    done
    echo "could not start a PostgreSQL test cluster; see $dir/server.log" >&2
    exit 1
    ;;
stop)
    stop_cluster
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
