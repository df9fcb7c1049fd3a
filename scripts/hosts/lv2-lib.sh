# shellcheck shell=bash
# Shared by the LV2 host scripts, on top of lib.sh: the bundle installed into the run's private
# folder, where the hosts find it through LV2_PATH alone; the port values a host saved in its
# session file. Sourced, not run.
# shellcheck disable=SC2034  # BUNDLE, PLUGIN_URI and the like are read by the scripts

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

PLUGIN_URI=https://orvendel.example/plugins/zaltrim
UI_URI=$PLUGIN_URI#ui

# lv2_setup HOST BUILD OUTDIR: lib.sh's setup (private folders, log, Xvfb; it waits until the
# build has finished writing the plug-in's library and keeps a copy in $WORK/vst, unused here),
# then `cmake --install BUILD` into $WORK/usr, as a user or a package would install the bundle.
# Sets BUNDLE and LV2_PATH. Nothing of the system's or the user's LV2 folders is searched but
# /usr/lib/lv2, where Debian keeps the LV2 schemas the hosts read.
lv2_setup() {
  local host=$1 build=$2 out=$3
  build=$(cd "$build" 2>/dev/null && pwd) || { echo "no build folder $2" >&2; exit 1; }
  setup "$host" "$build/zaltrim.lv2/zaltrim.so" "$out"
  # The UI library may still be being written by a build: wait as for the plug-in's.
  copy_module "$build/zaltrim.lv2/zaltrim_ui.so" "$WORK/vst/zaltrim_ui.so" || log "no UI library in $build/zaltrim.lv2"
  if ! timeout 60 cmake --install "$build" --prefix "$WORK/usr" >>"$LOG" 2>&1; then
    record "bundle installed (cmake --install)" "failed"
    exit 1
  fi
  BUNDLE=$WORK/usr/lib/lv2/zaltrim.lv2
  export LV2_PATH=$WORK/usr/lib/lv2:/usr/lib/lv2
  record "bundle installed (cmake --install)" "$(find "$BUNDLE" -maxdepth 1 -type f -printf '%f\n' | sort | paste -sd' ' -)"
}

# The port values a session file holds for the plug-in, as one line.
saved_ports() { python3 "$HOSTS_DIR/state.py" "$1"; }
