#!/usr/bin/env bash
# umbrata-cli-sim on a real keysim server: codes against oathtool, press mode, access rights,
# several keys, exit statuses. Usage: cli_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
cli="$1/cli/umbrata-cli-sim"
keysim="$1/sim/keysim"
work=$(mktemp -d)
export KEYSIM_SOCKET="$work/keysim.sock" XDG_DATA_HOME="$work/data"
sha1=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ
sha256=JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_until() { for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done; return 1; }
# $1 is oathtool's code (options $2...) now or 2 s ago: a command may straddle a step boundary.
# No grep -q: stopping early would break oathtool's pipe, which pipefail counts as a failure.
is_code() { local t; t=$(date +%s); for s in "$t" $((t - 2)); do oathtool -b --now "@$s" "${@:2}"; done | grep -x -- "$1" >/dev/null; }
status_of() { local s=0; "$cli" "$@" >/dev/null 2>"$work/err" || s=$?; echo "$s"; }

cat >"$work/keys.json" <<JSON
{"keys": [{"id": "key0", "product_id": 2136, "press_mode_supported": true, "active": "OT000001",
           "credentials": [{"serial": "OT000001", "algorithm": 2, "hash": 1, "digits": 6, "secret": "$sha1"},
                           {"serial": "OT000002", "algorithm": 2, "hash": 2, "digits": 8, "secret": "$sha256"},
                           {"serial": "HT000001", "algorithm": 1, "hash": 1, "digits": 6, "secret": "$sha1"}]},
          {"id": "key1", "product_id": 2137, "openable": false},
          {"id": "key2", "product_id": 2136, "plugged": false, "active": "OT000009",
           "credentials": [{"serial": "OT000009", "algorithm": 2, "hash": 2, "digits": 8, "secret": "$sha256"}]}]}
JSON
"$keysim" serve "$work/keys.json" >"$work/keysim.log" 2>&1 & pids+=($!)
wait_until '"$keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"

# A clock that the system says is not synchronised gives the code all the same, and the sentence.
for clock in unsynchronised synchronised; do
  code=$(UMBRATA_TEST_CLOCK_SYNC=$clock "$cli" code 2>"$work/err") || fail "code with a clock $clock failed"
  is_code "$code" --totp -d 6 "$sha1" || fail "code is not oathtool's SHA-1 code"
  said=$([ "$clock" = synchronised ] || echo "This computer's clock is not synchronised: codes may be refused.")
  [ "$(cat "$work/err")" = "$said" ] || fail "with a clock $clock, code says: $(cat "$work/err")"
done
is_code "$("$cli" code --serial OT000002)" --totp=sha256 -d 8 "$sha256" || fail "code --serial is not oathtool's SHA-256 code"
"$cli" set-active OT000002 && is_code "$("$cli" code)" --totp=sha256 -d 8 "$sha256" || fail "set-active did not switch"
for c in "code --serial OT9" "set-active OT9"; do
  [ "$(status_of $c)" = 1 ] && grep -qx "umbrata-cli: No credential OT9 on the key; it holds OT000001, OT000002, HT000001" "$work/err" ||
    fail "$c: $(cat "$work/err")"
done
# An HOTP code is asked for on purpose: each one is the next, it says so, and no log keeps it.
for counter in 0 1; do
  hotp=$("$cli" code --serial HT000001 2>"$work/err")
  [ "$hotp" = "$(oathtool -b -c "$counter" "$sha1")" ] || fail "HOTP code $counter is $hotp, not oathtool's"
  grep -qx "This is an HOTP code: the key's counter moved on by one." "$work/err" || fail "HOTP: $(cat "$work/err")"
  ! grep -rqF "$hotp" "$XDG_DATA_HOME" || fail "the log holds the HOTP code $hotp"
done
for c in code info list; do "$cli" "$c" --json | python3 -m json.tool >/dev/null || fail "$c --json is not JSON"; done

"$cli" press-mode on || fail "press-mode on failed"
# Two usable keys: list numbers them, --key takes a number, a USB serial number or a path, and
# without it a command names the keys and exits 2 rather than guess. key0 is in press mode, untouched:
# list does not wait for a touch.
"$keysim" plug key2 >/dev/null
"$cli" list >"$work/list" || fail "list with two keys failed"
grep -qx "1  key0  0858  [^ ]*  ok  touch the key to see its active credential" "$work/list" &&
  grep -qx "2  key1  0859  [^ ]*  no access  -" "$work/list" && grep -qx "3  key2  0858  [^ ]*  ok  OT000009" "$work/list" ||
  fail "list with two keys: $(cat "$work/list")"
path2=$(awk '$1 == 3 { print $4 }' "$work/list")
[ "$("$cli" --key 3 list --json | python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["active"])')" = OT000009 ] ||
  fail "list --json --key 3 does not give key2's active credential"
for key in 3 key2 "$path2"; do
  is_code "$("$cli" --key "$key" code)" --totp=sha256 -d 8 "$sha256" || fail "--key $key: not key2's code"
done
[ "$(status_of code)" = 2 ] && grep -q "several keys are plugged in" "$work/err" && grep -qx "  1  key0  .*" "$work/err" &&
  grep -qx "  3  key2  $path2" "$work/err" || fail "two keys and no --key: not exit 2 naming both: $(cat "$work/err")"
[ "$(status_of --key 4 code)" = 3 ] || fail "--key 4 of three: not exit 3"
"$keysim" unplug key2 >/dev/null

"$cli" code >"$work/out" 2>"$work/touch" & pids+=($!)
wait_until 'grep -q "Touch the key\.\.\." "$work/touch"' || fail "code did not ask for a touch"
"$keysim" press key0 >/dev/null
wait "${pids[-1]}" && is_code "$(cat "$work/out")" --totp=sha256 -d 8 "$sha256" || fail "no code after the touch"

"$keysim" unplug key0 >/dev/null
advice="install the udev rule packaging/70-umbrata.rules"  # a replug, where this machine has the rule
for d in /usr/lib/udev/rules.d /etc/udev/rules.d; do [ ! -e "$d/70-umbrata.rules" ] || advice="is in place; unplug the key"; done
[ "$(status_of code)" = 3 ] && grep -qF "$advice" "$work/err" || fail "a key without access: not exit 3 with: $advice"
kill "${pids[0]}" && wait "${pids[0]}" || true
[ "$(status_of code)" = 3 ] && grep -q "no key found" "$work/err" || fail "no server: not exit 3"
[ "$(status_of press-mode maybe)" = 2 ] && [ "$(status_of --bogus code)" = 2 ] || fail "a bad argument: not exit 2"
echo "1 passed, 0 failed"
