#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server tests: Unix socket only (no TCP), no fsync.
#   start DIR  creates and starts it in DIR and writes DIR/conninfo, the libpq connection
#              string the tests read (CORVANA_TEST_PG names that file).
#   stop DIR   stops it and removes it; harmless when nothing runs.
# Options after DIR, for the benchmarks (the tests use neither):
#   --tcp PORT also listens on 127.0.0.1:PORT (the socket takes that port number too) and writes
#              DIR/conninfo-tcp; the local user gets in without a password, as over the socket.
#   --durable  keeps fsync and synchronous commit on, so the server pays for durability as the
#              database file does.
# Without PostgreSQL installed, start says so and succeeds, so the server tests skip; under
# CI=true it fails instead.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR [--tcp PORT] [--durable]" >&2
  exit 2
fi
shift 2
tcp_port=""
durable=""
while [ $# -gt 0 ]; do
  case "$1" in
  --tcp)
    tcp_port=${2:-}
    if ! [[ "$tcp_port" =~ ^[0-9]+$ ]]; then
      echo "test-postgres: --tcp needs a port number" >&2
      exit 2
    fi
    shift 2
    ;;
  --durable)
    durable=1
    shift
    ;;
  *)
    echo "usage: $0 start|stop DIR [--tcp PORT] [--durable]" >&2
    exit 2
    ;;
  esac
done
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
run="$dir/run"
port=${tcp_port:-5432}

bindir=""
for d in /usr/lib/postgresql/*/bin; do
  [ -x "$d/initdb" ] && bindir="$d"
done
if [ -z "$bindir" ] && command -v initdb >/dev/null 2>&1; then
  bindir=$(dirname "$(command -v initdb)")
fi

# The server refuses to run as root: the cluster belongs to `postgres` then.
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  as_owner() { runuser -u postgres -- "$@"; }
else
  owner=$(id -un)
  as_owner() { "$@"; }
fi

stop() {
  if [ -n "$bindir" ] && [ -f "$data/postmaster.pid" ]; then
    local pid
    pid=$(head -1 "$data/postmaster.pid")
    as_owner "$bindir/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 ||
      as_owner "$bindir/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
    # pg_ctl returns once the pid file is gone; the process itself ends a moment later.
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -rf "$data" "$run" "$dir/conninfo" "$dir/conninfo-tcp"
}

case "$cmd" in
start)
  stop
  if [ -z "$bindir" ]; then
    echo "test-postgres: PostgreSQL is not installed; the server tests are skipped" >&2
    [ "${CI:-}" = "true" ] && exit 1
    exit 0
  fi
  if [ ${#run} -gt 90 ]; then
    echo "test-postgres: $run is too long for a Unix socket path" >&2
    exit 1
  fi
  mkdir -p "$data" "$run"
  : >"$dir/server.log"
  [ "$(id -u)" -eq 0 ] && chown "$owner" "$data" "$run" "$dir/server.log"
  chmod 700 "$data"
  # C collation: text compares byte by byte, as in the file store.
  as_owner "$bindir/initdb" -D "$data" -U "$owner" -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    exit 1
  }
  listen="''"
  [ -n "$tcp_port" ] && listen="'127.0.0.1'"
  sync="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  [ -n "$durable" ] && sync=""
  as_owner "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=$listen -k $run -p $port $sync" \
    start >/dev/null || {
    cat "$dir/server.log" >&2
    exit 1
  }
  echo "host=$run port=$port user=$owner dbname=postgres" >"$dir/conninfo"
  [ -n "$tcp_port" ] && echo "host=127.0.0.1 port=$port user=$owner dbname=postgres" >"$dir/conninfo-tcp"
  echo "test-postgres: running; connect with: $(cat "$dir/conninfo")"
  ;;
stop)
  stop
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
