#!/usr/bin/env bash
# jalv with the LV2 bundle. First what lilv (the library jalv, Ardour and Qtractor load LV2
# plug-ins with) makes of the installed bundle: lv2ls, lv2info, lv2_validate. Then jalv.gtk3 on
# jackd's dummy driver showing the X11 UI (suil puts it in a GTK 3 window): the dial turned and a
# factor picked in the UI, the state saved through jalv's File > Save (what jalv writes is what
# it heard from the UI), a factory preset from jalv's Presets menu (the UI must follow), quit;
# jalv.gtk3 again on the saved state, the panel compared with the one before saving. Last, the
# console jalv on the saved state: its controls, its preset list, a preset applied (Hard drive:
# Crunch is the 12 dB and factor 8 the saved state already holds).
#
#   scripts/hosts/lv2-jalv.sh [BUILD] [OUTDIR]   (defaults build, build/hosts/lv2-jalv)
set -u
# shellcheck source-path=SCRIPTDIR source=lv2-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lv2-lib.sh"

# The panel inside jalv's window, at its own 180x132: the dial's centre is this far down from its
# top, the factor box this far up from its bottom (as in Ardour).
DIAL_CENTRE=52
FACTOR_BOTTOM=22
# jalv's menu bar, from its window's top left: File, Presets.
FILE_MENU_X=20
PRESETS_MENU_X=70
MENU_Y=12

lv2_setup lv2-jalv "${1:-$ROOT/build}" "${2:-$ROOT/build/hosts/lv2-jalv}"
STATE_DIR=$WORK/jalv-state
# GTK 3 would try to save its file chooser's settings through dconf, which wants a D-Bus session.
export GSETTINGS_BACKEND=memory

