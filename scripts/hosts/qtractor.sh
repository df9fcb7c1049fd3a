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

SCANNER=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
# Where the plug-in's entry sits in track 1's plug-in list (the "Bus" column), from the top left
# of Qtractor's main window (1024x768; a later start puts it where the last one left it).
PLUGIN_X=177
PLUGIN_Y=180

setup qtractor "${1:-$ROOT/build/QtZaltrim.so}" "${2:-$ROOT/build/hosts/qtractor}"
SESSION_DIR=$WORK/zaltrim
SESSION_FILE=$SESSION_DIR/zaltrim.qts
SAVED_AS=$SESSION_DIR/zaltrim-saved-as.qts
export JACK_DEFAULT_SERVER=zaltrim-$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1

write_config() {
  mkdir -p "$XDG_CONFIG_HOME/rncbc.org"
  cat >"$XDG_CONFIG_HOME/rncbc.org/Qtractor.conf" <<EOF
[AutoSave]
Enabled=false

[Default]
SessionBackup=false
SessionExt=qts

[Plugins]
Vst2Paths=$WORK/vst

[Preferences]
Dialogs\\UseNativeDialogs=false
EOF
}

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

# The session as Qtractor 0.9.31 writes one for a new audio track with Zaltrim inserted, less
# the plug-in's state: the plug-in starts from its own defaults.
write_session() {
  mkdir -p "$SESSION_DIR"
  cat >"$SESSION_FILE" <<EOF
<!DOCTYPE qtractorSession>
<session version="Qtractor 0.9.31" name="zaltrim">
 <properties>
  <directory>$SESSION_DIR</directory>
  <sample-rate>48000</sample-rate>
  <tempo>120</tempo>
  <ticks-per-beat>960</ticks-per-beat>
  <beats-per-bar>4</beats-per-bar>
  <beat-divisor>2</beat-divisor>
 </properties>
 <devices>
  <audio-engine>
   <audio-bus mode="duplex" name="Master">
    <channels>2</channels>
    <auto-connect>1</auto-connect>
   </audio-bus>
  </audio-engine>
 </devices>
 <tracks>
  <track type="audio" name="Track 1">
   <properties>
    <input-bus>Master</input-bus>
    <output-bus>Master</output-bus>
   </properties>
   <plugins>
    <plugin type="VST2">
     <filename>$MODULE</filename>
     <index>0</index>
     <label>Zaltrim</label>
     <activated>1</activated>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
EOF
}

jack_answers() { timeout 5 jack_lsp >/dev/null 2>&1; }

start_jack() {
  start jackd jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024
  if wait_until 20 jack_answers; then
    record "jackd (dummy, 48000 Hz, 1024 frames)" "running"
  else
    record "jackd (dummy, 48000 Hz, 1024 frames)" "did not start"
    exit 1
  fi
}

# Starts Qtractor on a session file and sets PID and MAIN; TAG names the screenshots.
start_qtractor() {
  local tag=$1 file=$2 error
  start "qtractor-$tag" qtractor "$file"
  PID=${STARTED[-1]}
  if ! wait_until 60 window_exists ' — Qtractor$'; then
    shot "$tag-no-window"
    record "$tag: Qtractor" "showed no window within 60 s"
    return 1
  fi
  # With no ALSA sequencer Qtractor reports that its engine could not start, then loads the
  # session once the box is closed.
  if error=$(wait_window 10 '^Error — Qtractor$'); then
    shot "$tag-engine-error"
    log "closing Qtractor's error box"
    keys_to "$error" Return
    wait_until 5 window_gone '^Error — Qtractor$'
  fi
  if ! MAIN=$(wait_window 30 'zaltrim.* — Qtractor$'); then
    shot "$tag-no-session"
    record "$tag: Qtractor main window" "the session did not open within 30 s"
    return 1
  fi
  sleep 2
  shot "$tag-session"
}

open_editor() {
  local tag=$1 track_dialog
  EDITOR=
  geometry W "$MAIN" || return 1
  for _ in 1 2; do
    timeout 10 xdotool mousemove --sync $((W_X + PLUGIN_X)) $((W_Y + PLUGIN_Y)) click --repeat 2 --delay 80 1
    EDITOR=$(wait_window 15 '^Zaltrim - Track 1') && break
  done
  if [[ -z $EDITOR ]]; then
    shot "$tag-no-editor"
    record "$tag: editor window" "did not appear after a double click on the plug-in"
    # A double click that missed the plug-in opens the track's properties instead.
    track_dialog=$(first_window '^Track — Qtractor$') && keys_to "$track_dialog" Escape
    return 1
  fi
  geometry P "$EDITOR"
  sleep 2
  shot "$tag-editor-open"
  record "$tag: editor window" "opened ($EDITOR, ${P_W}x${P_H}, title '$(timeout 10 "${XWIN[@]}" list | awk -v id="$EDITOR" '$1 == id' | cut -d' ' -f8-)')"
}

modified() { [[ -n $(windows '\[modified\] — Qtractor$') ]]; }

title() { timeout 10 "${XWIN[@]}" list | awk -v id="$MAIN" '$1 == id' | cut -d' ' -f8-; }

