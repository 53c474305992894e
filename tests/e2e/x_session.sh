# Shared by the end-to-end tests (which set build and source_dir): a private X server and D-Bus session bus, a private keysim
# socket and data folder, screenshots, and clean-up of everything started. Source it; call
# x_session_start first.

# Arguments, if any, replace the X server's screen (-screen 0 800x600x24).
x_session_start() {
  work=$(mktemp -d)
  shots="$build/screenshots"
  mkdir -p "$shots"
  # LANGUAGE: the texts the tests read; a test asks for another language with --language.
  export KEYSIM_SOCKET="$work/keysim.sock" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" LANGUAGE=en
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  log_file="$XDG_DATA_HOME/Orvalin Direzoda/Umbrata/Umbrata.log"
  started_pids=()
  trap x_session_stop EXIT
  # In the sanitizer builds: Qt and the plugins it loads and unloads (D-Bus, input methods) keep
  # memory until exit, where leak checking cannot tell theirs from ours; our own objects are
  # leak-checked by the model and controller tests. Qt's own threads synchronise where
  # ThreadSanitizer cannot see.
  export ASAN_OPTIONS="detect_leaks=0" TSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/tsan.supp:halt_on_error=1"

  # -noreset: the root window's properties (the accessibility bus address) outlive the client
  # that set them.
  local screen=("$@")
  [ $# -gt 0 ] || screen=(-screen 0 800x600x24)
  Xvfb -displayfd 3 "${screen[@]}" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" & started_pids+=($!)
  # The program talks to the session bus (accessibility, input methods): never the user's.
  dbus-daemon --session --nofork --print-address=4 4>"$work/bus" 2>"$work/dbus.log" & started_pids+=($!)
  wait_until '[ -s "$work/display" ] && [ -s "$work/bus" ]' || fail "Xvfb or dbus-daemon did not start"
  export DISPLAY=":$(cat "$work/display")" DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
  # 100 %, as a desktop sets it: without Xft.dpi Qt takes Xvfb's 100 dpi, a window 1.04 times
  # its size.
  echo "Xft.dpi: 96" | xrdb -nocpp -merge
}

x_session_stop() {
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*" >&2
  [ -f "${log_file:-}" ] && { echo "--- last log lines:" >&2; tail -n 30 "$log_file" >&2; }
  [ -s "${work:-}/umbrata.out" ] && { echo "--- the program's last output:" >&2; tail -n 80 "$work/umbrata.out" >&2; }
  exit 1
}

# Waits up to $2 seconds (default 5) for the command $1 to succeed.
wait_until() {
  local tries=$(( ${2:-5} * 20 ))
  for _ in $(seq "$tries"); do eval "$1" && return 0; sleep 0.05; done
  return 1
}

log_count() {
  if [ -f "$log_file" ]; then grep -c -- "$1" "$log_file" || true; else echo 0; fi
}

screenshot() { import -window root "$shots/$1.png" 2>/dev/null || echo "note: no screenshot $1" >&2; }

# Starts a keysim server on the config file $1 and umbrata-sim on it with the arguments after it,
# and waits for its window unless it starts hidden.
start_umbrata() {
  "$build/sim/keysim" serve "$1" >"$work/keysim.log" 2>&1 & started_pids+=($!)
  wait_until '"$build/sim/keysim" list >/dev/null 2>&1' || fail "keysim serve did not start"
  "$build/gui/umbrata-sim" "${@:2}" >"$work/umbrata.out" 2>&1 & app=$!; started_pids+=($app)
  [[ " ${*:2} " == *" --hidden "* ]] || wait_until find_window 30 || fail "no window titled Umbrata"
}

# Writes $work/keys.json: one key with OT000001 (TOTP, SHA-1, 6 digits, active), OT000002 (TOTP,
# SHA-256, 8 digits) and HT000001 (HOTP), whose secrets are $sha1 and $sha256; then the keys
# (JSON objects) in $1, if any.
write_three_credentials() {
  sha1=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ
  sha256=JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP
  cat >"$work/keys.json" <<JSON
{"keys": [{"id": "key0", "product_id": 2136, "active": "OT000001",
           "credentials": [{"serial": "OT000001", "algorithm": 2, "hash": 1, "digits": 6, "secret": "$sha1"},
                           {"serial": "OT000002", "algorithm": 2, "hash": 2, "digits": 8, "secret": "$sha256"},
                           {"serial": "HT000001", "algorithm": 1, "hash": 1, "digits": 6, "secret": "$sha1"}]}${1:+,
          $1}]}
JSON
}

# True when the clipboard holds oathtool's code of OT000002 there, of now or of 2 s ago: a copy
# may straddle a step.
copied_sha256_code() {
  local copied t
  copied=$(xclip -o -selection clipboard 2>/dev/null) || return 1
  t=$(date +%s)
  for s in "$t" $((t - 2)); do oathtool -b --now "@$s" --totp=sha256 -d 8 "$sha256"; done | grep -x -- "$copied" >/dev/null
}

# The last code in the log, zero-filled to 6 digits.
last_code() { printf '%06d' "$(grep -o 'value is [0-9]*' "$log_file" | tail -n 1 | cut -d' ' -f3)"; }
# True when the key gave the six-digit code $1 at some time: a copy made at a step's end holds
# the code before the last.
key_gave() { [[ $1 =~ ^[0-9]{6}$ ]] && grep -q -E -- "value is $((10#$1))\$" "$log_file"; }

# Sets window to the program's visible main window; false while there is none.
find_window() { window=$(xdotool search --onlyvisible --name '^Umbrata$' 2>/dev/null | head -n 1); [ -n "$window" ]; }

# Closes the program through File, Exit and checks that the process $1 ends with status 0.
close_with_file_exit() {
  import -window "$window" -crop 100x40+0+35 "$work/closed-menu.png"
  xdotool mousemove --window "$window" 25 15 click 1
  wait_until 'import -window "$window" -crop 100x40+0+35 "$work/menu.png" && ! compare -metric AE "$work/closed-menu.png" "$work/menu.png" null: 2>/dev/null' ||
    fail "the File menu did not open"
  screenshot "${2:-file-menu}"
  xdotool mousemove --window "$window" 25 49 click 1
  wait_until "! kill -0 $1 2>/dev/null" 10 || fail "the program did not end after File, Exit"
  wait "$1" || fail "exit status $?"
}

# True when the window shows the code box (light gray) with a code in it and its shadow darkening
# the white right of and below it; status 2 when it shows no box at all.
code_box_drawn() {
  import -window "$window" "$work/box.png" 2>/dev/null && convert "$work/box.png" txt:- | awk -F'[,: ()]+' '
    NR > 1 { v[$1, $2] = $3 + $4 + $5; g = $3 == 211 && $4 == 211 && $5 == 211; if (g && !n[$2]++) l[$2] = $1 + 0; if (g) r[$2] = $1 + 0 }
    END { t = 1e9; for (y in n) if (n[y] >= 60) { t = y + 0 < t ? y + 0 : t; b = y + 0 > b ? y + 0 : b }
      if (t == 1e9) exit 2
      for (y = t; y <= b; y++) { side += y >= t + 12 && v[r[t] + 2, y] < 705; for (x = l[t]; x <= r[t]; x++) code += v[x, y] < 300 }
      for (x = l[t] + 12; x <= r[t]; x++) below += v[x, b + 2] < 705
      exit !(side > 0.9 * (b - t - 11) && below > 0.9 * (r[t] - l[t] - 11) && code > 100) }'
}
