#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server tests: Unix socket only (no TCP), no fsync.
#   start DIR  creates and starts it in DIR and writes DIR/conninfo, the libpq connection
#              string the tests read (CORVANA_TEST_PG names that file).
#   stop DIR   stops it and removes it; harmless when nothing runs.
#   partition DIR on|off   (with --veth) cuts the link between the caller and the server, or
#              mends it: packets are silently lost, as when a cable is pulled.
#   restart DIR  restarts the server at once (immediate shutdown, as a crash would).
# Options after DIR (--tcp and --durable for the benchmarks, --veth for the partition test):
#   --tcp PORT also listens on 127.0.0.1:PORT (the socket takes that port number too) and writes
#              DIR/conninfo-tcp; the local user gets in without a password, as over the socket.
#   --durable  keeps fsync and synchronous commit on, so the server pays for durability as the
#              database file does.
#   --veth     (root) runs the server in a network namespace of its own, reached from the
#              caller's namespace over a veth pair with TLS, as a server on another machine;
#              writes DIR/conninfo-veth. Without root start says so and succeeds (the partition
#              test skips); under CI=true it fails.
# Without PostgreSQL installed, start says so and succeeds, so the server tests skip; under
# CI=true it fails instead.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop|partition|restart DIR [--tcp PORT] [--durable] [--veth]" >&2
  exit 2
fi
shift 2
tcp_port=""
durable=""
veth=""
cut=""
if [ "$cmd" = partition ]; then
  cut=${1:-}
  [ "$cut" = on ] || [ "$cut" = off ] || {
    echo "usage: $0 partition DIR on|off" >&2
    exit 2
  }
  shift
fi
while [ $# -gt 0 ]; do
  case "$1" in
  --veth)
    veth=1
    shift
    ;;
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
    echo "usage: $0 start|stop|partition|restart DIR [--tcp PORT] [--durable] [--veth]" >&2
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

# The server's namespace and the two ends of the veth pair, named after DIR so that clusters
# of several checkouts side by side do not meet; the subnet too (10.149.N.0/30).
tag=$(printf '%s' "$dir" | md5sum | cut -c1-6)
netns="corvana-pg-$tag"
host_end="cvh$tag"
server_end="cvs$tag"
subnet=$((16#${tag:0:2}))
host_ip="10.149.$subnet.1"
server_ip="10.149.$subnet.2"
# The server runs (and starts again) inside its namespace when it has one.
as_server() {
  if [ -f "$dir/netns" ]; then ip netns exec "$netns" runuser -u postgres -- "$@"; else as_owner "$@"; fi
}

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
  if [ -f "$dir/netns" ]; then
    ip netns del "$netns" 2>/dev/null || true # takes the veth pair with it
  fi
  rm -rf "$data" "$run" "$dir/conninfo" "$dir/conninfo-tcp" "$dir/conninfo-veth" "$dir/netns"
}

case "$cmd" in
start)
  stop
  if [ -z "$bindir" ]; then
    echo "test-postgres: PostgreSQL is not installed; the server tests are skipped" >&2
    [ "${CI:-}" = "true" ] && exit 1
    exit 0
  fi
  if [ -n "$veth" ] && { [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null || ! command -v openssl >/dev/null; }; then
    echo "test-postgres: --veth needs root, ip and openssl; the partition test is skipped" >&2
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
  ssl=""
  if [ -n "$veth" ]; then
    ip netns del "$netns" 2>/dev/null || true # left over from a run that was killed
    ip netns add "$netns"
    : >"$dir/netns"
    ip link add "$host_end" type veth peer name "$server_end" netns "$netns"
    ip addr add "$host_ip/30" dev "$host_end"
    ip link set "$host_end" up
    ip -n "$netns" addr add "$server_ip/30" dev "$server_end"
    ip -n "$netns" link set "$server_end" up
    ip -n "$netns" link set lo up
    listen="'$server_ip'"
    # A server elsewhere is only reached over TLS: a throwaway certificate.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=corvana-test \
      -keyout "$data/server.key" -out "$data/server.crt" >/dev/null 2>&1
    chown "$owner" "$data/server.key" "$data/server.crt"
    chmod 600 "$data/server.key"
    echo "hostssl all all $host_ip/32 trust" >>"$data/pg_hba.conf"
    ssl="-c ssl=on"
  fi
  sync="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  [ -n "$durable" ] && sync=""
  as_server "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=$listen -k $run -p $port $sync $ssl" \
    start >/dev/null || {
    cat "$dir/server.log" >&2
    exit 1
  }
  echo "host=$run port=$port user=$owner dbname=postgres" >"$dir/conninfo"
  [ -n "$tcp_port" ] && echo "host=127.0.0.1 port=$port user=$owner dbname=postgres" >"$dir/conninfo-tcp"
  [ -n "$veth" ] && echo "host=$server_ip port=$port user=$owner dbname=postgres sslmode=require" >"$dir/conninfo-veth"
  echo "test-postgres: running; connect with: $(cat "$dir/conninfo")"
  ;;
stop)
  stop
  ;;
partition)
  [ -f "$dir/netns" ] || {
    echo "test-postgres: $dir was not started with --veth" >&2
    exit 1
  }
  # The server's end goes down: the caller's end stays up and its packets vanish.
  if [ "$cut" = on ]; then
    ip -n "$netns" link set "$server_end" down
  else
    ip -n "$netns" link set "$server_end" up
    ip -n "$netns" addr replace "$server_ip/30" dev "$server_end"
  fi
  ;;
restart)
  [ -n "$bindir" ] && [ -f "$data/postmaster.pid" ] || {
    echo "test-postgres: nothing runs in $dir" >&2
    exit 1
  }
  as_server "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -m immediate -w -t 60 restart >/dev/null
  ;;
*)
  echo "usage: $0 start|stop|partition|restart DIR" >&2
  exit 2
  ;;
esac
