#!/usr/bin/env bash
# Starts nginx and the fault server on free loopback ports for the transfer
# tests and writes what the tests need to <state-dir>/servers.env.
#   start_servers.sh <state-dir>
# The publisher tree both serve is <state-dir>/www. stop_servers.sh ends them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
state=$1
"$here/stop_servers.sh" "$state" 2>/dev/null || true
rm -rf "$state"
mkdir -p "$state/www" "$state/nginx"
state=$(cd "$state" && pwd)

read -r nginx_port fault_port refused_port tls_port < <(python3 - <<'PY'
import socket
sockets = [socket.socket() for _ in range(4)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in sockets])
PY
)

# A certificate authority of the test run and a certificate for localhost, so
# that https is served as a publisher would serve it.
tls=$state/tls
mkdir -p "$tls"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tls/ca.key" -out "$tls/ca.crt" -days 30 \
  -subj "/CN=Zuvuva test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -keyout "$tls/server.key" -out "$tls/server.csr" -subj "/CN=localhost" \
  >/dev/null 2>&1
printf 'subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$tls/ext.cnf"
openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" -CAcreateserial \
  -out "$tls/server.crt" -days 30 -extfile "$tls/ext.cnf" >/dev/null 2>&1

setsid "$repo/scripts/nginx-serve" "$state/www" "$nginx_port" "$state/nginx" \
  "$tls_port" "$tls/server.crt" "$tls/server.key" >"$state/nginx.out" 2>&1 </dev/null &
echo $! >"$state/nginx.pid"
: >"$state/requests.log"
setsid python3 "$here/fault_server.py" --port "$fault_port" --root "$state/www" --log "$state/requests.log" \
  >"$state/fault.out" 2>&1 </dev/null &
echo $! >"$state/fault.pid"

echo probe >"$state/www/probe.txt"
for port in "$nginx_port" "$fault_port"; do
  path=/probe.txt
  [ "$port" = "$fault_port" ] && path=/plain/probe.txt
  "$repo/scripts/wait-for-url" "http://127.0.0.1:$port$path" || {
    echo "start_servers: nothing answers on port $port" >&2
    cat "$state/nginx.out" "$state/nginx/error.log" "$state/fault.out" 2>/dev/null >&2
    exit 1
  }
done
: >"$state/requests.log"

cat >"$state/servers.env" <<ENV
NGINX_URL=http://127.0.0.1:$nginx_port
FAULT_URL=http://127.0.0.1:$fault_port
REFUSED_URL=http://127.0.0.1:$refused_port
HTTPS_URL=https://localhost:$tls_port
TEST_CA=$tls/ca.crt
SERVE_ROOT=$state/www
REQUEST_LOG=$state/requests.log
ENV
echo "start_servers: nginx on $nginx_port (https on $tls_port), fault server on $fault_port"
