#!/usr/bin/env bash
# Qtractor with the CLAP module: installed by `cmake --install` into the run's private prefix,
# where Qtractor finds it through CLAP_PATH alone; a session whose audio track holds it, the
# plug-in's panel opened from the track's plug-in list, the dial turned, a factor picked, saved,
# exit; the saved session opened again: the values Qtractor kept, and the reopened panel against
# the panel as it was before saving.
#
#   scripts/hosts/clap-qtractor.sh [BUILD] [OUTDIR] [EDITION]
#     defaults build, build/hosts/clap-qtractor, mono; EDITION stereo runs "Zaltrim Stereo"
set -u
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source-path=SCRIPTDIR source=qtractor-lib.sh
source "$HOSTS_DIR/qtractor-lib.sh"

WINDOW_NAME=panel

build=$(cd "${1:-$ROOT/build}" 2>/dev/null && pwd) || { echo "no build folder ${1:-}" >&2; exit 1; }
setup clap-qtractor "$build/Zaltrim.clap" "${2:-$ROOT/build/hosts/clap-qtractor}"
if ! timeout 60 cmake --install "$build" --prefix "$WORK/usr" >>"$LOG" 2>&1; then
  record "module installed (cmake --install)" "failed"
  exit 1
fi
CLAP_MODULE=$WORK/usr/lib/clap/Zaltrim.clap
export CLAP_PATH=$WORK/usr/lib/clap
record "module installed (cmake --install)" "$(ls "$CLAP_PATH")"

# Qtractor's own scanner, as its plug-in dialog runs it: a line for each plug-in of the module.
scanned=$(echo "CLAP:$CLAP_MODULE" | timeout 60 /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan 2>>"$LOG")
log "scanner: $scanned"
if grep -q '^CLAP|Zaltrim|1:1|' <<<"$scanned" && grep -q '^CLAP|Zaltrim Stereo|2:2|' <<<"$scanned"; then
  record scan "ok: $(cut -d'|' -f2-6 <<<"$scanned" | paste -sd';' -)"
else
  record scan "failed (${scanned:-no output})"
  exit 1
fi
SESSION_DIR=$WORK/zaltrim
SESSION_FILE=$SESSION_DIR/zaltrim.qts

# The plug-in's element of a saved session, on one line.
saved_plugin() { python3 - "$1" <<'PY'
import sys, xml.etree.ElementTree as ET
plugin = ET.parse(sys.argv[1]).find('.//plugin')
params = ' '.join(f"{p.get('name') or p.get('index')}={p.text}" for p in plugin.iter('param'))
state = ' '.join(f"{c.get('key')}:{len(c.text or '')} chars" for c in plugin.iter('config'))
print(f"type {plugin.get('type')}; params {params or 'none'}; state {state or 'none'}")
PY
}

save() {
  if ctrl_s "$SESSION_FILE" 10; then
    record "$1" "saved: $(saved_plugin "$SESSION_FILE")"
  else
    record "$1" "session file unchanged after 10 s; title '$(title)'"
  fi
}

write_config
case ${3:-mono} in
  mono) write_session CLAP "$CLAP_MODULE" 0 ;;
  stereo)
    PLUGIN_NAME="Zaltrim Stereo"
    write_session CLAP "$CLAP_MODULE" 1
    ;;
  *) echo "no edition ${3}: mono or stereo" >&2; exit 2 ;;
esac
play_session zaltrim-clap
