#!/usr/bin/env bash
# Umbrata's Windows setup program under Wine: a silent install, what it installed and registered,
# a reinstall over it as an upgrade does, then a silent removal that must take away all it
# installed and leave the user's log and settings.
#
# Usage: installer_test.sh [SETUP_EXE [WINEPREFIX [DEPLOY_DIR]]]; each may be given in the
# environment instead. The prefix must exist (wineboot -i) and is changed by the test. With
# DEPLOY_DIR, the installed folder must hold exactly its files. With INSTALLED_CHECK set, its
# words are run as a command with the install folder's Unix path added, after the install: it
# may start the installed program, which the upgrade then has to close.
set -euo pipefail
setup=$(realpath "${1:-${SETUP_EXE:?usage: installer_test.sh SETUP_EXE WINEPREFIX [DEPLOY_DIR]}}")
WINEPREFIX=$(realpath "${2:-${WINEPREFIX:?usage: installer_test.sh SETUP_EXE WINEPREFIX [DEPLOY_DIR]}}")
deploy=${3:-${DEPLOY_DIR:-}}
export WINEPREFIX WINEDEBUG=-all
# No offer to fetch Mono or Gecko; no menu entries on this machine's own desktop for the shortcut.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=;winemenubuilder.exe=d"
# Wine's windows need an X server, even those a silent install only makes and never shows.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a bash "$0" "$setup" "$WINEPREFIX" "$deploy"

