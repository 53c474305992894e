#!/usr/bin/env bash
# The copied code on Wayland, read back with wl-paste as any other program would read it:
# - Weston (its X11 backend in Xvfb, kiosk shell), which offers no data control: the wipe after
#   the copy's lifetime is refused and logged so, never as "cleared", and the window's next input
#   (Ctrl+Q, which a shortcut takes before the window sees it) replaces the code;
# - sway (headless, in a user namespace: it refuses to run as root), which offers data control:
#   with another window in front, the wipe clears the code and says so.
# Usage: wayland_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
export QT_QPA_PLATFORM=wayland UMBRATA_COPIED_CODE_LIFETIME_MS=8000

"$build/sim/keysim" serve "$source_dir/sim/keys.sample.json" >"$work/keysim.log" 2>&1 & started_pids+=($!)
wait_until '"$build/sim/keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"

# Starts umbrata-sim on the compositor of $WAYLAND_DISPLAY and waits for its first code.
start_on_wayland() {
  "$build/gui/umbrata-sim" >"$work/umbrata.out" 2>&1 & app=$!; started_pids+=($app)
  local codes=$(log_count "value is ")
  wait_until '[ "$(log_count "value is ")" -gt '"$codes"' ]' 30 || fail "no code on $1"
}
# True when the clipboard holds a code that the window showed.
holds_a_shown_code() { local copied; copied=$(wl-paste -n 2>/dev/null) && key_gave "$copied"; }

weston --backend=x11-backend.so --shell=kiosk-shell.so --socket=umbrata-weston --width=640 --height=480 \
  --idle-time=0 >"$work/weston.log" 2>&1 & started_pids+=($!)
export WAYLAND_DISPLAY=umbrata-weston
wait_until '[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]' 10 || fail "weston did not start"
start_on_wayland Weston
# Keys reach weston's window on the X server, and weston gives them to the window in front.
xdotool key ctrl+c
wait_until holds_a_shown_code || fail "Ctrl+C did not copy the code under Weston"
wait_until '[ "$(log_count "refused to clear the copied code")" -eq 1 ]' 30 || fail "no refused wipe logged under Weston"
holds_a_shown_code || fail "the code left the clipboard though the wipe was refused"
screenshot weston-code-left
xdotool key ctrl+q
wait_until "! kill -0 $app 2>/dev/null" 10 || fail "Ctrl+Q did not end the program"
wait "$app" || fail "the program ended with status $?"
[ "$(log_count "replaced by an empty text in the clipboard")" -eq 1 ] || fail "Ctrl+Q did not replace the code"
! holds_a_shown_code || fail "the code is still in Weston's clipboard after the window's input"
[ "$(log_count "was cleared from the clipboard")" -eq 0 ] || fail "a wipe that Weston refused was logged as done"

unshare --user --map-user=1000 --map-group=1000 true 2>/dev/null ||
  { echo "note: no user namespaces here: sway, which refuses to run as root, is left out"; echo "1 passed, 0 failed"; exit 0; }
printf 'xwayland disable\n' >"$work/sway.config"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  unshare --user --map-user=1000 --map-group=1000 sway -c "$work/sway.config" >"$work/sway.log" 2>&1 & started_pids+=($!)
wait_until 'ls "$XDG_RUNTIME_DIR"/wayland-? >/dev/null 2>&1' 10 || { cat "$work/sway.log" >&2; fail "sway did not start"; }
WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-? | head -n 1)")
start_on_wayland sway
# Pauses, so that the window has its virtual keyboard before the keys come.
wtype -s 500 -M ctrl -s 300 c -s 300 -m ctrl
wait_until holds_a_shown_code || fail "Ctrl+C did not copy the code under sway"
weston-simple-shm >/dev/null 2>&1 & started_pids+=($!)
wait_until '! wl-paste -n >/dev/null 2>&1' 30 || fail "the code stayed in sway's clipboard"
[ "$(log_count "was cleared from the clipboard")" -eq 1 ] || fail "the wipe through data control was not logged"
kill -0 "$app" || fail "the program ended"
echo "1 passed, 0 failed"
