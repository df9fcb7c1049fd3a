# shellcheck shell=bash
# Shared by the Ardour scripts of both plug-in formats, on top of lib.sh: Ardour's settings, a start
# on a session, the plug-in's window opened from the mixer and closed, the check that Ardour's own
# GUI still answers, save and quit, and what Qt said on Ardour's output. Sourced, not run.
#
# The sourcing script sets SESSION_NAME and SESSION_FILE, WINDOW_TITLE (a regex for Ardour's
# window around the plug-in's panel) and WINDOW_NAME (what the rows call it: "editor", "UI"), and
# defines describe_save (what a row says after a save rewrote the session file).
# shellcheck disable=SC2034  # DIAL_CENTRE, FACTOR_BOTTOM and the like are read by the scripts

# Where the plug-in's button sits in the mixer strip of a one-track session, from the top left
# of Ardour's main window (1348x713, the size it takes on a 1600x1000 screen).
PROCESSOR_X=322
PROCESSOR_Y=206
# The panel at its own 180x132: the dial's centre is this far down from its top, the factor box
# this far up from its bottom (for drag_dial and pick_factor_eight in lib.sh).
DIAL_CENTRE=52
FACTOR_BOTTOM=22

# Ardour's config; OPTION VALUE pairs are added to its <Config> (e.g. a plug-in search path).
# shellcheck disable=SC2120  # the LV2 scripts call it without options
write_config() {
  local options=
  while (($# >= 2)); do
    options+="    <Option name=\"$1\" value=\"$2\"/>"$'\n'
    shift 2
  done
  mkdir -p "$XDG_CONFIG_HOME/ardour7"
  # The saved engine state lets Ardour start the Dummy backend without its audio-setup dialog.
  cat >"$XDG_CONFIG_HOME/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
${options}  </Config>
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

# Ardour marks a session with unsaved changes by a "*" before its name in the main window's title.
dirty() { window_exists "^\\*$SESSION_NAME - Ardour\$"; }
clean() { ! dirty; }
title() { window_title "$MAIN"; }

# Ardour's own memory of its layout (instant.xml: which tab was shown) goes, so that every start
# shows the editor tab first and Alt+M the mixer; a second Alt+M would go back to the editor.
forget_layout() { rm -f "$1/instant.xml" "$XDG_CONFIG_HOME/ardour7/instant.xml"; }

# Starts Ardour on a session file, its layout forgotten; sets PID and MAIN.
start_ardour() {
  local tag=$1 file=$2
  forget_layout "$(dirname "$file")"
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
}

# The mixer, then a double click on the plug-in; sets EDITOR (Ardour's window), PANEL (the
# plug-in's window inside, class QtZaltrim) and E_* and P_* from their places.
open_plugin_window() {
  local tag=$1
  keys_to "$MAIN" alt+m
  sleep 2
  shot "$tag-mixer"
  if ! double_click_for_window "$PROCESSOR_X" "$PROCESSOR_Y" 20 "$WINDOW_TITLE"; then
    shot "$tag-no-${WINDOW_NAME,,}"
    record "$tag: $WINDOW_NAME window" "did not appear after a double click on the plug-in"
    return 1
  fi
  find_panel "$tag" "$tag: $WINDOW_NAME window" "Ardour's window appeared, but no panel inside within 10 s" || return 1
  geometry E "$EDITOR"
  record "$tag: $WINDOW_NAME window" "opened: '$(window_title "$EDITOR")' ${E_W}x${E_H}, panel ${P_W}x${P_H}"
  sleep 2
  shot "$tag-${WINDOW_NAME,,}-open"
}

close_plugin_window() {
  timeout 10 "${XWIN[@]}" close "$EDITOR"
  if wait_until 10 window_gone "$WINDOW_TITLE"; then
    record "$1: $WINDOW_NAME closed (WM_DELETE_WINDOW)" "yes; Ardour $(gone "$PID" && echo "GONE" || echo "still running")"
  else
    record "$1: $WINDOW_NAME closed (WM_DELETE_WINDOW)" "no, still shown after 10 s"
  fi
  shot "$1-${WINDOW_NAME,,}-closed"
}

# A click on the Session menu must open it and draw its entries. A stuck GTK main loop may still
# map the menu's window (it takes the click) yet never paint it, leaving what was beneath.
# Sets MENU to what was seen.
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

# Ardour's main thread over 3 s with the plug-in's window open and idle, its threads into
# threads.txt, then the Session menu; sets FROZEN (and keeps the main thread's stack) when the
# menu did not draw.
measure_gui() {
  record "GUI main thread CPU, $WINDOW_NAME open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  thread_table "$PID" >"$OUT/threads.txt"
  if menu_check "$1-session-menu"; then
    record "Ardour GUI with the $WINDOW_NAME open" "responsive: a click on its Session menu: $MENU"
  else
    record "Ardour GUI with the $WINDOW_NAME open" "frozen: a click on its Session menu: $MENU"
    FROZEN=1
    if command -v gdb >/dev/null; then
      timeout 60 gdb -batch -p "$PID" -ex "thread apply 1 bt 20" >"$OUT/frozen-main-thread.txt" 2>&1
      log "main thread stack in $OUT/frozen-main-thread.txt"
    fi
  fi
}

# Ctrl+S; ROW names the row. Succeeds when the session file was rewritten.
save() {
  if ctrl_s "$SESSION_FILE" 15; then
    record "$1" "$(describe_save)"
  else
    record "$1" "session file unchanged after 15 s"
    return 1
  fi
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

report_host_messages() {
  local tag=$1 qt
  keep_host_output "ardour-$tag"
  qt=$(qt_messages "$WORK/ardour-$tag.err" "$WORK/ardour-$tag.out")
  record "$tag: Qt messages on Ardour's output" "${qt:-none}"
}
