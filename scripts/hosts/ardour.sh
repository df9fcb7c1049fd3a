#!/usr/bin/env bash
# Drives Ardour 7 as a user would: a session with Zaltrim on a mono track, the editor opened
# from the mixer, the dial turned, a factor picked, the about box shown, save and quit; then
# tells whether Ardour's own window kept working and what state the session file kept.
#
#   scripts/hosts/ardour.sh [MODULE] [OUTDIR]   (defaults build/QtZaltrim.so, build/hosts/ardour)
#
# Screenshots, log.txt, results.tsv and Ardour's output land in OUTDIR.
set -u
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SESSION_NAME=zaltrim
# Where the plug-in's button sits in the mixer strip of a one-track session, from the top left
# of Ardour's main window (1348x713, the size it takes on a 1600x1000 screen).
PROCESSOR_X=322
PROCESSOR_Y=206

setup ardour "${1:-$ROOT/build/QtZaltrim.so}" "${2:-$ROOT/build/hosts/ardour}"
SESSION_DIR=$WORK/$SESSION_NAME
SESSION_FILE=$SESSION_DIR/$SESSION_NAME.ardour

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

open_editor() {
  keys_to "$MAIN" alt+m
  sleep 2
  shot 02-mixer
    geometry W "$MAIN" || return 1
  for _ in 1 2; do
    timeout 10 xdotool mousemove --sync $((W_X + PROCESSOR_X)) $((W_Y + PROCESSOR_Y)) click --repeat 2 --delay 80 1
    EDITOR=$(wait_window 20 '^Audio 1: Zaltrim') && break
  done
  if [[ -z ${EDITOR:-} ]]; then
    shot 03-no-editor
    record "editor window" "did not appear after a double click on the plug-in"
    return 1
  fi
  PANEL=$(wait_window 10 '^QtZaltrim$' --class QtZaltrim)
  record "editor window" "opened ($EDITOR; panel $(windows '^QtZaltrim$' --class QtZaltrim | cut -d' ' -f4,5 | tr ' ' x))"
  sleep 2
  shot 03-editor-open
}

measure_gui() {
  record "GUI main thread CPU, editor open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
  thread_table "$PID" >"$OUT/threads.txt"
  record "threads" "$(cut -c10-28 "$OUT/threads.txt" | sed 's/ *$//' | sort | uniq -c | awk '{ $1 = $1 "x"; print }' | paste -sd, -)"
  grep -q ' LXVSTEventLoop ' "$OUT/threads.txt" && record "LXVSTEventLoop thread" "present"
  if menu_check 04-session-menu; then
    record "Ardour GUI with the editor open" "responsive: a click on its Session menu: $MENU"
  else
    record "Ardour GUI with the editor open" "frozen: a click on its Session menu: $MENU"
    if command -v gdb >/dev/null; then
      timeout 60 gdb -batch -p "$PID" -ex "thread apply 1 bt 20" >"$OUT/frozen-main-thread.txt" 2>&1
      log "main thread stack in $OUT/frozen-main-thread.txt"
    fi
  fi
}

turn_dial() {
  geometry P "$PANEL" || return 1
  # The dial follows the pointer's angle around its centre (about 45 px from the panel's right
  # edge, 52 px down): right of the centre, from 20 px below it to 20 px above, ends near +12 dB.
  local x=$((P_X + P_W - 25)) y=$((P_Y + 72))
  shot 05-before-dial
  drag_vertically "$x" "$y" 40
  sleep 1
  shot 05-dial-turned
  local changed
  changed=$(pixels_changed 05-before-dial 05-dial-turned "${P_W}x${P_H}+${P_X}+${P_Y}")
  record "dial drag" "$( ((${changed:-0} > 50)) && echo "panel redrawn ($changed pixels)" || echo "no visible change")"
}

pick_factor() {
  local before popup
  before=$(viewable_ids)
  click_at $((P_X + P_W - 45)) $((P_Y + P_H - 22))
  wait_until 5 has_new_window "$before" && popup=$(new_window "$before")
  if [[ -z ${popup:-} ]]; then
    record "factor list" "no popup list appeared"
    return 1
  fi
  geometry L "$popup"
  shot 06-factor-list
  # Five entries of equal height (2, 4, 8, 16, 32): the middle one is 8.
  click_at $((L_X + L_W / 2)) $((L_Y + L_H / 2))
  sleep 1
  shot 06-factor-8
  record "factor list" "popup ${L_W}x${L_H} appeared, middle entry (8) clicked"
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
    record "editor closed (WM_DELETE_WINDOW)" "yes"
  else
    record "editor closed (WM_DELETE_WINDOW)" "no, still shown after 10 s"
  fi
  shot 08-editor-closed
}

save_and_quit() {
  local saved_before
  saved_before=$(stat -c %Y.%s "$SESSION_FILE")
  sleep 1  # a save within the same second would leave the time unchanged
  keys_to "$MAIN" ctrl+s
  if wait_until 15 changed_since "$SESSION_FILE" "$saved_before"; then
    record "Ctrl+S" "session file rewritten"
  else
    record "Ctrl+S" "session file unchanged after 15 s"
  fi
  thread_table "$PID" >"$OUT/threads-before-quit.txt"
  keys_to "$MAIN" ctrl+q
  if wait_exit "$PID" 30; then
    record "Ctrl+Q, Ardour exit status" "$EXIT"
  else
    shot 09-not-quitting
    stop_process "$PID" 10
    record "Ctrl+Q, Ardour exit status" "frozen: still running 30 s after Ctrl+Q, $STOP_HOW"
  fi
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
  keep_host_output ardour
  local qt
  # Qt names its classes Q<Name>; its logging categories start with qt.
  qt=$(cat "$WORK/ardour.err" "$WORK/ardour.out" 2>/dev/null | grep -E '\bQ[A-Z][A-Za-z]+|^qt\.' |
    sed 's/0x[0-9a-f]*/0x…/g' | sort | uniq -c | sed 's/^ *//' | paste -sd';' -)
  record "Qt messages on Ardour's output" "${qt:-none}"
}

write_config
scan
make_session
start ardour ardour "$SESSION_FILE"
PID=${STARTED[-1]}
if ! MAIN=$(wait_window 90 "$SESSION_NAME - Ardour\$"); then
  shot 01-no-main-window
  record "Ardour main window" "did not appear within 90 s"
  report_host_messages
  exit 1
fi
sleep 3  # the session's first redraws
shot 01-session
record "Ardour started on the session" "main window $MAIN"
if open_editor; then
  measure_gui
  turn_dial
  pick_factor
  show_about
  shot 07-after-about
  close_editor
fi
save_and_quit
report_host_messages
report_saved_state
log "done; screenshots in $OUT"
