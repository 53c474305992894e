#!/usr/bin/env bash
# The installer under Wine, as a user without administrator rights runs it: a silent install
# into %LOCALAPPDATA%\Programs\Umbrata whose folder shows the code from a Linux keysim, an upgrade
# over the running program, then the silent uninstaller, which leaves the log and the settings.
# Usage: installer_test.sh WINDOWS_BUILD_DIR SOURCE_DIR SETUP_EXE
set -euo pipefail
build=$1
source_dir=$2
setup=$3
qt=""
. "$source_dir/tests/windows/wine_session.sh"
wine_session_start
start_keysim_tcp "$source_dir/sim/keys.sample.json"
export WINEPATH=""
folder() { winepath -u "$("$wine" cmd /c echo "%$1%" | tr -d '\r')"; }
dir=$(realpath -m "$(folder LOCALAPPDATA)/Programs/Umbrata")
shortcut="$(folder APPDATA)/Microsoft/Windows/Start Menu/Programs/Umbrata.lnk"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Umbrata'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings='HKCU\Software\Orvalin Direzoda\Umbrata'
has() { "$wine" reg query "$1" /v "$2" >/dev/null 2>&1; }
install() { "$wine" "$setup" /S && wineserver -w || fail "the silent install failed"; }

install
diff <(cd "$build/deploy/Umbrata" && find . -type f | sort) \
  <(cd "$dir" && find . -type f ! -name Uninstall.exe ! -name installed-files.lst | sort) || fail "the installed files are not the deploy folder's"
[ -f "$shortcut" ] && has "$uninstall" QuietUninstallString || fail "no Start-menu entry or no uninstall entry"

# The installed DLLs, plugins and QML modules, driven by the simulated-key variant of the program
# (Wine has no real key to offer); it runs on while the upgrade comes, which must close it.
cp "$build/gui/umbrata-sim.exe" "$build/sim/libhidapi-keysim.dll" "$dir/"
"$wine" "$dir/umbrata-sim.exe" >"$work/installed.out" 2>&1 &
app=$!
wait_until find_window 60 || { cat "$work/installed.out" >&2; fail "the installed program showed no window"; }
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 30 && wait_until code_box_drawn 10 || fail "the installed program shows no code"
screenshot windows-installed
install
wait_until "! kill -0 $app 2>/dev/null" 10 || fail "the upgrade did not close the running program"
rm "$dir/umbrata-sim.exe" "$dir/libhidapi-keysim.dll"

# A start-at-login entry goes with the program; the log and the settings stay.
"$wine" reg add "$run_key" /v Umbrata /t REG_SZ /d umbrata.exe /f >/dev/null
"$wine" reg add "$settings" /v mark /t REG_SZ /d kept /f >/dev/null
"$wine" "$dir/Uninstall.exe" /S && wineserver -w || fail "the silent uninstall failed"
[ ! -e "$dir" ] && [ ! -e "$shortcut" ] && ! has "$uninstall" QuietUninstallString || fail "the uninstaller left the program behind"
! has "$run_key" Umbrata || fail "the start-at-login entry is still there"
[ -f "$log_file" ] && has "$settings" mark || fail "the uninstaller removed the log or the settings"
echo "1 passed, 0 failed"
