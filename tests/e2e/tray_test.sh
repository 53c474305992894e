#!/usr/bin/env bash
# The tray icon, as at login: umbrata-sim starts hidden before the desktop's StatusNotifier watcher
# and host (sni_host.py), a second start shows its window, and once the host registers the icon's menu
# lists every credential with oathtool's code, and a click on an entry copies that code.
# Usage: tray_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
host=("/usr/bin/python3" "$source_dir/tests/e2e/sni_host.py")
write_three_credentials
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
# True when the menu, opened afresh, reads the codes of now or of 2 s ago: a read may straddle a step.
menu_shows_codes() {
  "${host[@]}" menu "$work/items" >"$work/menu" 2>"$work/menu.err" || return 1
  local s t
  t=$(date +%s)
  for s in "$t" $((t - 2)); do
    printf '1\tOT000001   %s\n1\tOT000002   %s\n0\tHT000001   HOTP: a code would count up the key\n1\t-\n1\tShow Umbrata\n1\tQuit\n' \
      "$(totp "$s" "" 6 "$sha1" | sed 's/^.../& /')" "$(totp "$s" =sha256 8 "$sha256" | sed 's/^..../& /')" |
      cmp -s - <(cut -f 2- "$work/menu") && return 0
  done
  return 1
}
wait_until menu_shows_codes 10 || { cat "$work/menu" "$work/menu.err" >&2; fail "the tray's menu does not read as expected"; }
echo "--- the tray's menu:"
cat "$work/menu"
wait_until '"${host[@]}" tooltip "$work/items" | grep OT000001 >/dev/null' || fail "the tooltip does not name the active credential"

# A click on OT000002's entry copies its code, though OT000001 is the active one.
printf 'other' | xclip -selection clipboard
"${host[@]}" click "$work/items" "$(awk -F '\t' '$3 ~ /^OT000002 / { print $1 }' "$work/menu")" || fail "the click was refused"
wait_until copied_sha256_code || fail "a click on OT000002's entry did not copy its code"
echo "1 passed, 0 failed"
