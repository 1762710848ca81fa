#!/usr/bin/env bash
# The archive tool from the command line, as a publisher uses it.
#   pkgtool_test.sh [runner] <pkgtool>
# With a runner (scripts/wine-run) the Windows build is exercised; its output
# is in GBK and is turned into UTF-8 before it is compared.
set -uo pipefail
if [ $# -eq 2 ]; then runner=("$1"); tool=$2; else runner=(); tool=$1; fi
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
run() { "${runner[@]}" "$tool" "$@"; }
text() { if [ ${#runner[@]} -gt 0 ]; then iconv -f GBK -t UTF-8 | tr -d '\r'; else cat; fi; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pkgtool-test.XXXXXX")
trap 'chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_status() {  # expect_status <status> <what> -- command...
  local want=$1 what=$2; shift 3
  "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" -eq "$want" ] || { fail "$what: exit $got, expected $want"; cat out.txt err.txt >&2; }
}

mkdir -p "src/Game Data/maps" src/bin "src/存档"
printf 'hello\n' >src/readme.txt
head -c 70000 /dev/urandom >"src/Game Data/maps/Level1.MAP"
: >src/bin/empty.dat
printf 'save' >"src/存档/中文.txt"

# No arguments and an unknown command give the usage text.
expect_status 2 "no arguments" -- run
grep -q "usage: pkgtool" out.txt || fail "usage text missing"
expect_status 2 "unknown command" -- run frobnicate
grep -q "unknown command" err.txt || fail "unknown command not named"

# create, list, verify, extract.
expect_status 0 "create" -- run create src game.pak --word 0x1234
grep -q "4 files" out.txt || fail "create should report 4 files: $(cat out.txt)"
[ "$(od -An -tx1 -j4 -N4 game.pak | tr -d ' ')" = "34120000" ] || fail "second header word not written"
[ $(( ($(stat -c %s game.pak) - 8) % 16 )) -eq 0 ] || fail "archive length is not 8 plus whole blocks"

expect_status 0 "list" -- run list game.pak
text <out.txt >list.txt
grep -q "^src\\\\Game Data\\\\maps\\\\Level1.MAP	[0-9]*	70000\$" list.txt || fail "list lacks the map entry: $(cat list.txt)"
grep -q "^src\\\\bin\\\\empty.dat	[0-9]*	0\$" list.txt || fail "list lacks the empty file"
grep -q "^src\\\\存档\\\\中文.txt	[0-9]*	4\$" list.txt || fail "list lacks the Chinese name"
[ "$(wc -l <list.txt)" -eq 4 ] || fail "list should have 4 lines"

expect_status 0 "verify" -- run verify game.pak
grep -q "ok, 4 entries" out.txt || fail "verify did not say ok: $(cat out.txt)"

# The installer writes folded (lower-case) names below the destination.
expect_status 0 "extract" -- run extract game.pak out
cmp -s src/readme.txt out/readme.txt || fail "readme.txt differs"
cmp -s "src/Game Data/maps/Level1.MAP" "out/game data/maps/level1.map" || fail "the map differs"
[ -f out/bin/empty.dat ] && [ ! -s out/bin/empty.dat ] || fail "empty file not extracted empty"
# Names are written as stored, in GBK: Wine shows them to Linux as UTF-8, a
# native build leaves the GBK bytes.
if [ ${#runner[@]} -gt 0 ]; then chinese=out/存档/中文.txt; else chinese=out/$(printf '存档/中文.txt' | iconv -t GBK); fi
[ "$(cat "$chinese" 2>/dev/null)" = "save" ] || fail "the Chinese name was not extracted"

expect_status 0 "create with --top" -- run create src top.pak --top Zuvuva
run list top.pak | text | grep -q '^Zuvuva\\readme.txt' || fail "--top not used"

# Damaged and refused inputs are named plainly.
head -c 100 game.pak >cut.pak
expect_status 1 "verify of a cut archive" -- run verify cut.pak
grep -q "not a package archive" err.txt || fail "cut archive not explained: $(cat err.txt)"
expect_status 1 "extract of a cut archive" -- run extract cut.pak out2
[ ! -e out2 ] || fail "a cut archive created the destination"
expect_status 1 "verify of a missing archive" -- run verify missing.pak
grep -q "cannot open" err.txt || fail "missing archive not explained"

mkdir -p clash/a && printf 1 >clash/a/File.txt && printf 2 >clash/a/file.txt
expect_status 1 "create with names differing in case" -- run create clash clash.pak
grep -q "letter case" err.txt || fail "case clash not explained: $(cat err.txt)"
[ ! -e clash.pak ] || fail "a refused archive was left behind"

mkdir -p emptydir
expect_status 1 "create from an empty folder" -- run create emptydir e.pak
expect_status 2 "bad --word" -- run create src w.pak --word 99999999999

# The archive being written is never archived into itself.
expect_status 0 "create inside the source" -- run create src src/self.pak
run list src/self.pak | text | grep -q self.pak && fail "the archive contains itself"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "pkgtool: all command-line checks passed"
