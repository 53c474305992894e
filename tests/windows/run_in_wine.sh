#!/usr/bin/env bash
# Runs a Windows test program under Wine against a Linux keysim that it resets for each test.
# Usage: run_in_wine.sh WINDOWS_BUILD_DIR SOURCE_DIR QT_PREFIX PROGRAM.exe
set -euo pipefail
build=$1
source_dir=$2
qt=$3
program=$4
. "$source_dir/tests/windows/wine_session.sh"
wine_session_start
start_keysim_tcp "$source_dir/sim/keys.sample.json" --record
"$wine" "$program"
