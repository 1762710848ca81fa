#!/usr/bin/env bash
# Starts nginx on the installer's built-in address (127.0.0.1:8451) with the
# demo publisher tree, its package served slowly, for the tests that run the
# installer itself. stop_servers.sh <state-dir> ends it.
#   start_demo_server.sh <state-dir> <demo_game.exe> <pkgtool.exe>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
state=$1 game=$2 pkgtool=$3
"$here/stop_servers.sh" "$state" 2>/dev/null || true
rm -rf "$state"
mkdir -p "$state/www"
state=$(cd "$state" && pwd)
"$repo/scripts/publish-demo" "$state/www" "$game" slow/zuvuva.pak -- "$repo/scripts/wine-run" "$pkgtool"
setsid "$repo/scripts/nginx-serve" "$state/www" 8451 "$state/nginx" >"$state/nginx.out" 2>&1 </dev/null &
echo $! >"$state/nginx.pid"
for _ in $(seq 1 100); do
  curl -sf http://127.0.0.1:8451/update/online_setup.txt >/dev/null 2>&1 && break
  sleep 0.1
done
curl -sf http://127.0.0.1:8451/update/online_setup.txt >/dev/null || {
  echo "start_demo_server: nothing answers on 127.0.0.1:8451 (is the port taken?)" >&2
  cat "$state/nginx.out" "$state/nginx/error.log" 2>/dev/null >&2
  exit 1
}
echo "start_demo_server: the demo publisher on 127.0.0.1:8451"
