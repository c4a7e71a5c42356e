#!/bin/sh
# Serves a 1 GiB sparse file from the service stand-in and, beside it, from
# python3 -m http.server, and prints time to first byte, throughput and the
# stand-in's peak memory (VmHWM) while it serves: once to a fast client, once
# to a client reading at 20 MB/s (whose unsent bytes must not pile up).
#
#   bench/bench_standin.sh [build folder]      (default: build)
set -eu
BUILD=${1:-build}
SERVICE="$BUILD/bin/vantorix-service"
[ -x "$SERVICE" ] || { echo "no $SERVICE: build the vantorix-service target first" >&2; exit 2; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/bench-standin-XXXXXX")
PIDS=""
cleanup() { for p in $PIDS; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"; }
trap cleanup EXIT INT TERM

mkdir -p "$WORK/data/files"
truncate -s 1G "$WORK/data/files/big.bin"

"$SERVICE" --data "$WORK/data" --port 0 >"$WORK/service.log" 2>&1 &
SPID=$!
PIDS="$PIDS $SPID"
for _ in $(seq 50); do grep -q listening "$WORK/service.log" && break; sleep 0.1; done
URL=$(sed -n 's/.*listening on //p' "$WORK/service.log")

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
(cd "$WORK/data/files" && exec python3 -m http.server --bind 127.0.0.1 "$PORT" >/dev/null 2>&1) &
PPID_HTTP=$!
PIDS="$PIDS $PPID_HTTP"
for _ in $(seq 50); do curl -sf -o /dev/null -r 0-0 "http://127.0.0.1:$PORT/big.bin" && break; sleep 0.1; done

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
hwm() { awk '/^VmHWM/ {print $2}' "/proc/$1/status"; }
fetch() { curl -sS -o /dev/null -w '%{time_starttransfer} %{speed_download} %{size_download}' "$@"; }

echo "stand-in idle: RSS $(rss $SPID) KiB"
for run in 1 2; do
    set -- $(fetch "$URL/files/big.bin")
    echo "stand-in    run $run: first byte $(printf '%.4f' "$1") s, $(awk "BEGIN {printf \"%.0f\", $2/1048576}") MiB/s, $3 bytes"
    set -- $(fetch "http://127.0.0.1:$PORT/big.bin")
    echo "http.server run $run: first byte $(printf '%.4f' "$1") s, $(awk "BEGIN {printf \"%.0f\", $2/1048576}") MiB/s, $3 bytes"
done
echo "stand-in peak RSS after fast clients: $(hwm $SPID) KiB"

# A slow client for about 5 s: the stand-in writes only as the socket drains.
curl -sS -o /dev/null --limit-rate 20M --max-time 5 "$URL/files/big.bin" 2>/dev/null || true
echo "stand-in peak RSS after a slow client: $(hwm $SPID) KiB (now $(rss $SPID) KiB)"
