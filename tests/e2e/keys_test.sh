#!/usr/bin/env bash
# Two keys plugged in: the window shows one, with a key row above the code; Ctrl+Tab shows the
# other, and each code copied with Ctrl+C is oathtool's for that key's active credential. Pulling
# out the shown key shows the other and names it. Usage: keys_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
sha1=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ
sha256=JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP
cat >"$work/keys.json" <<JSON
{"keys": [{"id": "key0", "product_id": 2136, "active": "OT000001",
           "credentials": [{"serial": "OT000001", "algorithm": 2, "hash": 1, "digits": 6, "secret": "$sha1"}]},
          {"id": "key1", "product_id": 2136, "active": "OT000002",
           "credentials": [{"serial": "OT000002", "algorithm": 2, "hash": 2, "digits": 8, "secret": "$sha256"}]}]}
JSON
start_umbrata "$work/keys.json"

clipboard() { xclip -o -selection clipboard 2>/dev/null; }
# True when $1 is oathtool's code (options $2...) now or 2 s ago: a copy may straddle a step.
is_code() { local t; t=$(date +%s); for s in "$t" $((t - 2)); do oathtool -b --now "@$s" "${@:2}"; done | grep -x -- "$1" >/dev/null; }
# Ctrl+C until the clipboard holds the code of the key shown: oathtool's with options $@.
copies_code_of() {
  oathtool_options=("$@")
  wait_until 'xdotool windowfocus --sync "$window" key ctrl+c; is_code "$(clipboard)" "${oathtool_options[@]}"' 10
}

wait_until '[ "$(log_count "Showing key 1 (key0)")" -ge 1 ] && [ "$(log_count "Found key 2 (key1)")" -ge 1 ]' 10 ||
  fail "the two keys are not both found"
copies_code_of --totp -d 6 "$sha1" || fail "key 1's code is not oathtool's"
xdotool windowfocus --sync "$window" key ctrl+Tab
wait_until '[ "$(log_count "Showing key 2 (key1)")" -ge 1 ]' 10 || fail "Ctrl+Tab did not show key 2"
copies_code_of --totp=sha256 -d 8 "$sha256" || fail "key 2's code is not oathtool's"
screenshot two-keys

"$build/sim/keysim" unplug key1 >/dev/null
wait_until '[ "$(log_count "Lost key 2 (key1)")" -ge 1 ] && [ "$(log_count "Showing key 1 (key0)")" -ge 2 ]' 10 ||
  fail "pulling out the shown key did not show the other"
copies_code_of --totp -d 6 "$sha1" || fail "after key 2 went, the code shown is not key 1's"
screenshot two-keys-one-left
echo "1 passed, 0 failed"
