#!/usr/bin/env bash
# The Windows program under Wine in a real X server, from its deployed folder: umbrata-sim.exe on
# a Linux keysim shows, in German, the code that oathtool computes, and says that the clock is not
# synchronised where the time service is set not to synchronise; Ctrl+C puts it on the clipboard with the
# formats that keep it out of Windows' clipboard history, a setting chosen in the menu is kept in
# the registry, a replug is followed, and the log is in %APPDATA% of a profile whose name is not
# ASCII; then the real umbrata.exe, through hidapi's Windows backend, shows "No Key Detected!".
# Usage: program_test.sh WINDOWS_BUILD_DIR SOURCE_DIR QT_PREFIX
set -euo pipefail
build=$1
source_dir=$2
qt=$3
. "$source_dir/tests/windows/wine_session.sh"
wine_session_start
start_keysim_tcp "$source_dir/sim/keys.sample.json"
rm -f "$log_file"
settings='HKCU\Software\Orvalin Direzoda\Umbrata'
"$wine" reg delete "$settings" /f >/dev/null 2>&1 || true
# True when the registry holds "Clear copied codes" off, as QSettings writes a bool there.
codes_kept() { "$wine" reg query "$settings\\clipboard" /v clear_copied_codes 2>/dev/null | grep -q "REG_SZ *false"; }

# The deployed folder, with the simulated-key variant of the program beside the real one: a
# DLL, plugin or QML module that the folder lacks fails here as it would on Windows.
run="$work/Umbrata"
cp -r "$build/deploy/Umbrata" "$run"
cp "$build/gui/umbrata-sim.exe" "$build/sim/libhidapi-keysim.dll" "$run/"
export WINEPATH=""

timeout 60 "$wine" "$run/umbrata.exe" --version 2>&1 | tr -d "\r" >"$work/version.out" || true
grep -qx "umbrata $(sed -n 's/^project(Umbrata VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")" "$work/version.out" ||
  { cat "$work/version.out" >&2; fail "umbrata.exe --version did not print the version"; }

# A time service set not to synchronise, as the registry holds its configuration.
time_service='HKLM\SYSTEM\CurrentControlSet\Services\W32Time'
"$wine" reg add "$time_service" /v Start /t REG_DWORD /d 3 /f >/dev/null
"$wine" reg add "$time_service\Parameters" /v Type /t REG_SZ /d NoSync /f >/dev/null

# In German: the translations are in the program's resources there too.
"$wine" "$run/umbrata-sim.exe" --language de >"$work/umbrata.out" 2>&1 & app=$!
started_pids+=($app)
wait_until find_window 60 || { cat "$work/umbrata.out" >&2; fail "no window titled Umbrata"; }
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 30 || fail "no code from the simulated key"
[ -f "$log_file" ] || fail "no log in $app_data"
grep -q "Language: de" "$log_file" || fail "the German translation did not load"
echo "log: ${log_file#$WINEPREFIX/}"
expected="$(oathtool --totp -b GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ) $(oathtool --totp -N "30 seconds ago" -b GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ)"
code=$(last_code)
case " $expected " in *" $code "*) ;; *) fail "the code $code is not oathtool's ($expected)" ;; esac
wait_until code_box_drawn 10 || fail "the code box is not drawn"
grep -q "This computer's clock is not synchronised: codes may be refused." "$log_file" ||
  fail "a time service set to NoSync went unnoticed"
"$wine" reg delete "$time_service\Parameters" /v Type /f >/dev/null
screenshot windows-code

# Ctrl+C in the window: the code on the clipboard, as Wine hands it to X11 and as a Windows
# program lists its formats.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $(( WIDTH / 2 )) $(( HEIGHT - 20 )) click 1
xdotool key --window "$window" ctrl+c
wait_until '[ "$(xclip -o -selection clipboard 2>/dev/null)" = "$(last_code)" ]' 10 ||
  fail "Ctrl+C did not put the code on the clipboard: '$(xclip -o -selection clipboard 2>/dev/null)'"
"$wine" "$build/tests/clipboard_formats.exe" | tr -d '\r' >"$work/formats"
for format in "ExcludeClipboardContentFromMonitorProcessing 4" "CanIncludeInClipboardHistory 4" "CanUploadToCloudClipboard 4"; do
  grep -qx "$format" "$work/formats" || { cat "$work/formats" >&2; fail "the clipboard lacks $format"; }
done
echo "clipboard formats: $(tr '\n' ' ' <"$work/formats")"

# Settings, its third entry, "Clear copied codes after 30 s", turned off by the keyboard.
xdotool mousemove --window "$window" 100 15 click 1
xdotool key --window "$window" Down Down Down space
wait_until codes_kept 30 || fail "turning off \"Clear copied codes\" wrote nothing to the registry"

# Unplugged: the removal comes over the wire, the rescan finds nothing.
keysim unplug key0 >/dev/null
wait_until '[ "$(log_count "hid removal detected")" -ge 1 ] && [ "$(log_count "No key found")" -ge 1 ]' 10 ||
  fail "the removal was not followed by a rescan"
wait_until 'code_box_drawn; [ $? -eq 2 ]' || fail "the code box is still shown after the removal"
screenshot windows-unplugged
kill "$app" 2>/dev/null || true
wineserver -k 2>/dev/null || true

# The real program, through hidapi's Windows backend: Wine has no key to offer.
scans=$(log_count "No key found")
"$wine" "$run/umbrata.exe" >"$work/umbrata-real.out" 2>&1 & started_pids+=($!)
wait_until find_window 60 || { cat "$work/umbrata-real.out" >&2; fail "umbrata.exe showed no window"; }
wait_until '[ "$(log_count "No key found")" -gt "$scans" ]' 30 || fail "umbrata.exe did not scan for keys"
wait_until 'code_box_drawn; [ $? -eq 2 ]' || fail "umbrata.exe shows a code box without a key"
screenshot windows-no-key
# Read back by a new wineserver, from the prefix's own files.
codes_kept || fail "the setting was not kept"
echo "1 passed, 0 failed"
