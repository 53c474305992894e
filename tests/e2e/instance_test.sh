#!/usr/bin/env bash
# One Umbrata a session: two starts at the same moment leave one program, whose window is shown
# (run as root, whatever QML2_IMPORT_PATH offers);
# `umbrata --quit` ends it and exits 0, and with none running it exits 0 without starting one.
# Usage: instance_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
umbrata=$build/gui/umbrata-sim

"$build/sim/keysim" serve "$source_dir/sim/keys.sample.json" >"$work/keysim.log" 2>&1 &
started_pids+=($!)
wait_until '"$build/sim/keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"

# Run as root, the program is elevated and loads no code from elsewhere: a QtQuick.Controls
# planted on QML2_IMPORT_PATH, which would shadow Qt's own and break the window, is not looked at.
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$work/planted/QtQuick/Controls.2"
  printf 'module QtQuick.Controls\nplugin planted\n' >"$work/planted/QtQuick/Controls.2/qmldir"
  export QML2_IMPORT_PATH="$work/planted"
fi

# Both at once: one becomes the instance, the other asks it for its window and ends.
: >"$work/umbrata.out"
"$umbrata" >>"$work/umbrata.out" 2>&1 &
first=$!
"$umbrata" >>"$work/umbrata.out" 2>&1 &
second=$!
started_pids+=("$first" "$second")
wait_until '[ "$(log_count "-> Program Running!")" -eq 2 ] &&
            [ "$(log_count "Umbrata already runs in this session: its window is shown")" -eq 1 ]' 30 ||
  fail "two starts at the same moment did not give one program"
wait_until "! kill -0 $first 2>/dev/null || ! kill -0 $second 2>/dev/null" 10 || fail "the start that found the other runs on"
if kill -0 "$first" 2>/dev/null; then app=$first ended=$second; else app=$second ended=$first; fi
status=0
wait "$ended" || status=$?
[ "$status" -eq 0 ] || fail "the start that found the other ended with status $status"
kill -0 "$app" 2>/dev/null || fail "neither start runs on"
wait_until find_window 30 || fail "no window titled Umbrata"
screenshot instance-window

# --quit ends it, and returns once it has ended.
status=0
timeout 60 "$umbrata" --quit >"$work/quit.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/quit.out" >&2; fail "umbrata --quit ended with status $status (124: it did not end)"; }
[ "$(log_count "umbrata --quit asked this instance to quit")" -eq 1 ] || fail "the program was not asked to quit"
[ "$(log_count "The Umbrata of this session has ended")" -eq 1 ] || fail "umbrata --quit did not see the program end"
wait_until "! kill -0 $app 2>/dev/null" 10 || fail "the program runs on after umbrata --quit"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"

# None runs: --quit says so at once, and starts nothing.
status=0
timeout 60 "$umbrata" --quit >"$work/quit-again.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/quit-again.out" >&2; fail "umbrata --quit with none running ended with status $status"; }
[ "$(log_count "No Umbrata runs in this session")" -eq 1 ] || fail "umbrata --quit with none running found one to ask"
[ "$(log_count "-> Program Running!")" -eq 2 ] && ! find_window || fail "umbrata --quit started the program"
echo "1 passed, 0 failed"
