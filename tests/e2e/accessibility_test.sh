#!/usr/bin/env bash
# The window as a screen reader reads it: umbrata-sim on a real keysim server, read and driven
# through AT-SPI by atspi_tree.py, as Orca would, with one key and then two.
# Usage: accessibility_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
atspi=("/usr/bin/python3" "$source_dir/tests/e2e/atspi_tree.py")

# The accessibility bus and its registry, as a desktop session starts them. Qt 5 registers on
# that bus at once only when the root window names it: asked on the session bus instead, it
# tries before its connection is up, and never again.
/usr/libexec/at-spi-bus-launcher --launch-immediately 2>"$work/a11y-bus.log" & started_pids+=($!)
a11y_address() { dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' '; }
wait_until '[ -n "$(a11y_address)" ]' || fail "no accessibility bus"
address=$(a11y_address)
xprop -root -f AT_SPI_BUS 8s -set AT_SPI_BUS "$address"
/usr/libexec/at-spi2-registryd 2>"$work/registry.log" & started_pids+=($!)
wait_until 'dbus-send --bus="$address" --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:org.a11y.atspi.Registry | grep -q true' ||
  fail "no accessibility registry"

# The sample's key, and a second one to plug in later.
python3 - "$source_dir/sim/keys.sample.json" >"$work/keys.json" <<'PY'
import json, sys
keys = json.load(open(sys.argv[1]))
keys["keys"].append({"id": "key1", "product_id": 2136, "plugged": False, "active": "OT000002",
                     "credentials": [{"serial": "OT000002", "algorithm": 2, "hash": 1, "secret": "GEZDGNBVGY3TQOJQ"}]})
json.dump(keys, sys.stdout)
PY
# A clock that the system says is not synchronised, in English.
UMBRATA_TEST_CLOCK_SYNC=unsynchronised start_umbrata "$work/keys.json"

# True when the tree, read afresh, has a line matching the extended regex $1.
shows() { "${atspi[@]}" >"$work/tree" 2>"$work/tree.err" && grep -q -E -- "$1" "$work/tree"; }
fail_tree() { cat "$work/tree" "$work/tree.err" >&2; fail "$@"; }

# The code as shown, grouped, and the seconds left.
wait_until '[ "$(log_count "value is ")" -ge 1 ] && shows "\| One-time password $(last_code | sed "s/^.../& /") \|"' 10 ||
  fail_tree "the code is not read as \"One-time password\" and the code shown"
grep -q -E '\| ([0-9]|[12][0-9]|30) seconds? left \|' "$work/tree" || fail_tree "no countdown in the tree"
grep -q -E "^ *link .*\| This computer's clock is not synchronised: codes may be refused\. \|" "$work/tree" ||
  fail_tree "the clock's line is not read as a link"
for title in File Settings Help; do
  grep -q -E "^ *menu.* \| $title \|" "$work/tree" || fail_tree "no menu $title in the tree"
done

# The copy button's action puts the code, without its blank, on the clipboard, and a "Copied"
# alert shows, which screen readers announce. Qt learns of a new listener a moment after it
# registers, so a press may come too early to be heard; a press while the notice still shows
# shows nothing new, so each retry waits for the notice to hide first.
printf 'other' | xclip -selection clipboard
"${atspi[@]}" shown alert Copied >"$work/alert" 2>&1 & started_pids+=($!)
wait_until 'grep -q listening "$work/alert"' 10 || fail "the AT-SPI listener did not start: $(cat "$work/alert")"
press_until_heard() {
  for _ in 1 2 3 4 5; do
    wait_until '[ "$("${atspi[@]}" showing Copied)" = no ]' 10 || return 1
    "${atspi[@]}" do "Copy the code" Press || return 1
    wait_until 'grep -q shown "$work/alert"' 4 && return 0
  done
  return 1
}
press_until_heard || fail_tree "no \"Copied\" alert was heard: $(cat "$work/alert")"
copied=$(xclip -o -selection clipboard 2>/dev/null)
key_gave "$copied" || fail_tree "the copy button's action did not copy a code of the key: \"$copied\""

# A second key: the key row says which key is shown, and how to reach the other.
"$build/sim/keysim" plug key1 >/dev/null
wait_until 'shows "\| Key 1: OT000001, one of 2 keys: Ctrl\+Tab shows the next \|"' 10 || fail_tree "the key row is not read"
"$build/sim/keysim" unplug key1 >/dev/null

"$build/sim/keysim" unplug key0 >/dev/null
wait_until 'shows "\| No Key Detected! \|"' 10 || fail_tree "\"No Key Detected!\" is not read after the removal"
close_with_file_exit "$app" a11y-file-menu

# In French, as a French screen reader reads it: the countdown in its words.
"$build/sim/keysim" plug key0 >/dev/null
"$build/gui/umbrata-sim" --language fr >"$work/umbrata.out" 2>&1 & started_pids+=($!)
wait_until 'shows "\| [0-9]+ secondes? restantes? \|"' 30 || fail_tree "the countdown is not read in French"
echo "1 passed, 0 failed"
