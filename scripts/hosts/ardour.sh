#!/usr/bin/env bash
# Drives Ardour 7 as a user would: a session with Zaltrim on a mono track, the editor opened
# from the mixer, a factor picked, saved, the dial turned, the about box shown, save and quit;
# tells whether Ardour's own window kept working, which gesture marked the session modified and
# what state the session file kept. Then opens the saved session again in the GUI to look at the
# editor, sets the Gain control to 0 and 1 from Lua, and plays an automation lane from 0 to 1
# with the editor open.
#
#   scripts/hosts/ardour.sh [MODULE] [OUTDIR]   (defaults build/QtZaltrim.so, build/hosts/ardour)
#
# Screenshots, log.txt, results.tsv and Ardour's output land in OUTDIR.
set -u
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source-path=SCRIPTDIR source=ardour-lib.sh
source "$HOSTS_DIR/ardour-lib.sh"

SESSION_NAME=zaltrim
LANE_SECONDS=6  # the automation lane's length, from 0 to 1
WINDOW_TITLE='^Audio 1: Zaltrim'
WINDOW_NAME=editor

setup ardour "${1:-$ROOT/build/QtZaltrim.so}" "${2:-$ROOT/build/hosts/ardour}"
SESSION_DIR=$WORK/$SESSION_NAME
SESSION_FILE=$SESSION_DIR/$SESSION_NAME.ardour
AUTOMATION_DIR=$WORK/automation

