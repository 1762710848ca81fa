#!/usr/bin/env bash
# Downloads one 512 MiB file from nginx on loopback with the installer's
# DownloadFile (win64 build, under wine64) and with curl, in the same run, and
# prints both throughputs and the ratio.
#   bench/download_bench.sh [size-in-MiB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mb=${1:-512}
"$root/scripts/build" win64 >/dev/null
. "$root/scripts/env.sh"

state=$(mktemp -d "${TMPDIR:-/tmp}/zv-download-bench.XXXXXX")
cleanup() {
  bash "$root/tests/servers/stop_servers.sh" "$state/servers" || true
  rm -rf "$state"
}
trap cleanup EXIT
bash "$root/tests/servers/start_servers.sh" "$state/servers" >/dev/null
. "$state/servers/servers.env"
head -c $((size_mb << 20)) /dev/urandom >"$SERVE_ROOT/big.bin"
mkdir -p "$state/out"

best_curl=0
for _ in 1 2 3; do
  rm -f "$state/out/curl.bin"
  rate=$(curl -s -o "$state/out/curl.bin" -w '%{speed_download}' "$NGINX_URL/big.bin")
  best_curl=$(python3 -c "print(max($best_curl, $rate / 1e6))")
done
rm -f "$state/out/curl.bin"

ours=$("$root/scripts/wine-run" "$root/build/win64/bench/download_bench.exe" "$NGINX_URL/big.bin" "Z:${state//\//\\}\\out" 3 | tr -d '\r')
python3 - "$ours" "$best_curl" "$size_mb" <<'PY'
import sys
ours, curl, size = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3]
print(f"download {size} MiB from nginx on loopback, best of 3")
print(f"download  ours (DownloadFile, WinINet under wine64): {ours:.1f} MB/s  "
      f"reference (curl to a file): {curl:.1f} MB/s  ratio {ours / curl:.2f}x (goal >= 0.8x)")
PY
