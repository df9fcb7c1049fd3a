#!/usr/bin/env bash
# MusE 4.1 (Qt 5) with both formats, one after the other: the panel brings the module's Qt 6 into
# MusE's Qt 5 process. For each format, on jackd's dummy driver: a project whose first track holds
# the plug-in in its rack with "Show Native GUI" on (MusE's own project format, written here; MusE
# has no scripting), the panel found, the dial turned, 8 picked in the factor list with clicks,
# whether MusE marks the project modified, Ctrl+S, quit; MusE again on the saved project, the
# panel compared with the one before saving, the panel closed (MusE frees the UI then), MusE
# still running, quit. MusE's exit status and output are recorded each time.
#
#   scripts/hosts/muse.sh [BUILD] [OUTDIR]   (defaults build, build/hosts/muse)
set -u
# shellcheck source-path=SCRIPTDIR source=lv2-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lv2-lib.sh"

# The panel at its own 180x132 in MusE's window: the dial's centre is this far down from its top,
# the factor box this far up from its bottom.
DIAL_CENTRE=52
FACTOR_BOTTOM=22

BUILD=$(cd "${1:-$ROOT/build}" 2>/dev/null && pwd) || { echo "no build folder ${1:-}" >&2; exit 1; }
lv2_setup muse "$BUILD" "${2:-$ROOT/build/hosts/muse}"
# lv2_setup keeps the bundle's libraries in $WORK/vst; MusE scans that folder for VST 2 modules,
# so it gets the VST 2 module alone.
rm -f "$WORK"/vst/*.so
copy_module "$BUILD/QtZaltrim.so" "$WORK/vst/QtZaltrim.so" || { record module "not copied from $BUILD"; exit 1; }
export VST_PATH=$WORK/vst LXVST_PATH=$WORK/vst

# MusE's project: its audio template with the plug-in in Track 1's rack, its native GUI shown.
write_project() {
  local format=$1 file=$2 plugin
  if [[ $format == vst ]]; then
    plugin='<plugin file="QtZaltrim" label="Zaltrim" channel="1">'
  else
    plugin="<plugin uri=\"$PLUGIN_URI\" label=\"Zaltrim\" channel=\"1\">"
  fi
  python3 - "$file" "$plugin" <<'EOF'
import sys
text = open('/usr/share/muse/templates/audio.med').read().replace('<sampleRate>44100', '<sampleRate>48000')
track = text.index('<name>Track 1</name>')
end = text.index('</wavetrack>', track)
block = sys.argv[2] + '\n        <nativegui>1</nativegui>\n        </plugin>\n      '
open(sys.argv[1], 'w').write(text[:end] + block + text[end:])
EOF
}

# Starts MusE on PROJECT; sets PID, MAIN and the panel's PANEL, P_*.
start_muse() {
  local tag=$1 project=$2 tip
  start "muse-$tag" muse -j "$project"
  PID=${STARTED[-1]}
  if ! MAIN=$(wait_window 40 '^MusE Project: '); then
    shot "$tag-no-window"
    record "$tag: MusE window" "did not appear within 40 s"
    return 1
  fi
  # "Did you know?" comes up at every start.
  if tip=$(wait_window 10 '^Did you know'); then
    keys_to "$tip" Escape
    wait_until 5 window_gone '^Did you know'
  fi
  find_panel "$tag" "$tag: panel" "no panel within 10 s" || return 1
  EDITOR=$(first_window '^Track 1: ?Zaltrim')
  sleep 2
  shot "$tag-panel"
  record "$tag: MusE shows the panel" "window '$(window_title "$EDITOR")', panel ${P_W}x${P_H}"
}

quit_muse() {
  local tag=$1
  timeout 10 "${XWIN[@]}" close "$MAIN"
  if wait_exit "$PID" 20; then
    record "$tag: main window closed, MusE exit status" "$EXIT$( ((EXIT > 128)) && echo " (signal $((EXIT - 128)))")"
  else
    shot "$tag-not-quitting"
    stop_process "$PID" 10
    record "$tag: main window closed" "MusE still running after 20 s, $STOP_HOW"
  fi
}

report_output() {
  local tag=$1 qt
  keep_host_output "muse-$tag"
  # MusE's own theme makes Qt 5 print this at every start.
  qt=$(cat "$WORK/muse-$tag.err" "$WORK/muse-$tag.out" 2>/dev/null | grep -v 'QCursor: Cannot create bitmap cursor' |
    qt_messages -)
  record "$tag: Qt messages on MusE's output (its own QCursor lines left out)" "${qt:-none}"
}

# What the saved project holds for the plug-in: its controls and state lines, shortened.
saved_plugin() {
  sed -n '/<plugin /,/<\/plugin>/p' "$1" | grep -v '<plugin \|</plugin>' | sed 's/^ *//' | cut -c1-80 | paste -sd' ' -
}

run_format() {
  local format=$1 project=$WORK/$1.med
  write_project "$format" "$project"
  record "$format: project" "Track 1's rack holds the plug-in, native GUI on ($project)"
  if start_muse "$format-01" "$project"; then
    record "$format-01: MusE main thread CPU, panel open and idle, 3 s" "$(thread_cpu "$PID" "$PID" 3) %"
    drag_dial "$format-02" "$DIAL_CENTRE"
    record "$format-02: title after the dial gesture" "$(window_title "$MAIN")"
    pick_factor_eight "$format-03" "$FACTOR_BOTTOM"
    record "$format-03: factor list closed by the click on 8" \
      "$( (($(windows '^QtZaltrim$' --class QtZaltrim | wc -l) > 1)) && echo "no, still open" || echo yes)"
    record "$format-03: title after the factor pick" "$(window_title "$MAIN")"
    panel_before_save "$format-04"
    if ctrl_s "$project" 10; then
      record "$format-04: Ctrl+S, the plug-in in the saved project" "$(saved_plugin "$project")"
    else
      record "$format-04: Ctrl+S" "the project was not rewritten within 10 s"
    fi
    quit_muse "$format-05"
  fi
  report_output "$format-01"

  if start_muse "$format-06" "$project"; then
    compare_reopened_panel "$format-04-panel-before-save" "$format-06-panel" "$format-06" panel
    timeout 10 "${XWIN[@]}" close "$EDITOR"
    wait_until 10 window_gone '^Track 1: ?Zaltrim'
    sleep 2
    shot "$format-07-panel-closed"
    record "$format-07: panel window closed, MusE" "$(gone "$PID" && echo "gone" || echo "still running")"
    gone "$PID" || quit_muse "$format-08"
  fi
  report_output "$format-06"
}

start_jack zaltrim-muse
run_format vst
run_format lv2
log "done; screenshots in $OUT"
