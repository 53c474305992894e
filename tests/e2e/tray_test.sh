#!/usr/bin/env bash
# The tray icon, as at login: umbrata-sim starts hidden before the desktop's StatusNotifier watcher
# and host (sni_host.py), a second start shows its window, and once the host registers the icon's menu
# lists every credential with oathtool's code, and a click on an entry copies that code. With a
# second key plugged in, the menu lists each key's credentials under a heading that names it.
# Usage: tray_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
host=("/usr/bin/python3" "$source_dir/tests/e2e/sni_host.py")
# A second key, plugged in at the end.
write_three_credentials '{"id": "key1", "product_id": 2136, "plugged": false, "active": "OT000009",
           "credentials": [{"serial": "OT000009", "algorithm": 2, "hash": 1, "digits": 6, "secret": "JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP"}]}'
start_umbrata "$work/keys.json" --hidden

# No host yet: no icon, and the program works all the same, its window hidden.
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 30 || fail "no code"
wait_until '[ "$(log_count "No StatusNotifier host: no tray icon")" -ge 1 ]' || fail "nothing said of the missing host"
! find_window || fail "the window is shown despite --hidden"

# A second start shows the running one's window and ends.
timeout 60 "$build/gui/umbrata-sim" >"$work/second.out" 2>&1 || fail "the second start ended with status $? (124: it did not end)"
wait_until find_window 10 || fail "the second start did not show the first one's window"

# The desktop's watcher comes after the program, and its panel's host registers later still, as
# on KDE: only the watcher's signal tells the program.
"${host[@]}" serve "$work/items" --host-later 2>"$work/host.log" &
host_pid=$! && started_pids+=("$host_pid")
wait_until 'grep -q "^asked IsStatusNotifierHostRegistered False" "$work/host.log"' 10 || fail "the program did not ask the new watcher"
[ "$(log_count "The tray icon is shown")" -eq 0 ] || fail "a tray icon before the host registered"
kill -USR1 "$host_pid"
wait_until '[ "$(log_count "The tray icon is shown")" -ge 1 ]' 10 || fail "no tray icon once the host registered"
wait_until '[ -s "$work/items" ]' || { cat "$work/host.log" >&2; fail "the tray icon did not register with the host"; }

totp() { oathtool -b --now "@$1" --totp"$2" -d "$3" "$4"; }
# True when the menu, opened afresh, reads the codes of now or of 2 s ago (a read may straddle a
# step) of the keys in $1: "key 1", "both keys" (under their headings) or "key 2".
menu_shows_codes() {
  "${host[@]}" menu "$work/items" >"$work/menu" 2>"$work/menu.err" || return 1
  local s t
  t=$(date +%s)
  for s in "$t" $((t - 2)); do
    {
      [ "$1" != "both keys" ] || printf '0\tKey 1: OT000001\n'
      [ "$1" = "key 2" ] || printf '1\tOT000001   %s\n1\tOT000002   %s\n0\tHT000001   HOTP: a code would count up the key\n' \
        "$(totp "$s" "" 6 "$sha1" | sed 's/^.../& /')" "$(totp "$s" =sha256 8 "$sha256" | sed 's/^..../& /')"
      [ "$1" != "both keys" ] || printf '0\tKey 2: OT000009\n'
      [ "$1" = "key 1" ] || printf '1\tOT000009   %s\n' "$(totp "$s" "" 6 "$sha256" | sed 's/^.../& /')"
      printf '1\t-\n1\tShow Umbrata\n1\tQuit\n'
    } | cmp -s - <(cut -f 2- "$work/menu") && return 0
  done
  return 1
}
wait_until 'menu_shows_codes "key 1"' 10 || { cat "$work/menu" "$work/menu.err" >&2; fail "the tray's menu does not read as expected"; }
echo "--- the tray's menu:"
cat "$work/menu"
wait_until '"${host[@]}" tooltip "$work/items" | grep OT000001 >/dev/null' || fail "the tooltip does not name the active credential"

# A click on OT000002's entry copies its code, though OT000001 is the active one.
printf 'other' | xclip -selection clipboard
"${host[@]}" click "$work/items" "$(awk -F '\t' '$3 ~ /^OT000002 / { print $1 }' "$work/menu")" || fail "the click was refused"
wait_until copied_sha256_code || fail "a click on OT000002's entry did not copy its code"

"$build/sim/keysim" plug key1 >/dev/null
wait_until '[ "$(log_count "Found key 2 (key1)")" -ge 1 ]' 10 || fail "the second key was not found"
wait_until 'menu_shows_codes "both keys"' 10 || { cat "$work/menu" "$work/menu.err" >&2; fail "the menu does not list both keys' codes under their headings"; }
echo "--- the tray's menu with two keys:"
cat "$work/menu"
"$build/sim/keysim" unplug key0 >/dev/null
wait_until '[ "$(log_count "Lost key 1 (key0)")" -ge 1 ]' 10 || fail "the first key's going was not seen"
wait_until 'menu_shows_codes "key 2"' 10 || { cat "$work/menu" >&2; fail "with key 1 pulled out, the menu is not key 2's alone"; }
echo "1 passed, 0 failed"
