#!/usr/bin/env bash
# Drives Qtractor as a user would: a session with Zaltrim on an audio track, the editor opened
# from the track's plug-in list, a factor picked (is the session now modified?), saved if it
# can be, the dial turned (modified now?), the about box shown, save and exit; then opens the
# saved session again, reads the state it kept and compares the reopened editor with the panel
# as it was before saving.
#
#   scripts/hosts/qtractor.sh [MODULE] [OUTDIR]   (defaults build/QtZaltrim.so, build/hosts/qtractor)
#
# Screenshots, log.txt, results.tsv and Qtractor's output land in OUTDIR.
set -u
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source-path=SCRIPTDIR source=qtractor-lib.sh
source "$HOSTS_DIR/qtractor-lib.sh"

SCANNER=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
WINDOW_NAME=editor
ABOUT_TAB_X=366  # the About tab of the plug-in's Properties form, where Qtractor first puts it
ABOUT_TAB_Y=307

setup qtractor "${1:-$ROOT/build/QtZaltrim.so}" "${2:-$ROOT/build/hosts/qtractor}"
SESSION_DIR=$WORK/zaltrim
SESSION_FILE=$SESSION_DIR/zaltrim.qts
SAVED_AS=$SESSION_DIR/zaltrim-saved-as.qts

scan() {
  local line
  line=$(echo "VST2:$MODULE" | timeout 60 "$SCANNER" 2>>"$LOG")
  log "scanner: $line"
  if [[ $line == VST\|Zaltrim\|1:1\|* ]]; then
    record scan "ok ($line)"
  else
    record scan "failed (${line:-no output})"
    exit 1
  fi
}

turn_dial() {
  local was
  was=$(modified && echo "modified" || echo "unmodified")
  drag_dial 04 "$DIAL_CENTRE"
  record "modified (Save enabled) after a dial gesture, session $was before" "$(within_5s modified): title '$(title)'"
}

pick_factor() {
  pick_factor_eight 03 "$FACTOR_BOTTOM" || return 1
  record "modified (Save enabled) after a factor pick (first gesture, none before)" "$(within_5s modified): title '$(title)'"
}

# Ctrl+S only; Save is disabled while the session is unmodified, and then nothing is written.
# The plug-in's Properties form (context menu, P); its About tab shows the latency Qtractor took
# from the module ("Latency: … (N frames)"), for the screenshot to be looked at.
show_latency() {
  click_at "$PLUGIN_X" "$PLUGIN_Y" 3
  sleep 1
  timeout 10 xdotool key p
  local form
  if ! form=$(wait_window 10 '^Zaltrim - Track 1'); then
    record "plug-in properties form" "did not appear"
    return 1
  fi
  click_at "$ABOUT_TAB_X" "$ABOUT_TAB_Y"
  sleep 1
  shot "$1-properties"
  cut_shot "$1-properties" 500x260+260+250 "$1-latency"
  record "plug-in latency (Properties, About tab)" "shown in $1-latency.png"
  keys_to "$form" Escape
  wait_until 5 window_gone '^Zaltrim - Track 1'
}

save_if_enabled() {
  if ctrl_s "$SESSION_FILE" 5; then
    record "$1" "session file rewritten: $(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
  else
    record "$1" "nothing written (Save disabled); title '$(title)'"
  fi
}

# Sets SAVED to the file that holds the session after Ctrl+S, or after File > Save As when Save
# was not enabled (so that the state the plug-in gives can still be read).
save() {
  local dialog
  if ctrl_s "$SESSION_FILE" 10; then
    record "Ctrl+S" "session file rewritten"
    SAVED=$SESSION_FILE
    return
  fi
  record "Ctrl+S" "session file unchanged after 10 s (Save was not enabled)"
  keys_to "$MAIN" alt+f
  sleep 1
  timeout 10 xdotool key a  # File > Save As
  if ! dialog=$(wait_window 10 '^Save Session — Qtractor$'); then
    record "File > Save As" "no file dialog within 10 s"
    SAVED=$SESSION_FILE
    return
  fi
  keys_to "$dialog" ctrl+a
  timeout 20 xdotool type --delay 20 "$SAVED_AS"
  shot 06-save-as
  timeout 10 xdotool key Return
  if wait_until 10 test -s "$SAVED_AS"; then
    record "File > Save As" "wrote $(basename "$SAVED_AS")"
    SAVED=$SAVED_AS
  else
    record "File > Save As" "no file written"
    SAVED=$SESSION_FILE
  fi
}

write_config "$WORK/vst"
scan
write_session VST2 "$MODULE"
start_jack zaltrim
SAVED=$SESSION_FILE
if start_qtractor 01 "$SESSION_FILE"; then
  record "Qtractor main thread CPU, session open, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  show_latency 01
  if open_plugin_window 02; then
    record "Qtractor main thread CPU, editor open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
    thread_table "$PID" >"$OUT/threads.txt"
    pick_factor
    save_if_enabled "Ctrl+S after the factor pick"
    turn_dial
    show_about 05-about
    panel_before_save 06
    close_plugin_window 06
    shot 06-editor-closed
  fi
  save
  quit 07
fi
report_host_messages 01
record "saved state ($(basename "$SAVED"))" "$(python3 "$HOSTS_DIR/state.py" "$SAVED")"
cp "$SAVED" "$OUT/saved.qts"

# The plug-in gets its state back from the session: the reopened editor should show it.
if start_qtractor 08 "$SAVED"; then
  open_plugin_window 09 && compare_reopened_panel 06-panel-before-save 09-editor-open 09 editor && close_plugin_window 09
  quit 10
fi
report_host_messages 08
log "done; screenshots in $OUT"
