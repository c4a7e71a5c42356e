#!/bin/sh
# Times a self-update of about 50 MB from download to restart: an installed
# folder of this build (version 2.05), the stand-in offering a test update
# archive (the build's next/bin programs, 2.06, padded with incompressible
# bytes to SIZE_MB), and "vantorix self-update" run from the folder; the time
# runs until the new version has removed the old folder. Everything lives in
# a temporary folder (home, preferences and temporary files included).
#
#   bench/bench_selfupdate.sh [build folder] [runs]      (default: build, 3)
set -eu
BUILD=$(cd "${1:-build}" && pwd)
RUNS=${2:-3}
SIZE_MB=${SIZE_MB:-50}
HERE=$(cd "$(dirname "$0")/.." && pwd)
SERVICE="$BUILD/bin/vantorix-service"
[ -x "$SERVICE" ] && [ -x "$BUILD/next/bin/vantorix" ] ||
    { echo "build vantorix-service, vantorix-installer-next and vantorix-cli-next first" >&2; exit 2; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/bench-selfupdate-XXXXXX")
SPID=""
cleanup() { [ -n "$SPID" ] && kill "$SPID" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT INT TERM

# The update archive, padded to SIZE_MB.
mkdir -p "$WORK/stage" "$WORK/data/files/installer"
NO_BUILD=1 BUILD_DIR="$BUILD" "$HERE/scripts/make-update-archive" "$WORK/plain.zip" >/dev/null
(cd "$WORK/stage" && unzip -q "$WORK/plain.zip")
have=$(stat -c %s "$WORK/plain.zip")
pad=$(( SIZE_MB * 1000000 - have ))
[ "$pad" -gt 0 ] && head -c "$pad" /dev/urandom >"$WORK/stage/vantorix-installer/share/vantorix-installer/padding.bin"
ARCHIVE="$WORK/data/files/installer/VantorixInstaller-2.06.zip"
(cd "$WORK/stage" && zip -qr -X "$ARCHIVE" vantorix-installer)
openssl pkeyutl -sign -rawin -inkey "$HERE/tests/data/app/update/test-update-key.private.pem" \
    -in "$ARCHIVE" -out "$ARCHIVE.sig"
BYTES=$(stat -c %s "$ARCHIVE")
cp "$HERE/tests/data/app/service/accounts.json" "$WORK/data/"
cp -r "$HERE/tests/data/app/service/listings" "$WORK/data/"
cat >"$WORK/data/installer.json" <<JSON
{"version": "2.06", "releaseSize": $(( BYTES / 1000000 + 1 )),
 "releases": {"INT": "\${SERVICE}/files/installer/VantorixInstaller-2.06.zip"}}
JSON

"$SERVICE" --data "$WORK/data" --port 0 >"$WORK/service.log" 2>&1 &
SPID=$!
for _ in $(seq 50); do grep -q listening "$WORK/service.log" && break; sleep 0.1; done
URL=$(sed -n 's/.*listening on //p' "$WORK/service.log")

export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share"
export VANTORIX_PREFS_DIR="$WORK/prefs" VANTORIX_SHARED_DIR="$WORK/shared" TMPDIR="$WORK/tmp"
export VANTORIX_HOST_SEARCH_PATH="$WORK/hosts" VANTORIX_SERVICE_URL="$URL" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$VANTORIX_PREFS_DIR" "$VANTORIX_SHARED_DIR" "$TMPDIR" "$VANTORIX_HOST_SEARCH_PATH"

echo "archive: $BYTES bytes"
run=1
while [ "$run" -le "$RUNS" ]; do
    ROOT="$WORK/installed-$run/Vantorix Installer"
    cmake --install "$BUILD" --prefix "$ROOT" --component app >/dev/null
    start=$(date +%s%N)
    "$ROOT/bin/vantorix" self-update >"$WORK/run-$run.log" 2>&1 || { cat "$WORK/run-$run.log"; exit 1; }
    # Restarted: the new version has removed the old folder.
    while ls -A "$WORK/installed-$run" | grep -q '^\.'; do sleep 0.01; done
    end=$(date +%s%N)
    version=$("$ROOT/bin/vantorix" --version)
    echo "run $run: $(( (end - start) / 1000000 )) ms from start to restart ($version)"
    run=$((run + 1))
done
