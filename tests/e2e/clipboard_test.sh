#!/usr/bin/env bash
# The clipboard in a real X server: Ctrl+C puts the code there, marked as a secret for clipboard
# managers; it is gone once its lifetime ends (5 s here, 30 s for users), and at exit, also when
# a clipboard manager has taken the code over; a text that another client copied in between is
# left alone. Usage: clipboard_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
export UMBRATA_COPIED_CODE_LIFETIME_MS=5000

start_umbrata "$source_dir/sim/keys.sample.json"
wait_until '[ "$(log_count "value is ")" -ge 1 ]' || fail "no code"

clipboard() { xclip -o -selection clipboard "$@" 2>/dev/null; }
# Again at a step's end, when the log has the new code before the window shows it.
copy_code() {
  wait_until 'xdotool windowfocus --sync "$window" key ctrl+c; [ "$(clipboard)" = "$(last_code)" ]' 10 ||
    fail "Ctrl+C did not copy the code"
}

# The user copies something else within the lifetime: it stays.
copy_code
printf 'the user' | xclip -selection clipboard
wait_until '[ "$(log_count "changed since the code was copied")" -ge 1 ]' 15 || fail "no decision once the lifetime ended"
[ "$(clipboard)" = "the user" ] || fail "the text the user copied since was touched"

# Nobody copies anything else: the code is a secret to clipboard managers, and gone at the end.
copy_code
clipboard -t TARGETS | grep -qx x-kde-passwordManagerHint || fail "no password manager hint among the targets"
[ "$(clipboard -t x-kde-passwordManagerHint)" = secret ] || fail "the hint does not say secret"
wait_until '[ "$(log_count "cleared from the clipboard")" -ge 1 ]' 15 || fail "the code was not cleared when its lifetime ended"
! clipboard >/dev/null || fail "the clipboard still holds $(clipboard)"

# A clipboard manager takes the code over as its own, as xclip does here (until another client
# takes the clipboard from it): still the code, so it goes.
copy_code
printf '%s' "$(clipboard)" | xclip -selection clipboard -quiet >/dev/null 2>&1 & started_pids+=($!)
wait_until '[[ "$(clipboard -t TARGETS)" != *x-kde-passwordManagerHint* ]]' || fail "xclip did not take the clipboard over"
wait_until '[ "$(log_count "cleared from the clipboard")" -ge 2 ]' 15 || fail "the code that xclip took over was not cleared"
[ "$(log_count "changed since the code was copied")" -eq 1 ] || fail "the code that xclip took over was left alone"
! clipboard >/dev/null || fail "the clipboard still holds $(clipboard)"

# At exit, while the program still runs.
copy_code
close_with_file_exit "$app" clipboard-file-menu
[ "$(log_count "cleared from the clipboard")" -eq 3 ] || fail "the code was not cleared at exit"
echo "1 passed, 0 failed"
