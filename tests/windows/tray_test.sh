#!/usr/bin/env bash
# The tray icon's first menu under Wine, whose explorer docks the notification area's icons in an
# XEMBED tray (Debian's trayer): Windows' native menu does not change while it is open, so the
# first one that a right-click opens lists every credential of the key, the HOTP one disabled, and
# choosing OT000002 there puts oathtool's code on the clipboard.
# Usage: tray_test.sh WINDOWS_BUILD_DIR SOURCE_DIR QT_PREFIX
set -euo pipefail
build=$1
source_dir=$2
qt=$3
. "$source_dir/tests/windows/wine_session.sh"
wine_session_start
command -v trayer >/dev/null || fail "no trayer: scripts/install-deps --windows installs it"
write_three_credentials
start_keysim_tcp "$work/keys.json"
rm -f "$log_file"

# A panel along the top: Wine's icons sit at its right end.
trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 & started_pids+=($!)
"$wine" "$build/gui/umbrata-sim.exe" >"$work/umbrata.out" 2>&1 & started_pids+=($!)
wait_until find_window 60 || fail "no window titled Umbrata"
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 30 || fail "no code from the simulated key"

# Sets icon to the X window that Wine's explorer docked in trayer's panel; false while there is none.
find_tray_icon() {
  icon=$(xwininfo -root -tree | awk '/\("panel" "trayer"\)/ { panel = 1; next }
    panel && /^     0x/ { exit }
    panel && /\("explorer.exe" "explorer.exe"\)/ { print $1; exit }')
  [ -n "$icon" ]
}
wait_until find_tray_icon 30 || { xwininfo -root -tree >&2; fail "Wine's explorer docked no icon in trayer's panel"; }
# The list of credentials, which the key's arrival asks for: the first menu is made from it.
wait_until '[ "$(log_count "The credential list holds 3 credentials")" -ge 1 ]' 30 || fail "the key's arrival read no list"

# The first right-click on the icon.
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove --window "$icon" $((WIDTH / 2)) $((HEIGHT / 2)) click 3
timeout 90 "$wine" "$build/tests/tray_menu.exe" >"$work/menu" 2>"$work/menu.err" || {
  cat "$work/menu.err" >&2
  screenshot windows-tray-no-menu
  fail "a right-click on the tray icon opened no menu"
}
screenshot windows-tray-menu
# What the open menu shows (entries added after it opened are not drawn), in order.
shown=$(awk -F '\t' '$2 != "-" { print $1 "\t" $3 }' "$work/menu")
expected=$'1\tOT000001   ([0-9]{3} [0-9]{3}|…)\n1\tOT000002   ([0-9]{4} [0-9]{4}|…)\n0\tHT000001   HOTP: a code would count up the key\n[01]\t-\n1\tShow Umbrata\n1\tQuit'
[[ $shown =~ ^$expected$ ]] || { cat "$work/menu" >&2; fail "the first tray menu does not list every credential"; }
echo "--- the first tray menu:"
cat "$work/menu"

# OT000002, though OT000001 is the active one: its code on the clipboard.
read -r x y < <(awk -F '\t' '$3 ~ /^OT000002 / { print $2 }' "$work/menu")
# A menu takes a click on the entry that the pointer has lit up.
xdotool mousemove "$x" "$y"
lit() { "$wine" "$build/tests/tray_menu.exe" 2>/dev/null | tr -d '\r' | awk -F '\t' '$3 ~ /^OT000002 / && $4 == "*" { found = 1 } END { exit !found }'; }
wait_until lit 20 || { screenshot windows-tray-unlit; fail "the pointer over OT000002 does not light it up"; }
xdotool click 1
wait_until copied_sha256_code 10 || fail "choosing OT000002 in the tray menu did not copy its code: '$(xclip -o -selection clipboard 2>/dev/null)'"
echo "1 passed, 0 failed"
