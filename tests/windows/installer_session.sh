#!/usr/bin/env bash
# The installer under Wine: a silent per-user install, the installed folder's program showing
# the code from a Linux keysim, then the uninstaller, which leaves the log folder and settings.
# Usage: installer_session.sh WINDOWS_BUILD_DIR SOURCE_DIR SETUP_EXE
set -euo pipefail
build=$1
source_dir=$2
setup=$3
qt=""
. "$source_dir/tests/windows/wine_session.sh"
wine_session_start
start_keysim_tcp "$source_dir/sim/keys.sample.json"
export WINEPATH=""

# The installed folder's DLLs, plugins and QML modules, driven by the simulated-key variant of
# the program: Wine has no real key to offer.
installed_shows_code() {
  local folder=$1
  cp "$build/gui/umbrata-sim.exe" "$build/sim/libhidapi-keysim.dll" "$folder/"
  local codes
  codes=$(log_count "value is ")
  "$wine" "$folder/umbrata-sim.exe" >"$work/installed.out" 2>&1 &
  local app=$!
  wait_until find_window 60 || { cat "$work/installed.out" >&2; fail "the installed program showed no window"; }
  wait_until '[ "$(log_count "value is ")" -gt "$codes" ]' 30 || fail "the installed program showed no code"
  wait_until code_box_drawn 10 || fail "the installed program draws no code box"
  screenshot windows-installed
  kill "$app" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -f "$folder/umbrata-sim.exe" "$folder/libhidapi-keysim.dll"
}
export -f installed_shows_code find_window wait_until log_count code_box_drawn screenshot fail
export work shots log_file wine build

INSTALLED_CHECK=installed_shows_code "$source_dir/tests/windows/installer_test.sh" "$setup" "$WINEPREFIX" "$build/deploy/Umbrata"
