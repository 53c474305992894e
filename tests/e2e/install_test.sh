#!/usr/bin/env bash
# The installed tree runs: cmake --install into a temporary prefix, then the installed umbrata
# starts under Xvfb and reads the log.conf installed beside it. Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }
for f in bin/umbrata lib/umbrata/umbrata lib/umbrata/log.conf share/applications/com.example.orvalin.umbrata.desktop \
         share/icons/hicolor/512x512/apps/umbrata.png lib/udev/rules.d/70-umbrata.rules; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
[ -L "$prefix/bin/umbrata" ] || fail "bin/umbrata is not a link"
desktop-file-validate "$prefix/share/applications/com.example.orvalin.umbrata.desktop" || fail "the desktop entry is not valid"

(cd "$work" && exec "$prefix/bin/umbrata") >"$work/umbrata.out" 2>&1 &
app=$!
started_pids+=($app)
wait_until find_window 10 || fail "the installed umbrata shows no window"
wait_until '[ "$(log_count "Scanning for keys")" -ge 1 ]' || fail "the installed umbrata does not log"
grep -q "Read log conf file from: $prefix/lib/umbrata/log.conf" "$log_file" ||
  fail "the installed umbrata did not read its log.conf"
screenshot installed
close_with_file_exit "$app" installed-file-menu
echo "1 passed, 0 failed"