scan() {
  LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst-scanner -v -f "$MODULE" >>"$LOG" 2>&1
  local status=$?
  if ls "$XDG_CACHE_HOME"/ardour7/vst/*.v2i >/dev/null 2>&1; then
    record scan "ok (scanner exit $status)"
  else
    record scan "failed (scanner exit $status, no cache entry)"
    exit 1
  fi
}

make_session() {
  if timeout 120 ardour7-lua "$HOSTS_DIR/ardour-session.lua" "$SESSION_DIR" "$SESSION_NAME" >"$OUT/session.txt" 2>&1 &&
    [[ -f $SESSION_FILE ]]; then
    cat "$OUT/session.txt" >>"$LOG"
    record "session made (ardour7-lua)" "$(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
    record "latency at 48 kHz (Ardour's plug-in and track latency)" "$(sed -n 's/^latency: //p' "$OUT/session.txt")"
  else
    cat "$OUT/session.txt" >>"$LOG"
    record "session made (ardour7-lua)" "failed"
    exit 1
  fi
}

# Starts Ardour on a session file (ardour-lib.sh) and says so with the main window's title.
start_gui() {
  start_ardour "$@" || return 1
  record "$1: Ardour started on $(basename "$(dirname "$2")")/$(basename "$2")" "main window $MAIN, title '$(title)'"
}

describe_save() { echo "session file rewritten; title '$(wait_until 5 clean; title)'"; }

measure_threads() {
  record "threads" "$(cut -c10-28 "$OUT/threads.txt" | sed 's/ *$//' | sort | uniq -c | awk '{ $1 = $1 "x"; print }' | paste -sd, -)"
  grep -q ' LXVSTEventLoop ' "$OUT/threads.txt" && record "LXVSTEventLoop thread" "present"
}

turn_dial() {
  drag_dial 06 "$DIAL_CENTRE"
  record "modified after a dial gesture (session saved just before)" "$(within_5s dirty): title '$(title)'"
}

pick_factor() {
  pick_factor_eight 05 "$FACTOR_BOTTOM" || return 1
  record "modified after a factor pick (first gesture, none before)" "$(within_5s dirty): title '$(title)'"
}

report_saved_state() {
  record "saved state" "$(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
  local reopened=$SESSION_DIR/reopened.ardour
  timeout 120 ardour7-lua "$HOSTS_DIR/ardour-reopen.lua" "$SESSION_DIR" "$SESSION_NAME" >"$WORK/reopen.txt" 2>&1
  cat "$WORK/reopen.txt" >>"$LOG"
  record "after reload (ardour7-lua)" \
    "$(grep -o 'reloaded gain parameter: .*' "$WORK/reopen.txt" || echo "load failed"); snapshot then saved: $(
      [[ -f $reopened ]] && python3 "$HOSTS_DIR/state.py" "$reopened" || echo "none")"
  cp "$SESSION_FILE" "$OUT/saved.ardour"
}

# The saved session in the GUI again: the editor must show the gain and factor that were saved.
reopen_in_gui() {
  start_gui 10 "$SESSION_FILE" || return 1
  if open_plugin_window 10; then
    compare_reopened_panel 08-panel-before-save 10-editor-open 10 editor
    close_plugin_window 10
  fi
  quit 10
}

# Ardour's control API (ardour7-lua) on a copy of the saved session, then that copy in the GUI
# playing the lane the script wrote, the editor open.
automation() {
  cp -r "$SESSION_DIR" "$AUTOMATION_DIR"
  timeout 120 ardour7-lua "$HOSTS_DIR/ardour-automation.lua" "$AUTOMATION_DIR" "$SESSION_NAME" "$LANE_SECONDS" \
    >"$WORK/automation.txt" 2>&1
  cat "$WORK/automation.txt" >>"$LOG"
  local setting
  for setting in min max; do
    record "Gain control set to $([[ $setting == min ]] && echo 0 || echo 1) (ardour7-lua)" "$(
      grep -o "control $setting: .*" "$WORK/automation.txt" | sed 's/.*, control/control/' || echo "no answer"); snapshot: $(
      [[ -f $AUTOMATION_DIR/gain-$setting.ardour ]] && python3 "$HOSTS_DIR/state.py" "$AUTOMATION_DIR/gain-$setting.ardour" || echo none)"
  done
  record "lane 0 to 1 over $LANE_SECONDS s, transport rolling in ardour7-lua" "$(
    awk '/^rolling:/ { gsub(",", ""); printf "%s%s s: %s", sep, $2, $6; sep = ", " }' "$WORK/automation.txt")"
  grep -q '^lane: 2 events' "$WORK/automation.txt" || { record "automation in the GUI" "no lane was written"; return 1; }

  start_gui 11 "$AUTOMATION_DIR/$SESSION_NAME.ardour" || return 1
  open_plugin_window 11 || { quit 11; return 1; }
  local region="${P_W}x${P_H}+${P_X}+${P_Y}" step moved=0 cuts=()
  shot 12-rolling-0
  cut_shot 12-rolling-0 "$region" 12-panel-0
  keys_to "$MAIN" space  # Transport > Roll
  for step in $(seq 1 $((LANE_SECONDS + 1))); do
    sleep 1
    shot "12-rolling-$step"
    cut_shot "12-rolling-$step" "$region" "12-panel-$step"
    (($(pixels_changed "12-panel-$((step - 1))" "12-panel-$step") > 50)) && moved=$((moved + 1))
  done
  keys_to "$MAIN" space
  for step in $(seq 0 $((LANE_SECONDS + 1))); do cuts+=("$OUT/12-panel-$step.png"); done
  timeout 20 convert "${cuts[@]}" +append "$OUT/12-automation-strip.png"
  record "11: dial while the lane plays in the GUI" \
    "redrawn in $moved of $((LANE_SECONDS + 1)) one-second steps (12-automation-strip.png)"
  close_plugin_window 11
  quit 11
}

write_config plugin-path-lxvst "$WORK/vst"
scan
make_session
if start_gui 01 "$SESSION_FILE"; then
  if open_plugin_window 02; then
    measure_gui 04
    measure_threads
    pick_factor
    save "Ctrl+S after the factor pick" && record "saved after the factor pick" "$(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
    turn_dial
    show_about 07-about
    shot 07-after-about
    panel_before_save 08
    close_plugin_window 08
  fi
  save "Ctrl+S"
  thread_table "$PID" >"$OUT/threads-before-quit.txt"
  quit 09
fi
report_host_messages 01
report_saved_state
if [[ -n ${FROZEN:-} ]]; then
  # A host that froze once tells nothing more from a second start, and the next one fails.
  record "reopen in the GUI, Gain control, automation" "skipped: Ardour froze with this module"
else
  reopen_in_gui
  report_host_messages 10
  automation
  report_host_messages 11
fi
log "done; screenshots in $OUT"
