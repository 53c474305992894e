#!/usr/bin/env bash
# At 96, 120, 144 and 192 dpi, set as desktops set it (Xft.dpi in the X resources): the window is
# 1, 1.25, 1.5 and 2 times its size, its code box and shadow whole; and in each language every
# text of the window, its dialogs and menus fits (tests/e2e/fit/tst_fit.qml). Screenshots:
# build/screenshots/scale-<dpi>.png and build/screenshots/fit/<language>-<dpi>/.
# Usage: fit_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
. "$source_dir/tests/e2e/x_session.sh"
x_session_start -screen 0 1920x1200x24

for dpi in 96 120 144 192; do
  # Kept by the server only because it runs with -noreset; Xvfb's own -dpi would give 143.9 for
  # 144, from a screen size in whole millimetres.
  echo "Xft.dpi: $dpi" | xrdb -nocpp -merge
  start_umbrata "$source_dir/sim/keys.sample.json"
  wait_until code_box_drawn 10 || fail "no whole code box and shadow at $dpi dpi"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH" -eq $((320 * dpi / 96)) ] || fail "the window is $WIDTH px wide at $dpi dpi, not $((320 * dpi / 96))"
  import -window "$window" "$shots/scale-$dpi.png"
  kill "${started_pids[@]: -2}"
  wait_until "! kill -0 $app 2>/dev/null" || fail "the program did not end"

  for language in en de fr es; do
    mkdir -p "$shots/fit/$language-$dpi"
    LANGUAGE=$language UMBRATA_SHOTS="$shots/fit/$language-$dpi" QT_QUICK_BACKEND=software \
      "$build/tests/views_tests" -input "$source_dir/tests/e2e/fit" >"$work/fit.out" 2>&1 ||
      { grep -E "FAIL|Loc:" "$work/fit.out" >&2; fail "a text does not fit in $language at $dpi dpi"; }
  done
done
echo "1 passed, 0 failed"
