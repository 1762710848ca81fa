#!/usr/bin/env bash
# "pkgtool check" against real servers: nginx serving a demo publisher tree on
# a free port, the same tree broken one way at a time, and Python's
# http.server, which ignores Range.
#   pkgtool_check_test.sh [runner] <pkgtool>
# With a runner (scripts/wine-run) the Windows build is exercised; its output
# is in GBK with CRLF line ends and is turned into UTF-8 before it is compared.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
if [ $# -eq 2 ]; then runner=("$(absolute "$1")"); tool=$2; else runner=(); tool=$1; fi
tool=$(absolute "$tool")
run() { "${runner[@]}" "$tool" "$@"; }
text() { if [ ${#runner[@]} -gt 0 ]; then iconv -f GBK -t UTF-8 | tr -d '\r'; else cat; fi; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pkgtool-check-test.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Free loopback ports, never those other tests keep for themselves.
read -r nginx_port plain_port refused_port < <(python3 - <<'PY'
import socket
taken, found = {8451, 8452, 8453}, []
sockets = []
while len(found) < 3:
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    sockets.append(s)
    port = s.getsockname()[1]
    if port not in taken:
        found.append(port)
print(*found)
PY
)
server=http://127.0.0.1:$nginx_port
plain=http://127.0.0.1:$plain_port

# The publisher tree; a few bytes stand in for the game program.
printf 'MZ stand-in for the game\r\n' >game.exe
ZV_DEMO_SERVER=$server "$repo/scripts/publish-demo" good game.exe update/zuvuva.pak -- "${runner[@]}" "$tool" ||
  { echo "FAIL: publish-demo" >&2; exit 1; }
# A token of this run tells its servers from anything else on those ports.
token=$$.$RANDOM.$RANDOM
echo "$token" >good/token.txt
cp -a good www
"$repo/scripts/nginx-serve" www "$nginx_port" nginx >nginx.out 2>&1 </dev/null &
pids+=($!)
# The same tree for http.server, its URLs naming that server.
cp -a good plain
sed -i "s#$server#$plain#" plain/update/online_setup.txt plain/update/list.ini
python3 -m http.server --bind 127.0.0.1 --directory plain "$plain_port" >plain.out 2>&1 </dev/null &
pids+=($!)
for url in "$server" "$plain"; do
  for _ in $(seq 1 100); do
    [ "$(curl -sf "$url/token.txt" 2>/dev/null)" = "$token" ] && continue 2
    sleep 0.05
  done
  cat nginx.out plain.out >&2
  echo "FAIL: $url does not answer with this run's tree" >&2
  exit 1
done

# check <what> <status> <address>: runs the check; its output is in out.txt.
check() {
  local what=$1 want=$2 address=$3
  run check "$address" 2>&1 | text >out.txt
  local got=${PIPESTATUS[0]}
  [ "$got" -eq "$want" ] || { fail "$what: exit $got, expected $want"; cat out.txt >&2; return 1; }
}
# expect_line <what> <pattern>: out.txt has a line matching the pattern.
expect_line() {
  grep -Eq -- "$2" out.txt || { fail "$1: no line matches '$2'"; cat out.txt >&2; }
}

# The tree as published: every check passes, without a warning.
check "good tree" 0 "$server"
expect_line "good tree" "^ok   descriptor: $server/update/online_setup.txt: status 20[06], [0-9]+ bytes$"
expect_line "good tree" '^ok   update list: \[list0\] action=3: download srcfile to destfile "zuvuva.pak", then DEC$'
expect_line "good tree" '^ok   package: holds "game.exe"'
expect_line "good tree" '^ok   package: holds "uninstall\\uninst.exe"'
expect_line "good tree" '^ok   resume: .* with Range: bytes=[0-9]+-: status 206 with the remaining [0-9]+ bytes$'
expect_line "good tree" '^ok   resume: .*: status 416, the download is complete$'
expect_line "good tree" "^$server: the installer finds everything it needs, 0 warning\\(s\\)$"
grep -Eq '^(FAIL|warn) ' out.txt && fail "good tree: $(grep -E '^(FAIL|warn) ' out.txt)"

# Broken trees: <name>|<shell command run in www>|<exit status>|<line that names the fault>
cases=(
  "descriptor missing|rm update/online_setup.txt|1|^FAIL descriptor: $server/update/online_setup.txt: status 404 \\(not found\\)$"
  "descriptor without size|sed -i '/^size=/d' update/online_setup.txt|1|^FAIL descriptor: \\[setup\\] size is missing"
  "list URL missing|sed -i '/^1.0=/d' update/online_setup.txt|1|^FAIL descriptor: \\[config\\] has neither 1.0 nor other"
  "list without list0|sed -i 's/^\\[list0\\]/[list1]/' update/list.ini|1|^FAIL update list: there is no \\[list0\\] section"
  "cmd not DEC|sed -i 's/^cmd=DEC/cmd=dec/' update/list.ini|1|^FAIL update list: \\[list0\\] cmd=\"dec\" is not a command the installer knows"
  "destfile leaving the install folder|sed -i 's/^destfile=.*/destfile=..\\\\zuvuva.pak/' update/list.ini|1|^FAIL update list: \\[list0\\] destfile=\"..\\\\zuvuva.pak\" would leave the install folder"
  "package missing|rm update/zuvuva.pak|1|^FAIL package: $server/update/zuvuva.pak: status 404 \\(not found\\)$"
  "package corrupted|dd if=/dev/zero of=update/zuvuva.pak bs=1 seek=8 count=4088 conv=notrunc status=none|1|^FAIL package: the directory holds no entries$"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name command status pattern <<<"$entry"
  rm -rf www && cp -a good www
  (cd www && eval "$command") || { fail "$name: could not break the tree"; continue; }
  check "$name" "$status" "$server" && expect_line "$name" "$pattern"
done

# A server that ignores Range answers 200 with the whole file to both
# resumed requests.
check "server ignoring Range" 1 "$plain"
expect_line "server ignoring Range" "^ok   package: holds \"game.exe\""
expect_line "server ignoring Range" "^FAIL resume: $plain/update/zuvuva.pak with Range: bytes=[0-9]+-: status 200, not 206: the server ignores Range"
expect_line "server ignoring Range" "^FAIL resume: $plain/update/zuvuva.pak with Range: bytes=[0-9]+-: status 200, not 416"

# Nothing listens on the refused port.
check "no server" 1 "http://127.0.0.1:$refused_port"
expect_line "no server" "^FAIL descriptor: http://127.0.0.1:$refused_port/update/online_setup.txt: connection refused"

# Addresses the installer could not be built with are usage errors.
for address in "" "ftp://127.0.0.1" "$server/"; do
  run check $address >/dev/null 2>&1
  status=$?
  [ "$status" -eq 2 ] || fail "address '$address': exit $status, expected 2"
done
run help 2>&1 | text | grep -q "check <server-address>" || fail "check is not in the usage text"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "pkgtool check: all server checks passed"
