#!/usr/bin/env bash
# Starts nginx with the demo publisher tree, its package served slowly, for the
# tests that run the installer itself. stop_servers.sh <state-dir> ends it.
#   start_demo_server.sh <state-dir> <demo_game.exe> <pkgtool.exe> [--port N] [--corrupt]
# By default it serves the installer's built-in address, 127.0.0.1:8451. With
# --port the tree names 127.0.0.1:N instead; with --corrupt the package's
# directory is overwritten, so that it downloads whole but cannot be unpacked.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
state=$1 game=$2 pkgtool=$3
shift 3
port=8451 corrupt=no
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port=$2; shift 2 ;;
    --corrupt) corrupt=yes; shift ;;
    *) echo "start_demo_server: unknown option $1" >&2; exit 2 ;;
  esac
done
"$here/stop_servers.sh" "$state" 2>/dev/null || true
rm -rf "$state"
mkdir -p "$state/www"
state=$(cd "$state" && pwd)
www=$state/www
tool=("$repo/scripts/wine-run" "$pkgtool")
ZV_DEMO_SERVER=http://127.0.0.1:$port "$repo/scripts/publish-demo" "$www" "$game" slow/zuvuva.pak -- "${tool[@]}"
if [ "$corrupt" = yes ]; then
  # 32 bytes after the 8-byte header: the first two cipher blocks, which hold
  # the start of the directory.
  printf '\377%.0s' $(seq 1 32) | dd of="$www/slow/zuvuva.pak" bs=1 seek=8 conv=notrunc status=none
  if "${tool[@]}" verify "Z:${www//\//\\}\\slow\\zuvuva.pak" >/dev/null 2>&1; then
    echo "start_demo_server: the corrupted package still verifies" >&2
    exit 1
  fi
fi
setsid "$repo/scripts/nginx-serve" "$www" "$port" "$state/nginx" >"$state/nginx.out" 2>&1 </dev/null &
echo $! >"$state/nginx.pid"
url=http://127.0.0.1:$port/update/online_setup.txt
"$repo/scripts/wait-for-url" "$url" || {
  echo "start_demo_server: nothing answers on 127.0.0.1:$port (is the port taken?)" >&2
  cat "$state/nginx.out" "$state/nginx/error.log" 2>/dev/null >&2
  exit 1
}
note=""
[ "$corrupt" = yes ] && note=", its package corrupted"
echo "start_demo_server: the demo publisher on 127.0.0.1:$port$note"
