#!/usr/bin/env bash
# The Credentials dialog in a real X server, from the keyboard alone: filtered down to the second
# credential, whose code Enter copies as oathtool computes it; once that one is made active the
# main page shows its code, and Ctrl+Q quits. Leaves build/screenshots/credentials.png.
# Usage: credentials_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start
write_three_credentials
start_umbrata "$work/keys.json"
wait_until '[ "$(log_count "value is ")" -ge 1 ]' || fail "no code"

press() { xdotool windowfocus --sync "$window" key "$@"; }

# Help's menu, then Left to Settings' and its second entry. The filter has the focus and takes its
# text in lower case; Down selects all the same, and Enter copies the code, when it arrives if it
# has not yet.
press alt+h Left Down Down Return
wait_until '[ "$(log_count "serial_number is: HT000001")" -ge 1 ]' || fail "the dialog did not read the credentials"
press o t 0 0 0 0 0 2 Down Return
wait_until copied_sha256_code || fail "the filter, Down and Enter did not copy the second credential's code"
import -window "$window" "$shots/credentials.png"

press alt+a
wait_until '[ "$(log_count "Made active: OT000002")" -ge 1 ]' || fail "Make active did nothing"
press Escape
printf 'other' | xclip -selection clipboard
wait_until 'press ctrl+c; copied_sha256_code' 5 || fail "the main page does not show the new active credential's code"
press ctrl+q
wait_until "! kill -0 $app 2>/dev/null" 10 || fail "Ctrl+Q did not end the program"
echo "1 passed, 0 failed"
