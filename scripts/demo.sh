#!/usr/bin/env bash
# make demo: a café to play with. Recreates BUILD_DIR/demo/ with a fresh demo database, starts
# the front desk there and, once it listens, a crowd of simulated café PCs.
set -euo pipefail

BUILD=${1:-build}
PORT=14914
PCS=20

die() {
    printf 'demo: %s\n' "$*" >&2
    exit 1
}

[ -d "$BUILD/bin" ] || die "$BUILD/bin does not exist; build first (make)"
BIN=$(cd "$BUILD/bin" && pwd)
DEMO=$(cd "$BUILD" && pwd)/demo
SOURCE=$(cd "$(dirname "$0")/.." && pwd)

[ -x "$BIN/corvana" ] || die "$BIN/corvana is not built; run make first"
[ -x "$BIN/corvana-seed" ] || die "$BIN/corvana-seed is not built; run make first"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'TEXT'
demo: there is no display ($DISPLAY is not set), and Corvana is a desktop program.
On a machine without a screen, run it on a virtual X server:

    xvfb-run -a -s "-screen 0 1280x800x24" make demo

or keep a virtual screen running and take pictures of it while the demo runs:

    Xvfb :99 -screen 0 1280x800x24 &
    DISPLAY=:99 make demo &
    sleep 10; DISPLAY=:99 import -window root /tmp/demo.png    # imagemagick

(DISPLAY=:99 xdotool can press the buttons of the questions that pop up.)
TEXT
    exit 1
fi

# Is anything listening on the port? Read from /proc so that asking opens no connection
# (a connection would take a slot of the front desk).
listening() {
    local hex
    hex=$(printf '%04X' "$PORT")
    cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
        awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

if listening; then
    die "port $PORT is already in use: is another Corvana running? Close it first."
fi

mkdir -p "$DEMO"
cp -f "$BIN/corvana" "$DEMO/"
if [ -f "$BIN/notify.wav" ]; then
    cp -f "$BIN/notify.wav" "$DEMO/"
else
    cp -f "$SOURCE/resources/notify.wav" "$DEMO/"
fi
[ -f "$BIN/help.html" ] && cp -f "$BIN/help.html" "$DEMO/"
"$BIN/corvana-seed" "$DEMO" --machines "$PCS" --force

CORVANA=
CLIENT=
stop() {
    if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
        kill "$1" 2>/dev/null || true
        wait "$1" 2>/dev/null || true
    fi
}
# Whatever way the script ends, nothing it started is left behind.
cleanup() {
    stop "$CLIENT"
    CLIENT=
    stop "$CORVANA"
    CORVANA=
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT TERM

# Corvana uses the dbase.mdb and notify.wav of its own folder.
(cd "$DEMO" && exec ./corvana) &
CORVANA=$!

for _ in $(seq 1 300); do
    listening && break
    kill -0 "$CORVANA" 2>/dev/null || die "corvana ended before it listened on port $PORT (see above)"
    sleep 0.1
done
listening || die "corvana does not listen on port $PORT after 30 seconds"

cat <<TEXT

  Corvana is running from $DEMO with a fresh demo database:
  $PCS machines (1号机 to 10号机 at 3 yuan an hour, 11号机 to 20号机 at 4), a stocked catalogue
  of drinks and snacks, five customers and four stored-value cards (card 86100001, password
  1234, for one). There are no operators, so nobody has to log in.

  Now $PCS simulated café PCs connect and announce themselves: their machines turn from off
  to standby. Every now and then one of them asks to start ("…要求开机，是否同意？") or
  orders goods (a box titled "有人要商品"). Such a question plays a sound, counts down and,
  left alone, answers "否" by itself. Started machines bill by the minute: double-click one
  to check it out. The simulated PCs print what they send and receive below.

  Close the Corvana window (or press Ctrl+C here) to end the demo; the PCs stop with it.

TEXT

if [ -x "$BIN/corvana-client" ]; then
    "$BIN/corvana-client" --pcs "$PCS" --chatty &
    CLIENT=$!
else
    printf 'demo: %s is not built, so no café PCs connect; the front desk runs alone.\n' \
        "$BIN/corvana-client" >&2
fi

status=0
wait "$CORVANA" || status=$?
CORVANA=
exit "$status"
