#!/usr/bin/env bash
# The whole program in a real X server: umbrata-sim on a real keysim server, driven with
# xdotool, read back from the clipboard and the log. Usage: program_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start

# key0 starts unplugged. A key that may not be opened: the controller's test (the flag) and the
# views' test (the hint it shows).
sed -e 's/"plugged": true/"plugged": false/' "$source_dir/sim/keys.sample.json" >"$work/keys.json"
start_umbrata "$work/keys.json"

# No key: the scan is logged.
wait_until '[ "$(log_count "No key found")" -ge 1 ]' || fail "the first scan is not in the log"
grep -q "Read log conf file from: $build/gui/log.conf" "$log_file" || fail "log.conf was not read from beside the program"
screenshot 1-no-key

# Plug the key: a code, the time it took reported (not a limit).
start=$(date +%s%3N)
"$build/sim/keysim" plug key0 >/dev/null
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 10 || fail "no code after plugging the key"
echo "key plugged to code: $(( $(date +%s%3N) - start )) ms, polled every 50 ms"
wait_until code_box_drawn || fail "the code box is not drawn: no code in it, or no shadow"
screenshot 2-code

# Unplug: the removal is noticed and the rescan finds nothing.
scans=$(log_count "Scanning for keys")
"$build/sim/keysim" unplug key0 >/dev/null
wait_until '[ "$(log_count "hid removal detected")" -ge 1 ]' || fail "the removal is not in the log"
wait_until '[ "$(log_count "Scanning for keys")" -gt "$scans" ] && [ "$(log_count "No key found")" -ge 2 ]' ||
  fail "no rescan after the removal"
wait_until 'code_box_drawn; [ $? -eq 2 ]' || fail "the code box is still shown after the removal"
screenshot 3-unplugged

# Plug again: the code comes back.
codes=$(log_count "value is ")
"$build/sim/keysim" plug key0 >/dev/null
wait_until '[ "$(log_count "value is ")" -gt "$codes" ]' 3 || fail "no code after plugging the key again"
wait_until code_box_drawn || fail "the code box is not drawn after plugging the key again"
screenshot 4-plugged-again

# Close with File, Exit: exit status 0, nothing left behind.
close_with_file_exit "$app" 5-file-menu
! grep -i -E "support|shader" "$work/umbrata.out" || fail "the software scene graph cannot draw everything"
"$build/sim/keysim" list | grep -q '^key0 .* 0 handles open' || fail "a handle on the key is left open"

# The OpenGL scene graph, to compare with 2-code.png (the default, software one).
codes=$(log_count "value is ")
QT_QUICK_BACKEND=opengl "$build/gui/umbrata-sim" >"$work/umbrata-opengl.out" 2>&1 & started_pids+=($!)
wait_until '[ "$(log_count "value is ")" -gt "$codes" ] && find_window && code_box_drawn' 10 ||
  fail "no code box on the OpenGL scene graph"
screenshot 6-opengl
echo "1 passed, 0 failed"
