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

SESSION_NAME=zaltrim
LANE_SECONDS=6  # the automation lane's length, from 0 to 1
# Where the plug-in's button sits in the mixer strip of a one-track session, from the top left
# of Ardour's main window (1348x713, the size it takes on a 1600x1000 screen).
PROCESSOR_X=322
PROCESSOR_Y=206

setup ardour "${1:-$ROOT/build/QtZaltrim.so}" "${2:-$ROOT/build/hosts/ardour}"
SESSION_DIR=$WORK/$SESSION_NAME
SESSION_FILE=$SESSION_DIR/$SESSION_NAME.ardour
AUTOMATION_DIR=$WORK/automation

write_config() {
  mkdir -p "$XDG_CONFIG_HOME/ardour7"
  # The saved engine state lets Ardour start the Dummy backend without its audio-setup dialog.
  cat >"$XDG_CONFIG_HOME/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-lxvst" value="$WORK/vst"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="2" input-latency="0" output-latency="0"
               input-channels="0" output-channels="0" active="1" use-buffered-io="0" midi-option="" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
  : >"$XDG_CONFIG_HOME/ardour7/.a7"  # marks the first-run wizard as done
}

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
  if timeout 120 ardour7-lua "$HOSTS_DIR/ardour-session.lua" "$SESSION_DIR" "$SESSION_NAME" >>"$LOG" 2>&1 &&
    [[ -f $SESSION_FILE ]]; then
    record "session made (ardour7-lua)" "$(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
  else
    record "session made (ardour7-lua)" "failed"
    exit 1
  fi
}

# A click on the Session menu must open it and draw its entries. A stuck GTK main loop may still
# map the menu's window (it takes the click) yet never paint it, leaving what was beneath.
menu_check() {
  local before menu changed=0
  before=$(viewable_ids)
  shot "$1-before"
  click_at $((W_X + 29)) $((W_Y + 11))
  wait_until 5 has_new_window "$before" && menu=$(new_window "$before")
  sleep 2
  shot "$1"
  if [[ -n ${menu:-} ]] && geometry M "$menu"; then
    changed=$(pixels_changed "$1-before" "$1" "${M_W}x${M_H}+${M_X}+${M_Y}")
    keys_to "$MAIN" Escape
    wait_until 5 no_new_window "$before" || click_at $((W_X + 29)) $((W_Y + 11))
  fi
  log "session menu: window ${menu:-none}, ${M_W:-0}x${M_H:-0}, $changed pixels changed"
  if [[ -z ${menu:-} ]]; then
    MENU="did not open within 5 s"
  elif ((changed * 3 < M_W * M_H)); then
    MENU="its window was mapped but not drawn in 2 s"
  else
    MENU="opened and drawn"
    return 0
  fi
  return 1
}

# The mixer, then a double click on the plug-in; sets EDITOR, PANEL and the panel's P_X P_Y P_W P_H.
open_editor() {
  local tag=$1
  EDITOR=
  keys_to "$MAIN" alt+m
  sleep 2
  shot "$tag-mixer"
  geometry W "$MAIN" || return 1
  for _ in 1 2; do
    timeout 10 xdotool mousemove --sync $((W_X + PROCESSOR_X)) $((W_Y + PROCESSOR_Y)) click --repeat 2 --delay 80 1
    EDITOR=$(wait_window 20 '^Audio 1: Zaltrim') && break
  done
  if [[ -z $EDITOR ]]; then
    shot "$tag-no-editor"
    record "$tag: editor window" "did not appear after a double click on the plug-in"
    return 1
  fi
  PANEL=$(wait_window 10 '^QtZaltrim$' --class QtZaltrim) && geometry P "$PANEL" || return 1
  record "$tag: editor window" "opened ($EDITOR; panel ${P_W}x${P_H})"
  sleep 2
  shot "$tag-editor-open"
}

# Ardour marks a session with unsaved changes by a "*" before its name in the main window's title.
dirty() { window_exists "^\\*$SESSION_NAME - Ardour\$"; }
clean() { ! dirty; }
title() { timeout 10 "${XWIN[@]}" list | awk -v id="$MAIN" '$1 == id' | cut -d' ' -f8-; }

measure_gui() {
  record "GUI main thread CPU, editor open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  thread_table "$PID" >"$OUT/threads.txt"
  record "threads" "$(cut -c10-28 "$OUT/threads.txt" | sed 's/ *$//' | sort | uniq -c | awk '{ $1 = $1 "x"; print }' | paste -sd, -)"
  grep -q ' LXVSTEventLoop ' "$OUT/threads.txt" && record "LXVSTEventLoop thread" "present"
  if menu_check 04-session-menu; then
    record "Ardour GUI with the editor open" "responsive: a click on its Session menu: $MENU"
  else
    record "Ardour GUI with the editor open" "frozen: a click on its Session menu: $MENU"
    FROZEN=1
    if command -v gdb >/dev/null; then
      timeout 60 gdb -batch -p "$PID" -ex "thread apply 1 bt 20" >"$OUT/frozen-main-thread.txt" 2>&1
      log "main thread stack in $OUT/frozen-main-thread.txt"
    fi
  fi
}

turn_dial() {
  drag_dial 06 52
  record "modified after a dial gesture (session saved just before)" "$(within_5s dirty): title '$(title)'"
}

pick_factor() {
  pick_factor_eight 05 22 || return 1
  record "modified after a factor pick (first gesture, none before)" "$(within_5s dirty): title '$(title)'"
}

