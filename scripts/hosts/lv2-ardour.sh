#!/usr/bin/env bash
# Ardour 7 with the LV2 bundle. Headless first (ardour7-lua): the ports, presets and latency
# Ardour sees at 44.1 and 48 kHz, a session with Gain 12 dB and Oversampling 8 saved and loaded
# again, a factory preset loaded through Ardour's preset API. Then in the GUI as a user would: a
# session at the plug-in's defaults, its UI opened from the mixer (suil puts the X11 UI in a GTK 2
# window), Ardour's own GUI checked for life, a factory preset picked from Ardour's list, the dial
# turned, a factor picked, saved, quit; the session opened again and the UI compared with the
# panel as it was before saving.
#
#   scripts/hosts/lv2-ardour.sh [BUILD] [OUTDIR]   (defaults build, build/hosts/lv2-ardour)
#
# BUILD is a build folder holding zaltrim.lv2/; screenshots, log.txt, results.tsv and Ardour's
# output land in OUTDIR.
set -u
# shellcheck source-path=SCRIPTDIR source=lv2-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lv2-lib.sh"
# shellcheck source-path=SCRIPTDIR source=ardour-lib.sh
source "$HOSTS_DIR/ardour-lib.sh"

SESSION_NAME=zaltrim
WINDOW_TITLE='^Audio 1: Zaltrim.*\[LV2\]$'
WINDOW_NAME=UI
# Ardour's preset list in the plug-in window's toolbar, from the window's top left.
PRESETS_X=162
PRESETS_Y=15

lv2_setup lv2-ardour "${1:-$ROOT/build}" "${2:-$ROOT/build/hosts/lv2-ardour}"
SESSION_DIR=$WORK/$SESSION_NAME
SESSION_FILE=$SESSION_DIR/$SESSION_NAME.ardour

lua() { timeout 120 ardour7-lua "$@" 2>&1 | grep -v '^\[' ; }

# Ports, presets and latency at RATE; the session keeps Gain 12 dB and factor 8 when asked.
headless() {
  local rate=$1 dir=$WORK/headless-$1
  lua "$HOSTS_DIR/lv2-ardour-session.lua" "$dir" headless "$rate" "$PLUGIN_URI" 12 8 >"$OUT/headless-$rate.txt"
  cat "$OUT/headless-$rate.txt" >>"$LOG"
  if [[ ! -f $dir/headless.ardour ]]; then
    record "$rate Hz: session with the plug-in (ardour7-lua)" "failed: $(tail -n 1 "$OUT/headless-$rate.txt")"
    return 1
  fi
  record "$rate Hz: control ports Ardour lists" "$(grep -o '^port .*control' "$OUT/headless-$rate.txt" | cut -d' ' -f3- | sed 's/, control//' | paste -sd';' -)"
  record "$rate Hz: presets Ardour lists" "$(sed -n 's/^preset: \([^<]*\) <.*/\1/p' "$OUT/headless-$rate.txt" | sed 's/ $//' | paste -sd',' -)"
  record "$rate Hz: latency (port, Ardour's plug-in latency) at factor 2/4/8/16/32" \
    "$(sed -n 's/^latency at factor \([0-9]*\): port \([0-9.]*\), plug-in \([0-9]*\) samples.*/\1: \2, \3/p' "$OUT/headless-$rate.txt" | paste -sd';' -)"
  record "$rate Hz: Gain 12 dB and factor 8 set and saved" "$(saved_ports "$dir/headless.ardour")"
  lua "$HOSTS_DIR/lv2-ardour-reopen.lua" "$dir" headless "Hard drive" >"$OUT/reopen-$rate.txt"
  cat "$OUT/reopen-$rate.txt" >>"$LOG"
  record "$rate Hz: reloaded in a new ardour7-lua" "$(sed -n 's/^reloaded: //p' "$OUT/reopen-$rate.txt" || echo "load failed")"
  record "$rate Hz: factory preset 'Hard drive' loaded (Lua)" \
    "$(sed -n "s/^after preset 'Hard drive': //p" "$OUT/reopen-$rate.txt"); snapshot: $(
      [[ -f $dir/preset.ardour ]] && saved_ports "$dir/preset.ardour" || echo none)"
}