turn_dial() {
  local was
  was=$(modified && echo "modified" || echo "unmodified")
  drag_dial 04 54
  record "modified (Save enabled) after a dial gesture, session $was before" "$(within_5s modified): title '$(title)'"
}

pick_factor() {
  pick_factor_eight 03 23 || return 1
  record "modified (Save enabled) after a factor pick (first gesture, none before)" "$(within_5s modified): title '$(title)'"
}

# Ctrl+S only; Save is disabled while the session is unmodified, and then nothing is written.
save_if_enabled() {
  local saved_before
  saved_before=$(stat -c %Y.%s "$SESSION_FILE")
  sleep 1  # a save within the same second would leave the time unchanged
  keys_to "$MAIN" ctrl+s
  if wait_until 5 changed_since "$SESSION_FILE" "$saved_before"; then
    record "$1" "session file rewritten: $(python3 "$HOSTS_DIR/state.py" "$SESSION_FILE")"
  else
    record "$1" "nothing written (Save disabled); title '$(title)'"
  fi
}

# The panel as the user left it, to compare with the panel after the session is opened again.
panel_before_save() {
  shot 06-before-save
  cut_shot 06-before-save "${P_W}x${P_H}+${P_X}+${P_Y}" 06-panel-before-save
}

compare_reopened_panel() {
  local differ
  cut_shot 09-editor-open "${P_W}x${P_H}+${P_X}+${P_Y}" 09-panel-reopened
  side_by_side 06-panel-before-save 09-panel-reopened 09-panel-before-after
  differ=$(pixels_differ 06-panel-before-save 09-panel-reopened)
  record "09: reopened editor against the panel before saving" \
    "$( ((differ == 0)) && echo "identical" || echo "$differ pixels differ") (09-panel-before-after.png)"
}

show_about() {
  click_at $((P_X + 40)) $((P_Y + P_H * 6 / 10))
  local about
  # Qt adds " — Qtractor" (the application's display name) to every title under Qtractor.
  if about=$(wait_window 10 '^About QtZaltrim'); then
    shot 05-about
    record "about box" "appeared, titled '$(timeout 10 "${XWIN[@]}" list | awk -v id="$about" '$1 == id' | cut -d' ' -f8-)'"
    keys_to "$about" Return
    wait_until 5 window_gone '^About QtZaltrim' || "${XWIN[@]}" close "$about"
    record "about box closed with Return" "$(window_exists '^About QtZaltrim' && echo "no, still open" || echo yes)"
  else
    record "about box" "did not appear within 10 s"
  fi
}

close_editor() {
  timeout 10 "${XWIN[@]}" close "$EDITOR"
  if wait_until 10 window_gone '^Zaltrim - Track 1'; then
    record "$1: editor closed (WM_DELETE_WINDOW)" "yes"
  else
    record "$1: editor closed (WM_DELETE_WINDOW)" "no, still shown after 10 s"
  fi
}

# Sets SAVED to the file that holds the session after Ctrl+S, or after File > Save As when Save
# was not enabled (so that the state the plug-in gives can still be read).
save() {
  local saved_before dialog
  saved_before=$(stat -c %Y.%s "$SESSION_FILE")
  sleep 1  # a save within the same second would leave the time unchanged
  keys_to "$MAIN" ctrl+s
  if wait_until 10 changed_since "$SESSION_FILE" "$saved_before"; then
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

# File > Exit has no shortcut: Alt+F opens the menu and X picks Exit.
quit() {
  local tag=$1 question
  keys_to "$MAIN" alt+f
  sleep 1
  timeout 10 xdotool key x
  if wait_exit "$PID" 30; then
    record "$tag: File > Exit, exit status" "$EXIT"
    return
  fi
  shot "$tag-not-quitting"
  question=$(windows ' — Qtractor$' | awk -v main="$MAIN" '$1 != main { print $1; exit }')
  [[ -n $question ]] && log "a window stands in the way: $(timeout 10 "${XWIN[@]}" list | grep "^$question ")"
  stop_process "$PID" 10
  record "$tag: File > Exit, exit status" "still running 30 s after Exit, $STOP_HOW"
}

report_host_messages() {
  local tag=$1 lines
  keep_host_output "qtractor-$tag"
  lines=$(sed 's/0x[0-9a-f]*/0x…/g' "$WORK/qtractor-$tag.err" | sort | uniq -c | sed 's/^ *//' | paste -sd';' -)
  record "$tag: Qtractor's stderr" "${lines:-empty}"
}

write_config
scan
write_session
start_jack
SAVED=$SESSION_FILE
if start_qtractor 01 "$SESSION_FILE"; then
  record "Qtractor main thread CPU, session open, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  if open_editor 02; then
    record "Qtractor main thread CPU, editor open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
    thread_table "$PID" >"$OUT/threads.txt"
    pick_factor
    save_if_enabled "Ctrl+S after the factor pick"
    turn_dial
    show_about
    panel_before_save
    close_editor 06
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
  open_editor 09 && compare_reopened_panel && close_editor 09
  quit 10
fi
report_host_messages 08
log "done; screenshots in $OUT"