# Ctrl+S; TAG names the row. Succeeds when the session file was rewritten.
save() {
  local saved_before
  saved_before=$(stat -c %Y.%s "$SESSION_FILE")
  sleep 1  # a save within the same second would leave the time unchanged
  keys_to "$MAIN" ctrl+s
  if wait_until 15 changed_since "$SESSION_FILE" "$saved_before"; then
    record "$1" "session file rewritten; title '$(wait_until 5 clean; title)'"
  else
    record "$1" "session file unchanged after 15 s"
    return 1
  fi
}

show_about() {
  click_at $((P_X + 40)) $((P_Y + P_H * 6 / 10))
  local about
  if about=$(wait_window 10 '^About QtZaltrim$'); then
    shot 07-about
    keys_to "$about" Return
    wait_until 5 window_gone '^About QtZaltrim$' || "${XWIN[@]}" close "$about"
    record "about box" "appeared; $(window_exists '^About QtZaltrim$' && echo "still open" || echo closed)"
  else
    record "about box" "did not appear within 10 s"
  fi
}

close_editor() {
  timeout 10 "${XWIN[@]}" close "$EDITOR"
  if wait_until 10 window_gone '^Audio 1: Zaltrim'; then
    record "$1: editor closed (WM_DELETE_WINDOW)" "yes"
  else
    record "$1: editor closed (WM_DELETE_WINDOW)" "no, still shown after 10 s"
  fi
  shot "$1-editor-closed"
}

# Ctrl+Q; a session with unsaved changes would make Ardour ask first, and the box is reported.
quit() {
  local tag=$1 before
  before=$(viewable_ids)
  keys_to "$MAIN" ctrl+q
  if wait_exit "$PID" 30; then
    record "$tag: Ctrl+Q, Ardour exit status" "$EXIT"
    return
  fi
  shot "$tag-not-quitting"
  log "windows that came up: $(new_window "$before")"
  stop_process "$PID" 10
  record "$tag: Ctrl+Q, Ardour exit status" "still running 30 s after Ctrl+Q, $STOP_HOW"
}

# Ardour's own memory of its layout (instant.xml: which tab was shown) goes, so that every start
# shows the editor tab first and Alt+M the mixer; a second Alt+M would go back to the editor.
forget_layout() { rm -f "$1/instant.xml" "$XDG_CONFIG_HOME/ardour7/instant.xml"; }

# Starts Ardour on a session file; sets PID and MAIN.
start_ardour() {
  local tag=$1 file=$2
  start "ardour-$tag" ardour "$file"
  PID=${STARTED[-1]}
  if ! MAIN=$(wait_window 90 "$SESSION_NAME - Ardour\$"); then
    shot "$tag-no-main-window"
    stop_process "$PID" 10
    record "$tag: Ardour main window" "did not appear within 90 s; $STOP_HOW"
    return 1
  fi
  sleep 3  # the session's first redraws
  shot "$tag-session"
  record "$tag: Ardour started on $(basename "$(dirname "$file")")/$(basename "$file")" \
    "main window $MAIN, title '$(title)'"
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

report_host_messages() {
  local tag=$1 qt
  keep_host_output "ardour-$tag"
  # Qt names its classes Q<Name>; its logging categories start with qt.
  qt=$(cat "$WORK/ardour-$tag.err" "$WORK/ardour-$tag.out" 2>/dev/null | grep -E '\bQ[A-Z][A-Za-z]+|^qt\.' |
    sed 's/0x[0-9a-f]*/0x…/g' | sort | uniq -c | sed 's/^ *//' | paste -sd';' -)
  record "$tag: Qt messages on Ardour's output" "${qt:-none}"
}

# The panel as the user left it, to compare with the panel after the session is opened again.
panel_before_save() {
  shot 08-before-save
  cut_shot 08-before-save "${P_W}x${P_H}+${P_X}+${P_Y}" 08-panel-before-save
}

# The saved session in the GUI again: the editor must show the gain and factor that were saved.
reopen_in_gui() {
  forget_layout "$SESSION_DIR"
  start_ardour 10 "$SESSION_FILE" || return 1
  if open_editor 10; then
    cut_shot 10-editor-open "${P_W}x${P_H}+${P_X}+${P_Y}" 10-panel-reopened
    side_by_side 08-panel-before-save 10-panel-reopened 10-panel-before-after
    local differ
    differ=$(pixels_differ 08-panel-before-save 10-panel-reopened)
    record "10: reopened editor against the panel before saving" \
      "$( ((differ == 0)) && echo "identical" || echo "$differ pixels differ") (10-panel-before-after.png)"
    close_editor 10
  fi
  quit 10
}

# Ardour's control API (ardour7-lua) on a copy of the saved session, then that copy in the GUI
# playing the lane the script wrote, the editor open.
automation() {
  cp -r "$SESSION_DIR" "$AUTOMATION_DIR"
  forget_layout "$AUTOMATION_DIR"
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

  start_ardour 11 "$AUTOMATION_DIR/$SESSION_NAME.ardour" || return 1
  open_editor 11 || { quit 11; return 1; }
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
  close_editor 11
  quit 11
}

write_config
scan
make_session
if start_ardour 01 "$SESSION_FILE"; then
  if open_editor 02; then
    measure_gui
    pick_factor
    save "Ctrl+S after the factor pick" && record "saved after the factor pick" "$(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
    turn_dial
    show_about
    shot 07-after-about
    panel_before_save
    close_editor 08
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
