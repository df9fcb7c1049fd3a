# shellcheck shell=bash
# Shared by the Qtractor scripts of both plug-in formats, on top of lib.sh: Qtractor's settings, a
# session with the plug-in on an audio track, a start on it, the plug-in's window opened from the
# track's plug-in list and closed, File > Exit, and Qtractor's stderr. Sourced, not run.
#
# The sourcing script sets SESSION_DIR and SESSION_FILE, and WINDOW_NAME (what the rows call the
# plug-in's window: "editor", "UI").
# shellcheck disable=SC2034  # DIAL_CENTRE, FACTOR_BOTTOM and the like are read by the scripts

# Where the plug-in's entry sits in track 1's plug-in list (the "Bus" column), from the top left
# of Qtractor's main window (1024x768; a later start puts it where the last one left it).
PLUGIN_X=177
PLUGIN_Y=180
# The panel fills Qtractor's window for it, 180x136 (Qtractor's font is a little taller): the
# dial's centre is this far down from its top, the factor box this far up from its bottom (for
# drag_dial and pick_factor_eight in lib.sh).
DIAL_CENTRE=54
FACTOR_BOTTOM=23

# The plug-in's name, which titles Qtractor's window for it ("Zaltrim - Track 1").
PLUGIN_NAME=Zaltrim

# Qtractor.conf; with VST2_PATH, Qtractor's VST 2 search path.
# shellcheck disable=SC2120  # the LV2 scripts call it without options
write_config() {
  local plugins=
  [[ -n ${1:-} ]] && plugins=$'\n'"[Plugins]"$'\n'"Vst2Paths=$1"$'\n'
  mkdir -p "$XDG_CONFIG_HOME/rncbc.org"
  cat >"$XDG_CONFIG_HOME/rncbc.org/Qtractor.conf" <<EOF
[AutoSave]
Enabled=false

[Default]
SessionBackup=false
SessionExt=qts
$plugins
[Preferences]
Dialogs\\UseNativeDialogs=false
EOF
}

# The session as Qtractor 0.9.31 writes one for a new audio track with the plug-in inserted, less
# the plug-in's state: the plug-in starts from its own defaults. TYPE is Qtractor's plug-in type
# (VST2, LV2, CLAP), FILENAME the module's path or the LV2 URI, INDEX the plug-in's place in a
# module that holds several (0 when left out).
write_session() {
  local type=$1 filename=$2 index=${3:-0}
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
    <plugin type="$type">
     <filename>$filename</filename>
     <index>$index</index>
     <label>Zaltrim</label>
     <activated>1</activated>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
EOF
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

# A double click on the plug-in; sets EDITOR (Qtractor's window for the plug-in, which the panel
# fills) and P_* and E_* from its place.
open_plugin_window() {
  local tag=$1 track_dialog
  if ! double_click_for_window "$PLUGIN_X" "$PLUGIN_Y" 15 "^$PLUGIN_NAME - Track 1"; then
    shot "$tag-no-${WINDOW_NAME,,}"
    timeout 10 "${XWIN[@]}" list | grep viewable >>"$LOG"
    record "$tag: $WINDOW_NAME window" "did not appear after a double click on the plug-in"
    # A double click that missed the plug-in opens the track's properties instead.
    track_dialog=$(first_window '^Track — Qtractor$') && keys_to "$track_dialog" Escape
    return 1
  fi
  geometry P "$EDITOR"
  geometry E "$EDITOR"
  sleep 2
  shot "$tag-${WINDOW_NAME,,}-open"
  cut_shot "$tag-${WINDOW_NAME,,}-open" "${E_W}x${E_H}+${E_X}+${E_Y}" "$tag-${WINDOW_NAME,,}"
  record "$tag: $WINDOW_NAME window" "opened: '$(window_title "$EDITOR")' ${E_W}x${E_H}"
}

close_plugin_window() {
  timeout 10 "${XWIN[@]}" close "$EDITOR"
  if wait_until 10 window_gone "^$PLUGIN_NAME - Track 1"; then
    record "$1: $WINDOW_NAME closed (WM_DELETE_WINDOW)" "yes; Qtractor $(gone "$PID" && echo GONE || echo "still running")"
  else
    record "$1: $WINDOW_NAME closed (WM_DELETE_WINDOW)" "no, still shown after 10 s"
  fi
}

# Qtractor's title (the session file's path) gains "[modified]" exactly when File > Save is enabled.
modified() { window_exists '\[modified\] — Qtractor$'; }
title() { window_title "$MAIN"; }

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
  lines=$(output_lines "$WORK/qtractor-$tag.err")
  record "$tag: Qtractor's stderr" "${lines:-empty}"
}

# What the LV2 and CLAP scripts both play on the session in SESSION_FILE, with jackd under the
# name JACK: open the plug-in's window, turn the dial, pick 8, save with Ctrl+S (the script's own
# `save` records what was saved), quit; open the saved session again and compare the panel.
play_session() {
  local jack=$1 window=${WINDOW_NAME,,}
  start_jack "$jack"
  if start_qtractor 01 "$SESSION_FILE"; then
    if open_plugin_window 02; then
      record "Qtractor main thread CPU, $WINDOW_NAME open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
      thread_table "$PID" >"$OUT/threads.txt"
      drag_dial 03 "$DIAL_CENTRE"
      record "session modified after the dial gesture" "$(within_5s modified): title '$(title)'"
      pick_factor_eight 04 "$FACTOR_BOTTOM"
      panel_before_save 05
      close_plugin_window 05
    fi
    save "Ctrl+S"
    quit 06
  fi
  report_host_messages 01
  cp "$SESSION_FILE" "$OUT/saved.qts"

  if start_qtractor 07 "$SESSION_FILE"; then
    if open_plugin_window 08; then
      compare_reopened_panel 05-panel-before-save "08-$window-open" 08 "$WINDOW_NAME"
      close_plugin_window 08
    fi
    quit 09
  fi
  report_host_messages 07
  log "done; screenshots in $OUT"
}