# ardour7-export renders the session range; a session with no region has none.
export_session() {
  local dir=$WORK/headless-48000 output=$WORK/export.wav
  timeout 120 ardour7-export -o "$output" "$dir" headless >"$OUT/export.txt" 2>&1
  local status=$?
  cat "$OUT/export.txt" >>"$LOG"
  record "ardour7-export of the 48 kHz session (no region in it)" "exit $status; $(
    [[ -s $output ]] && echo "wrote $(stat -c %s "$output") bytes" || echo "no file: $(grep -v '^\[' "$OUT/export.txt" | tail -n 1)")"
}

make_session() {
  lua "$HOSTS_DIR/lv2-ardour-session.lua" "$SESSION_DIR" "$SESSION_NAME" 48000 "$PLUGIN_URI" >>"$LOG"
  if [[ -f $SESSION_FILE ]]; then
    record "GUI session made at the plug-in's defaults (ardour7-lua)" "$(saved_ports "$SESSION_FILE")"
  else
    record "GUI session made at the plug-in's defaults (ardour7-lua)" "failed"
    exit 1
  fi
}

# Ardour's preset list, its last entry ("Hard drive": 30 dB, 16): the UI must follow.
pick_preset() {
  local before menu=
  before=$(viewable_ids)
  click_at $((E_X + PRESETS_X)) $((E_Y + PRESETS_Y))
  sleep 1.5
  # New windows: the list, a 10x10 helper off screen, later a tooltip (32 px high).
  for id in $(comm -13 <(printf '%s\n' "$before") <(viewable_ids)); do
    geometry M "$id" && ((M_H >= 50)) && menu=$id && break
  done
  if [[ -z $menu ]]; then
    shot 04-no-preset-list
    record "factory preset from Ardour's list" "no list appeared"
    return 1
  fi
  shot 04-preset-list
  # Three rows of 18 px below a 10 px margin: Clean boost, Crunch, Hard drive.
  timeout 10 xdotool mousemove --sync $((M_X + 40)) $((M_Y + 10 + 18 * 2 + 9))
  sleep 0.5
  timeout 10 xdotool click 1
  sleep 2
  # The toolbar names the preset and may grow: both windows are measured again.
  geometry P "$PANEL"
  geometry E "$EDITOR"
  shot 04-preset-picked
  cut_shot 04-preset-picked "${E_W}x${E_H}+${E_X}+${E_Y}" 04-ui-preset
  record "factory preset 'Hard drive' picked in Ardour's list" "session modified: $(within_5s dirty); panel now ${P_W}x${P_H}"
}

describe_save() { echo "saved: $(saved_ports "$SESSION_FILE")"; }

write_config
headless 44100
headless 48000
export_session
make_session
if start_ardour 01 "$SESSION_FILE"; then
  if open_plugin_window 02; then
    measure_gui 03
    pick_preset && save "Ctrl+S after the preset"
    drag_dial 05 "$DIAL_CENTRE"
    record "session modified after the dial gesture (saved just before)" "$(within_5s dirty): title '$(title)'"
    pick_factor_eight 06 "$FACTOR_BOTTOM"
    panel_before_save 07
    cut_shot 07-before-save "${E_W}x${E_H}+${E_X}+${E_Y}" 07-ui-before-save
    close_plugin_window 07
  fi
  save "Ctrl+S after dial and factor, UI closed"
  quit 08
fi
report_host_messages 01
cp "$SESSION_FILE" "$OUT/saved.ardour" 2>/dev/null
lua "$HOSTS_DIR/lv2-ardour-reopen.lua" "$SESSION_DIR" "$SESSION_NAME" >"$OUT/reopen-gui-session.txt"
record "GUI session reloaded in ardour7-lua" "$(sed -n 's/^reloaded: //p' "$OUT/reopen-gui-session.txt" || echo "load failed")"

# The saved session in the GUI again: the UI must show the gain and factor that were saved.
if start_ardour 09 "$SESSION_FILE" && open_plugin_window 10; then
  cut_shot 10-ui-open "${E_W}x${E_H}+${E_X}+${E_Y}" 10-ui-reopened
  compare_reopened_panel 07-panel-before-save 10-ui-open 10 UI
  close_plugin_window 10
fi
[[ -n ${PID:-} ]] && ! gone "$PID" && quit 11
report_host_messages 09
log "done; screenshots in $OUT"
