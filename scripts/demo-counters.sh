#!/usr/bin/env bash
# make demo-counters: two counters on one database server. Starts a throwaway PostgreSQL
# server in BUILD_DIR/demo-counters/, moves a demo café of four PCs onto it, starts two front
# desks (counter-1 and counter-2, each in a folder and a network namespace of its own, so that
# both listen on port 14914) and four simulated PCs: 1号机 and 2号机 connect to counter-1,
# 3号机 and 4号机 to counter-2. Needs root (network namespaces) and a display.
set -euo pipefail

BUILD=${1:-build}
PORT=14914

die() {
    printf 'demo-counters: %s\n' "$*" >&2
    exit 1
}

[ -d "$BUILD/bin" ] || die "$BUILD/bin does not exist; build first (make)"
BIN=$(cd "$BUILD/bin" && pwd)
DEMO=$(cd "$BUILD" && pwd)/demo-counters
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
for tool in corvana corvana-seed corvana-store corvana-client; do
    [ -x "$BIN/$tool" ] || die "$BIN/$tool is not built; run make first"
done
[ "$(id -u)" -eq 0 ] || die "the two counters run in network namespaces of their own, which needs root (sudo make demo-counters)"
if [ -z "${DISPLAY:-}" ]; then
    die "there is no display (\$DISPLAY is not set); on a machine without a screen: xvfb-run -a -s \"-screen 0 1280x800x24\" make demo-counters"
fi

SPACES=(corvana-demo1 corvana-demo2)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    PIDS=()
    for space in "${SPACES[@]}"; do
        ip netns delete "$space" 2>/dev/null || true
    done
    "$SOURCE/scripts/test-postgres.sh" stop "$DEMO/postgres" >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT TERM

rm -rf "$DEMO"
mkdir -p "$DEMO"
CI= "$SOURCE/scripts/test-postgres.sh" start "$DEMO/postgres" >/dev/null
[ -f "$DEMO/postgres/conninfo" ] || die "PostgreSQL is not installed (scripts/install-deps.sh installs it)"
CONNINFO=$(cat "$DEMO/postgres/conninfo")

# The café: seeded into a file, then moved onto the server.
"$BIN/corvana-seed" "$DEMO/seed" --machines 4 --force >/dev/null
"$BIN/corvana-store" copy "$DEMO/seed/dbase.mdb" "pg:$CONNINFO"

# Is a counter listening in its namespace? Read from /proc: a connection would take a slot.
listening() {
    local hex
    hex=$(printf '%04X' "$PORT")
    ip netns exec "$1" cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
        awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

COUNTERS=()
for n in 1 2; do
    space=${SPACES[$((n - 1))]}
    folder="$DEMO/counter$n"
    mkdir -p "$folder"
    cp -f "$BIN/corvana" "$folder/"
    cp -f "$SOURCE/resources/notify.wav" "$folder/"
    # The counter's name is the connection's application_name.
    printf '%s application_name=counter-%d\n' "$CONNINFO" "$n" >"$folder/dbase.pg"
    ip netns delete "$space" 2>/dev/null || true
    ip netns add "$space"
    ip netns exec "$space" ip link set lo up
    # Side by side on the screen.
    (cd "$folder" && exec ip netns exec "$space" ./corvana -geometry "640x760+$(((n - 1) * 640))+0") &
    PIDS+=($!)
    COUNTERS+=($!)
done
for n in 1 2; do
    space=${SPACES[$((n - 1))]}
    for _ in $(seq 1 300); do
        listening "$space" && break
        kill -0 "${COUNTERS[$((n - 1))]}" 2>/dev/null || die "counter-$n ended before it listened (see above)"
        sleep 0.1
    done
    listening "$space" || die "counter-$n does not listen on port $PORT after 30 seconds"
done

# PCs 1 and 2 point at counter-1, PCs 3 and 4 at counter-2.
for machine in 1 2 3 4; do
    space=${SPACES[$(((machine - 1) / 2))]}
    ip netns exec "$space" "$BIN/corvana-client" --bind "127.0.0.1$machine" --machine "$machine" \
        --duration 86400 </dev/null >"$DEMO/pc$machine.log" 2>&1 &
    PIDS+=($!)
done

cat <<TEXT

  Two counters run on one PostgreSQL server (data in $DEMO/postgres):
  counter-1 (left window) holds 1号机 and 2号机, counter-2 (right window) holds 3号机 and 4号机.
  Both windows show all four machines, and what one counter does shows on the other within a
  second.

  Try: select 3号机 at counter-1 and start it (记费): counter-2 shows it billing at once, and
  the PC, which is connected to counter-2, is told "start". Settle it at counter-2 (结帐): the
  PC is told "stop". Close counter-2: within half a minute counter-1 shows 3号机 and 4号机 off.
  What each PC receives: $DEMO/pc1.log … pc4.log (tail -f $DEMO/pc3.log).

  Close both windows (or press Ctrl+C here) to end the demo; the server and the PCs stop with it.

TEXT

status=0
for pid in "${COUNTERS[@]}"; do
    wait "$pid" || status=$?
done
exit "$status"
