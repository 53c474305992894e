#!/usr/bin/env bash
# The installer under Wine, as a user without administrator rights runs it: a silent install
# into %LOCALAPPDATA%\Programs\Umbrata whose folder shows the code from a Linux keysim, upgrades
# over the running program, shown or hidden in the tray, from this version and from one before
# umbrata.exe --quit, an install for everyone beside it and its removal, then the silent
# uninstaller, which leaves the log and the settings.
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
dir="$profile/AppData/Local/Programs/Umbrata"
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/Umbrata.lnk"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Umbrata'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings='HKCU\Software\Orvalin Direzoda\Umbrata'
has() { "$wine" reg query "$1" /v "$2" >/dev/null 2>&1; }
# The installer's own status: the installed program runs on past it when it was not closed.
install() { "$wine" "$setup" /S "$@" || fail "the silent install $* failed with status $?"; }
"$wine" reg delete "$settings" /f >/dev/null 2>&1 || true

install
diff <(cd "$build/deploy/Umbrata" && find . -type f | sort) \
  <(cd "$dir" && find . -type f ! -name Uninstall.exe ! -name installed-files.lst | sort) || fail "the installed files are not the deploy folder's"
[ -f "$shortcut" ] && has "$uninstall" QuietUninstallString || fail "no Start-menu entry or no uninstall entry"

# The installed DLLs, plugins and QML modules, driven by the simulated-key variant of the program
# (Wine has no real key to offer); it runs on while the upgrade comes, which must close it.
cp "$build/gui/umbrata-sim.exe" "$build/sim/libhidapi-keysim.dll" "$dir/"
"$wine" "$dir/umbrata-sim.exe" >"$work/installed.out" 2>&1 & app=$!
wait_until find_window 60 || { cat "$work/installed.out" >&2; fail "the installed program showed no window"; }
wait_until '[ "$(log_count "value is ")" -ge 1 ]' 30 && wait_until code_box_drawn 10 || fail "the installed program shows no code"
screenshot windows-installed
install
wait_until "! kill -0 $app 2>/dev/null" 10 || fail "the upgrade did not close the running program"
rm "$dir/umbrata-sim.exe" "$dir/libhidapi-keysim.dll"

# Kept running in the tray, a hidden Umbrata only hides on WM_CLOSE. An upgrade over this version
# asks it to quit through umbrata.exe --quit; over a version before that, whose uninstall entry
# lacks QuitOption, it ends the process.
"$wine" reg add "$settings\\tray" /v keep_running /t REG_SZ /d true /f >/dev/null
quit_request="umbrata --quit asked this instance to quit"
for case in "this 1" "earlier 0"; do
  read -r version asked <<<"$case"
  [ "$version" = this ] || "$wine" reg delete "$uninstall" /v QuitOption /f >/dev/null
  scans=$(log_count "No key found")
  requests=$(log_count "$quit_request")
  # As the Start menu starts it: the installer knows the program by its Windows path.
  "$wine" "C:\\users\\$USER\\AppData\\Local\\Programs\\Umbrata\\umbrata.exe" --hidden >"$work/hidden.out" 2>&1 &
  app=$!
  wait_until '[ "$(log_count "No key found")" -gt "$scans" ]' 60 || { cat "$work/hidden.out" >&2; fail "the hidden Umbrata did not start"; }
  install
  wait_until "! kill -0 $app 2>/dev/null" 10 || fail "the upgrade over the $version version left Umbrata running"
  [ "$(log_count "$quit_request")" -eq $((requests + asked)) ] ||
    fail "over the $version version, the upgrade asked Umbrata to quit $(( $(log_count "$quit_request") - requests )) times, not $asked"
done

# For everyone: elevated (Wine consents by itself), into Program Files, with its entries in HKLM
# and the all-users Start menu, beside the user's own install, which its removal leaves alone.
# The uninstaller, started as from Explorer, finds out that it is the one for everyone.
everyone="$WINEPREFIX/drive_c/Program Files/Umbrata"
everyone_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Umbrata'
install /AllUsers
[ -f "$everyone/umbrata.exe" ] && [ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Umbrata.lnk" ] &&
  has "$everyone_uninstall" QuietUninstallString || fail "the install for everyone is not in Program Files, the all-users Start menu and HKLM"
"$wine" "$everyone/Uninstall.exe" /S && wineserver -w || fail "the silent uninstall for everyone failed"
[ ! -e "$everyone" ] && ! has "$everyone_uninstall" QuietUninstallString || fail "the uninstaller for everyone left the program behind"
[ -f "$dir/umbrata.exe" ] && [ -f "$shortcut" ] && has "$uninstall" QuietUninstallString || fail "removing the install for everyone touched the user's own"

# A start-at-login entry goes with the program; the log and the settings stay.
"$wine" reg add "$run_key" /v Umbrata /t REG_SZ /d umbrata.exe /f >/dev/null
"$wine" reg add "$settings" /v mark /t REG_SZ /d kept /f >/dev/null
"$wine" "$dir/Uninstall.exe" /S && wineserver -w || fail "the silent uninstall failed"
[ ! -e "$dir" ] && [ ! -e "$shortcut" ] && ! has "$uninstall" QuietUninstallString || fail "the uninstaller left the program behind"
! has "$run_key" Umbrata || fail "the start-at-login entry is still there"
[ -f "$log_file" ] || fail "the uninstaller removed the log"
# Read through a wineserver that starts anew from the prefix's files, which may come up slowly.
wait_until 'has "$settings" mark' 10 || fail "the uninstaller removed the settings"
echo "1 passed, 0 failed"
