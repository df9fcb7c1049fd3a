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
play_session zaltrim-lv2
