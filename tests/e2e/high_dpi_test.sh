#!/usr/bin/env bash
# On a screen of 192 dpi the window is twice its size at 96 dpi, its images drawn from their @2x
# variants (build/screenshots/high-dpi.png shows it). Usage: high_dpi_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start -screen 0 1920x1200x24 -dpi 192

start_umbrata "$source_dir/sim/keys.sample.json"
wait_until '[ "$(log_count "value is ")" -ge 1 ]' || fail "no code"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "${WIDTH}x$HEIGHT" = 640x650 ] || fail "the window is ${WIDTH}x$HEIGHT at 192 dpi, not 640x650"
import -window "$window" "$shots/high-dpi.png"
echo "1 passed, 0 failed"
