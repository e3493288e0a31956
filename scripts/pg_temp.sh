#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests and the records benchmark:
# initdb in a folder of its own, reachable only through a Unix socket in that
# folder, local connections trusted; run as the postgres user when started
# by root.
#
#   pg_temp.sh start DIR [--durable]   start it; prints the connection URI of
#                                      its database "clinora" (owner "clinora")
#   pg_temp.sh stop DIR                stop it and remove DIR
#   pg_temp.sh pause DIR               stop the server only, keeping its data
#   pg_temp.sh resume DIR [--durable]  start a paused server again
#
# Without --durable the server skips flushing to disk (fsync off), which is
# what tests want; the benchmark measures with --durable.
set -euo pipefail
usage() { echo "usage: pg_temp.sh start|stop DIR [--durable]" >&2; exit 2; }
[ $# -ge 2 ] || usage
command=$1
dir=$2
durable=${3:-}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "pg_temp.sh: no PostgreSQL server here; install the Debian package postgresql" >&2
    exit 1
fi

# The server refuses to run as root: the postgres user runs it then.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
    if [ -f "$dir/data/PG_VERSION" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
        rm -rf "$dir"
    fi
}

run_server() {
    options="-c listen_addresses= -k $dir -c max_connections=40"
    [ "$durable" = "--durable" ] || options="$options -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -o "$options" start \
        >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
}

case "$command" in
start)
    stop
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir"
        if ! runuser -u postgres -- test -x "$dir"; then
            echo "pg_temp.sh: the postgres user cannot reach $dir; use a folder whose parents others may enter" >&2
            rm -rf "$dir"
            exit 1
        fi
    fi
    chmod 700 "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U clinora -A trust -E UTF8 --locale=C --no-sync \
        >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    run_server
    as_owner "$bindir/createdb" -h "$dir" -U clinora clinora
    echo "postgresql://clinora@/clinora?host=$dir"
    ;;
stop)
    stop
    ;;
pause)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
resume)
    dir=$(cd "$dir" && pwd)
    run_server
    ;;
*)
    usage
    ;;
esac
