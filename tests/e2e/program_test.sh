#!/usr/bin/env bash
# The whole program in a real X server: umbrata-sim on a real keysim server, driven with
# xdotool, read back from the clipboard and the log. Usage: program_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
shots="$build/screenshots"
mkdir -p "$shots"
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
# In the sanitizer builds: Qt and the plugins it loads and unloads (D-Bus, input methods) keep
# memory until exit, where leak checking cannot tell theirs from ours; our own objects are
# leak-checked by the model and controller tests. Qt's own threads synchronise where
# ThreadSanitizer cannot see.
export ASAN_OPTIONS="detect_leaks=0"
export TSAN_OPTIONS="suppressions=$source_dir/tests/e2e/tsan.supp:halt_on_error=1"

sed 's/"plugged": true/"plugged": false/' "$source_dir/sim/keys.sample.json" >"$work/keys.json"
"$build/sim/keysim" serve "$work/keys.json" >"$work/keysim.log" 2>&1 &
started_pids+=($!)
wait_until '"$build/sim/keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"

"$build/gui/umbrata-sim" >"$work/umbrata.out" 2>&1 &
app=$!
started_pids+=($app)

# The window appears.
wait_until find_window 10 || fail "no window titled Umbrata"
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window at $X,$Y size ${WIDTH}x$HEIGHT"

# No key: the scan is logged, and no model.
wait_until '[ "$(log_count "No key found")" -ge 1 ]' || fail "the first scan is not in the log"
[ "$(log_count "Opening Orvalin handle")" -eq 0 ] || fail "a key was opened while none is plugged"
grep -q "Read log conf file from: $build/gui/log.conf" "$log_file" || fail "log.conf was not read from beside the program"
screenshot 1-no-key

# Plug the key: a code within 2 s, equal to oathtool's.
"$build/sim/keysim" plug key0 >/dev/null
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 2 || fail "no code within 2 s of plugging the key"
code=$(printf '%06d' "$(grep -o 'value is [0-9]*' "$log_file" | tail -n 1 | cut -d' ' -f3)")
now=$(date +%s)
expected_now=$(oathtool --totp -b -d 6 --now "@$now" GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ)
expected_before=$(oathtool --totp -b -d 6 --now "@$((now - 3))" GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ)
[ "$code" = "$expected_now" ] || [ "$code" = "$expected_before" ] || fail "code $code, oathtool says $expected_now"
echo "code $code equals oathtool's"
sleep 0.7  # the page shows the code at its next repaint
screenshot 2-code

# The copy button: the rightmost dark pixels in the band of the code box.
# Retried once: a step may end between the screenshot and the click.
copied=""
for attempt in 1 2; do
  code=$(printf '%06d' "$(grep -o 'value is [0-9]*' "$log_file" | tail -n 1 | cut -d' ' -f3)")
  import -window "$window" "$work/window.png"
  read -r bx by < <(convert "$work/window.png" -crop "$((WIDTH / 2))x120+$((WIDTH / 2))+40" +repage txt:- |
    awk -F'[,: ()]+' 'NR > 1 && $4 < 120 && $5 < 120 && $6 < 120 { n++; x[n] = $1; y[n] = $2; if ($1 > right) right = $1 }
                      END { for (i = 1; i <= n; i++) if (x[i] > right - 22) { m++; sx += x[i]; sy += y[i] }
                            if (m) printf "%d %d\n", sx / m, sy / m }')
  [ -n "${bx:-}" ] || fail "no copy button on screen"
  xdotool mousemove --window "$window" "$((WIDTH / 2 + bx))" "$((40 + by))" click 1
  sleep 0.3
  copied=$(xclip -o -selection clipboard 2>/dev/null || true)
  [ "$copied" = "$code" ] && break
done
[ "$copied" = "$code" ] || fail "the clipboard holds '$copied', the code is $code"
echo "copied $copied"

# Unplug: the removal is noticed and the rescan finds nothing.
scans=$(log_count "Scanning for keys")
"$build/sim/keysim" unplug key0 >/dev/null
wait_until '[ "$(log_count "hid removal detected")" -ge 1 ]' || fail "the removal is not in the log"
wait_until '[ "$(log_count "Scanning for keys")" -gt "$scans" ] && [ "$(log_count "No key found")" -ge 2 ]' ||
  fail "no rescan after the removal"
sleep 0.3
screenshot 3-unplugged

# Plug again: the code comes back.
codes=$(log_count "value is ")
"$build/sim/keysim" plug key0 >/dev/null
wait_until '[ "$(log_count "value is ")" -gt "$codes" ]' 3 || fail "no code after plugging the key again"
sleep 0.7
screenshot 4-plugged-again

# Close with File, Exit: exit status 0, nothing left behind.
close_with_file_exit "$app" 5-file-menu
! pgrep -f "$build/gui/umbrata-sim" >/dev/null || fail "an umbrata-sim process is left"
[ "$("$build/sim/keysim" list | grep -c ' 0 handles open')" -eq 1 ] || fail "a handle on the key is left open"
echo "1 passed, 0 failed"
