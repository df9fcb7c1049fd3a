#!/usr/bin/env bash
# Qtractor with the LV2 bundle: a session whose audio track holds the LV2 plug-in (Qtractor finds
# it through LV2_PATH), the plug-in's X11 UI opened from the track's plug-in list, the dial
# turned, a factor picked, saved, exit; the saved session opened again: the port values Qtractor
# kept, and the reopened UI against the panel as it was before saving.
#
#   scripts/hosts/lv2-qtractor.sh [BUILD] [OUTDIR]   (defaults build, build/hosts/lv2-qtractor)
set -u
# shellcheck source-path=SCRIPTDIR source=lv2-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lv2-lib.sh"
# shellcheck source-path=SCRIPTDIR source=qtractor-lib.sh
source "$HOSTS_DIR/qtractor-lib.sh"

WINDOW_NAME=UI

lv2_setup lv2-qtractor "${1:-$ROOT/build}" "${2:-$ROOT/build/hosts/lv2-qtractor}"
SESSION_DIR=$WORK/zaltrim
SESSION_FILE=$SESSION_DIR/zaltrim.qts

save() {
  if ctrl_s "$SESSION_FILE" 10; then
    record "$1" "saved: $(saved_ports "$SESSION_FILE")"
  else
    record "$1" "session file unchanged after 10 s; title '$(title)'"
  fi
}

write_config
write_session LV2 "$PLUGIN_URI"
start_jack zaltrim-lv2
if start_qtractor 01 "$SESSION_FILE"; then
  if open_plugin_window 02; then
    record "Qtractor main thread CPU, UI open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
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
    compare_reopened_panel 05-panel-before-save 08-ui-open 08 UI
    close_plugin_window 08
  fi
  quit 09
fi
report_host_messages 07
log "done; screenshots in $OUT"