bundle_checks() {
  record "lv2ls" "$(lv2ls 2>&1 | grep -c "^$PLUGIN_URI\$") entry for $PLUGIN_URI"
  lv2info "$PLUGIN_URI" >"$OUT/lv2info.txt" 2>&1
  record "lv2info" "$(grep -o 'Has latency: .*' "$OUT/lv2info.txt" | tr -s ' '); UI class $(
    grep -A1 "$UI_URI" "$OUT/lv2info.txt" | sed -n 's/.*Class: *//p' | sed 's|.*#||'); presets $(
    sed -n '/Presets:/,/^$/p' "$OUT/lv2info.txt" | sed '1d;s/^[[:space:]]*//' | grep . | paste -sd, -)"
  (cd "$BUNDLE" && timeout 120 lv2_validate ./*.ttl) >"$OUT/lv2_validate.txt" 2>&1
  record "lv2_validate (against Debian's LV2 schemas)" "exit $?: $(grep -E 'Found [0-9]+ errors' "$OUT/lv2_validate.txt" || tail -n 1 "$OUT/lv2_validate.txt")"
}

# Starts jalv.gtk3 with ARGS; sets PID, MAIN (jalv's window), PANEL and P_X P_Y P_W P_H.
start_jalv() {
  local tag=$1
  shift
  # Line-buffered, so that what jalv prints on a preset is in the file when it is read.
  start "jalv-$tag" stdbuf -oL jalv.gtk3 --print-controls "$@"
  PID=${STARTED[-1]}
  if ! MAIN=$(wait_window 30 '^Zaltrim$'); then
    shot "$tag-no-window"
    record "$tag: jalv.gtk3 window" "did not appear within 30 s"
    return 1
  fi
  find_panel "$tag" "$tag: jalv.gtk3 window" "no panel inside within 10 s" || return 1
  geometry W "$MAIN"
  sleep 2
  shot "$tag-ui-open"
  cut_shot "$tag-ui-open" "${W_W}x${W_H}+${W_X}+${W_Y}" "$tag-window"
  record "$tag: jalv.gtk3 window" "'Zaltrim' ${W_W}x${W_H}, panel ${P_W}x${P_H}"
}

# Opens one of jalv's menus and picks an entry with KEYS (the open menu holds the keyboard:
# Down picks the first row, Up the last).
menu_keys() {
  local x=$1 before menu=
  shift
  before=$(viewable_ids)
  click_at $((W_X + x)) $((W_Y + MENU_Y))
  wait_until 5 has_new_window "$before" && menu=$(new_window "$before")
  [[ -n $menu ]] || return 1
  sleep 0.5
  timeout 10 xdotool key --delay 150 "$@" Return
}

# Presets > Hard drive. The presets are the menu's last rows (after Save Preset..., Delete Current
# Preset...), in an order that differs between starts: the last row first, then the one above,
# until jalv prints the port values Hard drive sets (it prints every port when a preset loads).
pick_hard_drive() {
  local ups
  for ups in Up "Up Up" "Up Up Up"; do
    # shellcheck disable=SC2086  # one key a word
    menu_keys "$PRESETS_MENU_X" $ups || { log "Presets: the menu did not open"; shot "05-no-presets-menu-${ups// /-}"; }
    sleep 1.5
    tail -n 3 "$WORK/jalv-01.out" | grep -q '^gain = 30\.' && return 0
    log "Presets: $ups gave $(tail -n 3 "$WORK/jalv-01.out" | paste -sd' ' -)"
    # GTK's menu bar stays selected after a keyboard pick, and the next click would only close it.
    timeout 10 xdotool key Escape mousemove $((W_X + 100)) $((W_Y + 200))
    sleep 1
  done
  return 1
}

# File > Save: jalv's GTK file chooser, a folder name typed and Return (the first Return takes
# the name completion GTK offers, the second saves).
save_state() {
  local dialog
  menu_keys "$FILE_MENU_X" Down || { record "File > Save" "no File menu"; return 1; }
  if ! dialog=$(wait_window 10 '^Save State$'); then
    record "File > Save" "no file chooser within 10 s"
    return 1
  fi
  keys_to "$dialog" ctrl+a
  timeout 20 xdotool type --delay 20 "$STATE_DIR"
  for _ in 1 2 3; do
    timeout 10 xdotool key Return
    wait_until 3 test -s "$STATE_DIR/state.ttl" && break
  done
  if [[ -s $STATE_DIR/state.ttl ]]; then
    cp "$STATE_DIR/state.ttl" "$OUT/jalv-state.ttl"
    record "File > Save: the port values jalv heard from the UI" "$(ports_in_state "$STATE_DIR/state.ttl")"
  else
    record "File > Save" "no state.ttl written"
  fi
}

# "gain=10.6, oversampling=8" from a state.ttl jalv wrote.
ports_in_state() {
  awk '/lv2:symbol/ { gsub(/[";]/, "", $2); symbol = $2 } /pset:value/ { gsub(/;/, "", $2); printf "%s%s=%g", sep, symbol, $2; sep = ", " }' "$1"
}

quit_jalv() {
  local tag=$1
  keys_to "$MAIN" ctrl+q
  if wait_exit "$PID" 5; then
    record "$tag: Ctrl+Q, jalv.gtk3 exit status" "$EXIT"
    return
  fi
  record "$tag: Ctrl+Q" "jalv.gtk3 still running after 5 s; closing its window instead"
  timeout 10 "${XWIN[@]}" close "$MAIN"
  if wait_exit "$PID" 15; then
    record "$tag: window closed (WM_DELETE_WINDOW), jalv.gtk3 exit status" "$EXIT"
  else
    stop_process "$PID" 10
    record "$tag: window closed (WM_DELETE_WINDOW), jalv.gtk3 exit status" "still running after 15 s, $STOP_HOW"
  fi
}

report_output() {
  local tag=$1 qt other
  keep_host_output "jalv-$tag"
  qt=$(qt_messages "$WORK/jalv-$tag.err" "$WORK/jalv-$tag.out")
  record "$tag: Qt messages on jalv's output" "${qt:-none}"
  other=$(output_lines "$WORK/jalv-$tag.err")
  record "$tag: jalv.gtk3 stderr" "${other:-empty}"
}

bundle_checks
start_jack zaltrim-lv2
if start_jalv 01 "$PLUGIN_URI"; then
  record "jalv.gtk3 main thread CPU, UI open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  drag_dial 02 "$DIAL_CENTRE"
  pick_factor_eight 03 "$FACTOR_BOTTOM"
  panel_before_save 04
  save_state
  if pick_hard_drive; then
    shot 05-preset
    cut_shot 05-preset "${W_W}x${W_H}+${W_X}+${W_Y}" 05-window-preset
    record "Presets > Hard drive (30 dB, 16): the UI follows" \
      "panel redrawn ($(pixels_changed 04-before-save 05-preset "${P_W}x${P_H}+${P_X}+${P_Y}") pixels); jalv printed: $(
        tail -n 3 "$WORK/jalv-01.out" | paste -sd' ' -)"
  else
    record "Presets > Hard drive" "not picked: $(tail -n 3 "$WORK/jalv-01.out" | paste -sd' ' -)"
  fi
  quit_jalv 06
fi
report_output 01

# The saved state again: the UI must show what it showed before saving.
if [[ -s $STATE_DIR/state.ttl ]] && start_jalv 07 -l "$STATE_DIR" "$PLUGIN_URI"; then
  compare_reopened_panel 04-panel-before-save 07-ui-open 07 UI
  quit_jalv 08
  report_output 07
fi

# The console jalv reads commands on stdin and ends at their end.
if [[ -s $STATE_DIR/state.ttl ]]; then
  (printf 'controls\npresets\npreset %s#preset-hard-drive\ncontrols\n' "$PLUGIN_URI"; sleep 2) |
    timeout 20 jalv -l "$STATE_DIR" "$PLUGIN_URI" >"$OUT/jalv-console.txt" 2>&1
  status=$?
  record "console jalv -l STATE: controls, presets, preset Hard drive" "exit $status; loaded $(
    grep -m1 -A1 '^gain = ' "$OUT/jalv-console.txt" | paste -sd' ' -); presets $(grep -c '#preset-' "$OUT/jalv-console.txt"); after the preset $(
    grep -A1 '^> gain = ' "$OUT/jalv-console.txt" | tail -n 2 | sed 's/^> //' | paste -sd' ' -)"
fi
log "done; screenshots in $OUT"
