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

"$build/sim/keysim" serve "$source_dir/sim/keys.sample.json" >"$work/keysim.log" 2>&1 & started_pids+=($!)
wait_until '"$build/sim/keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"

# Run as root, the program is elevated and loads no code from elsewhere: a QtQuick.Window, which
# the window imports at start, planted on QML2_IMPORT_PATH, which would shadow Qt's own and break
# the window, is not looked at.
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$work/planted/QtQuick/Window.2" && export QML2_IMPORT_PATH="$work/planted"
  printf 'module QtQuick.Window\nplugin planted\n' >"$work/planted/QtQuick/Window.2/qmldir"
fi

# Both at once: one becomes the instance, the other asks it for its window and ends with status 0.
"$umbrata" >"$work/first.out" 2>&1 & first=$!
"$umbrata" >"$work/second.out" 2>&1 & second=$!
started_pids+=("$first" "$second")
wait_until '[ "$(log_count "-> Program Running!")" -eq 2 ] &&
            [ "$(log_count "Umbrata already runs in this session: its window is shown")" -eq 1 ]' 30 ||
  fail "two starts at the same moment did not give one program"
wait_until "! kill -0 $first 2>/dev/null || ! kill -0 $second 2>/dev/null" 10 || fail "the start that found the other runs on"
if kill -0 "$first" 2>/dev/null; then app=$first ended=$second; else app=$second ended=$first; fi
wait "$ended" || fail "the start that found the other ended with status $?"
kill -0 "$app" 2>/dev/null && wait_until find_window 30 || fail "no program runs with its window shown"
screenshot instance-window

# --quit ends it and returns once it has ended; with none running it says so, and starts nothing.
for asked in 1 0; do
  timeout 60 "$umbrata" --quit >"$work/quit.out" 2>&1 || { cat "$work/quit.out" >&2; fail "umbrata --quit ended with status $? (124: it did not end)"; }
  [ "$(log_count "umbrata --quit asked this instance to quit")" -eq 1 ] && [ "$(log_count "The Umbrata of this session has ended")" -eq 1 ] &&
    [ "$(log_count "No Umbrata runs in this session")" -eq $((1 - asked)) ] || fail "umbrata --quit: the log does not say what it did"
  [ "$asked" -eq 0 ] || { wait "$app" || fail "the program ended with status $? after umbrata --quit"; }
done
[ "$(log_count "-> Program Running!")" -eq 2 ] && ! find_window || fail "umbrata --quit started the program"
echo "1 passed, 0 failed"