# Only against a hang: an install, the whole program's removal or Wine's shutdown, whichever is
# slow, takes seconds.
limit=${INSTALLER_TEST_LIMIT:-900}
passed=0
trap 'wineserver -k 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
run() { timeout "$limit" wine "$@"; }
wine_settled() { timeout "$limit" wineserver -w || fail "Wine's processes did not end"; }
# The Unix path of a Windows environment folder (%LOCALAPPDATA%, ...) of the prefix's user.
folder_of() { realpath -m "$(winepath -u "$(run cmd /c echo "%$1%" | tr -d '\r')")"; }
reg_has() { run reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
# A value of HKCU's uninstall entry, as reg prints it after its name and type.
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Umbrata'
uninstall_value() { run reg query "$uninstall_key" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Orvalin Direzoda\Umbrata'

[ -f "$WINEPREFIX/system.reg" ] || fail "$WINEPREFIX is no Wine prefix (make it with wineboot -i)"
local_app_data=$(folder_of LOCALAPPDATA)
app_data=$(folder_of APPDATA)
dir="$local_app_data/Programs/Umbrata"
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/Umbrata.lnk"
log="$app_data/Orvalin Direzoda/Umbrata/Umbrata.log"
# A run that failed half-way may have left its install in a prefix that is kept between runs.
if [ -e "$dir" ] || reg_has "$uninstall_key"; then
  echo "note: removing an earlier run's install"
  rm -rf "$dir" "$shortcut"
  run reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
fi

installed() {
  for f in umbrata.exe umbrata-cli.exe Uninstall.exe; do [ -f "$dir/$f" ] || fail "$1: no $f in $dir"; done
  if [ -n "$deploy" ]; then
    diff <(cd "$deploy" && find . -type f | LC_ALL=C sort) \
      <(cd "$dir" && find . -type f ! -path ./Uninstall.exe ! -path ./installed-files.lst | LC_ALL=C sort) ||
      fail "$1: the install folder's files are not the deploy folder's"
    differ=$(cd "$deploy" && find . -type f ! -exec cmp -s {} "$dir/{}" \; -print)
    [ -z "$differ" ] || fail "$1: installed files differ from the deploy folder's: $differ"
  fi
  pass "$1: the files are in $dir"
}

status=0
run "$setup" /S || status=$?
wine_settled
[ "$status" = 0 ] || fail "silent install exited with $status"
pass "silent install exited with 0"
installed install

[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
strings -a -e l "$shortcut" | grep -qi 'umbrata\.exe' || strings -a "$shortcut" | grep -qi 'umbrata\.exe' ||
  fail "the Start-menu shortcut does not name umbrata.exe"
pass "Start-menu shortcut to umbrata.exe"

reg_has "$uninstall_key" || fail "no uninstall entry $uninstall_key"
for v in DisplayName DisplayVersion Publisher UninstallString QuietUninstallString InstallLocation DisplayIcon \
  NoModify NoRepair EstimatedSize; do
  reg_has "$uninstall_key" "$v" || fail "the uninstall entry has no $v"
done
[ "$(uninstall_value DisplayName)" = Umbrata ] || fail "DisplayName is '$(uninstall_value DisplayName)'"
[ "$(uninstall_value Publisher)" = "Orvalin Direzoda" ] || fail "Publisher is '$(uninstall_value Publisher)'"
[ "$(realpath -m "$(winepath -u "$(uninstall_value InstallLocation)")")" = "$dir" ] ||
  fail "InstallLocation '$(uninstall_value InstallLocation)' is not $dir"
pass "uninstall entry, version $(uninstall_value DisplayVersion)"

if [ -n "${INSTALLED_CHECK:-}" ]; then
  read -ra check <<<"$INSTALLED_CHECK"
  "${check[@]}" "$dir" || fail "INSTALLED_CHECK $INSTALLED_CHECK failed"
  pass "INSTALLED_CHECK $INSTALLED_CHECK"
fi

# Over the installed (and perhaps running) program, as an upgrade goes.
status=0
run "$setup" /S || status=$?
wine_settled
[ "$status" = 0 ] || fail "silent install over the installed program exited with $status"
pass "silent install over the installed program exited with 0"
installed upgrade

# What the program and its user make: the start-at-login entry must go with the program, the log
# and the settings must stay. Marks of this run's own, added to whatever log and settings the
# program left, which are kept for whoever looks into a failure.
windows_dir=$(uninstall_value InstallLocation)
mark="installer_test $$ $(date +%s)"
run reg add "$run_key" /v Umbrata /t REG_SZ /d "\"$windows_dir\\umbrata.exe\"" /f >/dev/null
run reg add "$settings_key" /v installerTestMark /t REG_SZ /d "$mark" /f >/dev/null
mkdir -p "$(dirname "$log")"
echo "$mark" >>"$log"
if ! reg_has "$run_key" Umbrata || ! reg_has "$settings_key" installerTestMark; then fail "reg add did not add the values"; fi

# As Windows' settings app runs it. It copies itself to %TEMP% and returns at once, the copy does
# the work: the removal is over when Wine's last process has ended.
quiet=$(uninstall_value QuietUninstallString)
[[ $quiet =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString '$quiet' is not '\"PROGRAM\" ARGUMENTS'"
read -ra arguments <<<"${BASH_REMATCH[2]}"
status=0
run "${BASH_REMATCH[1]}" "${arguments[@]}" || status=$?
wine_settled
[ "$status" = 0 ] || fail "silent uninstall exited with $status"
[ ! -e "$dir" ] || fail "$dir is still there: $(cd "$dir" && find . | head -20 | tr '\n' ' ')"
pass "silent uninstall removed $dir"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
pass "the Start-menu shortcut is gone"
! reg_has "$uninstall_key" || fail "the uninstall entry is still there"
pass "the uninstall entry is gone"
! reg_has "$run_key" Umbrata || fail "the start-at-login entry is still there"
reg_has "$run_key" || fail "the uninstaller removed all of $run_key"
pass "the start-at-login entry is gone"
grep -qxF "$mark" "$log" 2>/dev/null || fail "the uninstaller removed the log $log"
pass "the log is kept"
[ "$(run reg query "$settings_key" /v installerTestMark | tr -d '\r' | sed -n 's/^ *installerTestMark *REG_SZ *//p')" = "$mark" ] ||
  fail "the uninstaller removed the settings in $settings_key"
run reg delete "$settings_key" /v installerTestMark /f >/dev/null
pass "the settings are kept"
echo "installer_test: $passed passed, 0 failed"
