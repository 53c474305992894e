#!/usr/bin/env bash
# Shared by the tests that run Windows programs under Wine (which set build, source_dir and qt):
# the end-to-end session (a private X server, screenshots, clean-up), a private Wine prefix in the
# build folder for an account whose name is not ASCII, and a Linux keysim that the Windows
# programs reach over loopback TCP. Source it; call wine_session_start first. Run as a ctest, it
# runs the Windows test program PROGRAM.exe against a keysim that the program resets for each
# test:
#   wine_session.sh WINDOWS_BUILD_DIR SOURCE_DIR QT_PREFIX PROGRAM.exe
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  build=$1 source_dir=$2 qt=$3
fi
. "$source_dir/tests/e2e/x_session.sh"

wine_session_start() {
  x_session_start "$@"
  export WINEPREFIX="$build/wine-prefix"
  export WINEDEBUG=-all
  # The Windows account, named after USER when Wine makes the prefix, has a name beyond ASCII, and
  # so has its profile folder, where the log goes. Wine reads the name in the locale's encoding.
  export USER='Łukasz Müller' LC_ALL=C.UTF-8
  profile="$WINEPREFIX/drive_c/users/$USER"
  # No Mono or Gecko to offer, and no menu entries written into the Linux home: nothing here uses them.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wine=$(command -v wine || echo /usr/lib/wine/wine64)
  # One wineserver for the prefix, bound to this X server: one left by an earlier test would
  # show our windows on its own, gone, display.
  wineserver -k 2>/dev/null || true
  # Nothing runs in the prefix now. A new wineserver hands out the same process ids again: the
  # instance lock of an Umbrata that was killed would name the next one itself, which would end.
  rm -f "$profile/Temp/"umbrata-*.lock
  # A prefix made for another account is made anew.
  if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$profile" ]; then
    rm -rf "${build:?}/wine-prefix"
    "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; fail "wineboot failed"; }
  fi
  # DLLs are found along PATH; Wine's drive Z: is the Linux root.
  local runtime
  runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  local dir
  WINEPATH=""
  for dir in "$qt/bin" "$runtime" /usr/x86_64-w64-mingw32/lib "$build/sim"; do WINEPATH+="Z:${dir//\//\\};"; done
  export WINEPATH
  # %APPDATA%, as Wine lays out a profile.
  app_data="$profile/AppData/Roaming"
  log_file="$app_data/Orvalin Direzoda/Umbrata/Umbrata.log"
  trap wine_session_stop EXIT
}

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  x_session_stop
}

# Starts the Linux keysim on the config file $1, listening on a free loopback TCP port too, and
# points KEYSIM_SOCKET there, for the Windows programs and keysim's own control commands alike.
# More arguments go to keysim serve (--record).
start_keysim_tcp() {
  local config=$1
  shift
  KEYSIM_SOCKET="$work/keysim.sock" "$source_dir/build/sim/keysim" serve "$config" --tcp 0 "$@" >"$work/keysim.log" 2>&1 & started_pids+=($!)
  wait_until 'grep -q "tcp:127.0.0.1:" "$work/keysim.log"' || { cat "$work/keysim.log" >&2; fail "keysim serve did not start"; }
  export KEYSIM_SOCKET=$(grep -o 'tcp:127.0.0.1:[0-9]*' "$work/keysim.log")
}

keysim() { "$source_dir/build/sim/keysim" "$@"; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  wine_session_start
  start_keysim_tcp "$source_dir/sim/keys.sample.json" --record
  "$wine" "$4"
fi
