#!/usr/bin/env bash
# Audacity 3.2 with both formats: the VST 2 module in ~/.vst and the LV2 bundle in ~/.lv2 (a
# `cmake --install` into the private HOME), found by Audacity's own first-start scan. Audacity is
# driven through its scripting pipe (import, select, undo, export) and, for what scripting cannot
# reach (the effect dialogs, Preview, the presets menu), through real X input. Each applied result
# is exported and compared with zaltrim-host's render of the same input.
#
#   scripts/hosts/audacity.sh [BUILD] [OUTDIR]   (defaults build, build/hosts/audacity)
#
# The scripting pipes are /tmp/audacity_script_pipe.to.UID and .from.UID, one pair per user: no
# other Audacity of this user may run meanwhile.
set -u
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=$(cd "${1:-$ROOT/build}" 2>/dev/null && pwd) || { echo "no build folder ${1:-}" >&2; exit 1; }
setup audacity "$BUILD/QtZaltrim.so" "${2:-$ROOT/build/hosts/audacity}"
PIPE=(python3 "$HOSTS_DIR/audacity_pipe.py")
COMPARE=(python3 "$HOSTS_DIR/wav_compare.py")
HOST_PROGRAM=$BUILD/zaltrim-host

if pgrep -u "$(id -u)" -x audacity >/dev/null; then
  record "start" "another Audacity of this user runs: its scripting pipe would be shared"
  exit 1
fi

# Both formats where Audacity's scan looks: ~/.vst and ~/.lv2.
if ! timeout 60 cmake --install "$BUILD" --prefix "$HOME" >>"$LOG" 2>&1; then
  record "install into ~/.vst and ~/.lv2" "failed"
  exit 1
fi
record "install into ~/.vst and ~/.lv2" "$(cd "$HOME" && find .vst .lv2 -maxdepth 2 -type f | sort | paste -sd' ' -)"

# No sound card: ALSA's null device.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$WORK/asound.conf"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$WORK/asound.conf
export GSETTINGS_BACKEND=memory

# The settings before the first start: no welcome box, the scripting module on (it starts at 4,
# "ask"), the project's temporary files in the private folder, no metadata box on export.
CONFIG=$XDG_CONFIG_HOME/audacity
mkdir -p "$CONFIG" "$WORK/tmp"
SCRIPT_MODULE=/usr/lib/audacity/modules/mod-script-pipe.so
cat >"$CONFIG/audacity.cfg" <<EOF
[GUI]
ShowSplashScreen=0
[Directories]
TempDir=$WORK/tmp
[Module]
mod-script-pipe=1
[ModulePath]
mod-script-pipe=$SCRIPT_MODULE
[ModuleDateTime]
mod-script-pipe=$(date -r "$SCRIPT_MODULE" +%Y-%m-%dT%H:%M:%S)
[AudioFiles]
ShowId3Dialog=0
EOF

pipe() { timeout 120 "${PIPE[@]}" --timeout 100 "$@" >>"$OUT/pipe.txt" 2>&1; }

start_audacity() {
  # Left over by an earlier run (no other Audacity of this user runs): the new server makes them.
  rm -f "/tmp/audacity_script_pipe.to.$(id -u)" "/tmp/audacity_script_pipe.from.$(id -u)"
  # From the private folder: Audacity also looks for plug-ins and modules where it is started.
  # shellcheck disable=SC2016  # $1 is the inner shell's
  start audacity bash -c 'cd "$1" && exec audacity' audacity "$WORK"
  PID=${STARTED[-1]}
  if ! wait_until 90 test -p "/tmp/audacity_script_pipe.to.$(id -u)" || ! MAIN=$(wait_window 60 '^Audacity$'); then
    shot "$1-no-window"
    record "start" "no main window or scripting pipe within 90 s"
    return 1
  fi
  sleep 2
  # The first start greets with a box of its own, whatever the settings say.
  local welcome
  if welcome=$(wait_window 10 '^Welcome to Audacity'); then
    "${XWIN[@]}" close "$welcome"
    wait_until 5 window_gone '^Welcome to Audacity'
  fi
  record "start" "main window and scripting pipe up"
}

# The input: zaltrim-host's built-in phrase, 4 s at 44.1 kHz, imported and selected.
"$HOST_PROGRAM" render "$WORK/in.wav" --quiet --gain-db -6
render() { "$HOST_PROGRAM" render "$WORK/in.wav" "$WORK/$1.wav" --quiet --oversampling "$2" --gain-db "${3:-0}" "${@:4}"; }

# The menu that opened since BEFORE (a list from viewable_ids): GTK maps a 10x10 window off screen
# with each menu, so the menu is the new window that is wider than that; sets M_X M_Y M_W M_H.
new_menu() {
  local id
  for id in $(comm -13 <(printf '%s\n' "$1") <(viewable_ids)); do
    geometry M "$id" && ((M_W > 50)) && return 0
  done
  return 1
}
opened_menu() { wait_until 5 new_menu "$1"; }
# Hovers the row Y px below the top of the open menu (M_*), X px from its left, then the row's
# right end, and waits for the submenu that opens there; sets M_* to the submenu's.
open_submenu() {
  local before
  before=$(viewable_ids)
  timeout 5 xdotool mousemove $((M_X + $1)) $((M_Y + $2))
  sleep 0.7
  timeout 5 xdotool mousemove $((M_X + M_W - 20)) $((M_Y + $2))
  opened_menu "$before"
}

# Effect > Orvendel > Zaltrim... > the format's entry (0: the VST 2 module's path, 1: the LV2 URI):
# each menu is a new window; Orvendel is the Effect menu's last row on a system whose other vendors
# sort before it, Zaltrim... the first of its submenu. Sets DIALOG and D_X D_Y D_W D_H.
open_effect() {
  local row=$1 tag=$2 before
  geometry W "$MAIN"
  before=$(viewable_ids)
  click_at $((W_X + 419)) $((W_Y + 12))
  opened_menu "$before" || { record "$tag: Effect menu" "did not open"; return 1; }
  open_submenu 40 $((M_H - 14)) || { record "$tag: Orvendel submenu" "did not open"; return 1; }
  open_submenu 30 14 || { record "$tag: Zaltrim submenu" "did not open"; return 1; }
  timeout 5 xdotool mousemove $((M_X + 30)) $((M_Y + M_H * (2 * row + 1) / 4))
  sleep 0.5
  timeout 5 xdotool click 1
  DIALOG=$(wait_window 15 '^Zaltrim$') || { shot "$tag-no-dialog"; record "$tag: dialog" "did not open"; return 1; }
  sleep 2
  geometry D "$DIALOG"
}

# The dialog's buttons, from its edges.
preview() { click_at $((D_X + D_W - 150)) $((D_Y + 21)); }
apply() { click_at $((D_X + D_W - 49)) $((D_Y + 21)); }

# The panel inside the dialog; sets PANEL and P_*.
dialog_panel() { PANEL=$(wait_window 10 '^QtZaltrim$' --class QtZaltrim) && geometry P "$PANEL"; }

# Picks row ROW (0 for 2 .. 4 for 32) of the panel's factor list.
pick_factor() {
  local row=$1 before popup
  before=$(viewable_ids)
  click_at $((P_X + P_W - 45)) $((P_Y + P_H - 22))
  wait_until 5 has_new_window "$before" && popup=$(new_window "$before") || return 1
  geometry L "$popup"
  click_at $((L_X + L_W / 2)) $((L_Y + L_H * (2 * row + 1) / 10))
  sleep 1
}

# Exports the track, once an applied effect has finished, to NAME.wav in the run's folder; fails
# unless the file holds the whole selection (4 s of 16-bit samples).
whole_export() { (($(stat -c %s "$1" 2>/dev/null || echo 0) >= 352800)); }
export_track() {
  rm -f "$WORK/$1.wav"
  sleep 2
  pipe "Export2: Filename=$WORK/$1.wav NumChannels=1"
  wait_until 30 whole_export "$WORK/$1.wav" || { record "export $1" "no whole file within 30 s"; return 1; }
}

# "shift N, max difference X, ..." of export NAME against render REFERENCE.
against() { "${COMPARE[@]}" "$WORK/$2.wav" "$WORK/$1.wav" 16; }

panel_cut() {
  timeout 5 xdotool mousemove 1590 990
  sleep 1
  shot "$1"
  cut_shot "$1" "${P_W}x${P_H}+${P_X}+${P_Y}" "$1-panel"
}

# The first start scans ~/.vst and ~/.lv2, writes the plug-in registry and greets; its scripting
# server made its pipes but answered nothing (seen twice), so the run uses a second start. The
# first start's empty project is removed, or the second would offer to recover it; the first
# start drops the splash setting, written again, and exports go out undithered, so that they
# differ from zaltrim-host's render by the rounding to 16 bits alone.
# Before a start: the last start's project forgotten, or Audacity offers to recover it (after an
# abort, too).
forget_projects() {
  sed -i '/^\[ActiveProjects\]/,/^\[/{/^\[ActiveProjects\]/d;/^[0-9]*=/d}' "$CONFIG/audacity.cfg"
  rm -rf "${WORK:?}/tmp/"*
}
start_audacity 00 || exit 1
stop_process "$PID" 10
record "first start (the scan), then ended" "$STOP_HOW"
forget_projects
printf '[GUI]\nShowSplashScreen=0\n[Quality]\nHQDitherAlgorithm=0\nLQDitherAlgorithm=0\n' >>"$CONFIG/audacity.cfg"
start_audacity 01 || exit 1
registry=$CONFIG/pluginregistry.cfg
zaltrim_entries='/^\[/ { path = "" } /^Path=/ { path = $0 } path ~ /QtZaltrim\.so;0$|orvendel\.example\/plugins\/zaltrim/'
record "first-start scan: registry entries" "$(awk "$zaltrim_entries && /^Path=/ { n++ } END { print n + 0 }" "$registry") (VST 2 module, LV2 mono and stereo), $(awk "$zaltrim_entries && /^Enabled=1/ { n++ } END { print n + 0 }" "$registry") enabled"
# Each check starts from the input itself: an effect that was not applied would make an undo take
# the import back.
fresh_track() { pipe "SelectAll:" "RemoveTracks:" "Import2: Filename=$WORK/in.wav" "SelectAll:"; }
fresh_track

# Both formats are named Zaltrim, so they share the scripting (and macro) command `Zaltrim:`, which
# runs with the settings last used. Which format ran shows in the result: the VST 2 module's is
# compensated, the LV2 edition's 5 samples late (below). The registry's descriptions are empty in
# both, so Help tells them apart no better.
FACTORS=(2 4 8 16 32)
for factor in "${FACTORS[@]}"; do
  render "r-f$factor" "$factor"
  render "r-f$factor-late" "$factor" 0 --no-delay-compensation
done
equals() { "${COMPARE[@]}" "$WORK/$1.wav" "$WORK/$2.wav" 0 | awk '{ exit !($NF < 2e-5) }'; }
scripted_format() {
  local factor
  pipe "Zaltrim:"
  export_track "$1" || return
  local found="neither format's sound at 0 dB"
  for factor in "${FACTORS[@]}"; do
    if equals "r-f$factor" "$1"; then
      found="the VST 2 module (the result compensated; at 0 dB, $factor)"
    elif equals "r-f$factor-late" "$1"; then
      found="the LV2 edition (the result 5 samples late; at 0 dB, $factor)"
    fi
  done
  echo "$found"
  fresh_track
}
record "scripting command Zaltrim: runs" "$(scripted_format scripted)"

# VST 2: the editor; 32 picked and applied, undone; the dialog again (at 32), 2 picked, Preview,
# Apply: the export must be factor 2's sound.
if open_effect 0 vst; then
  shot 02-vst-dialog
  if dialog_panel; then
    record "VST 2: editor" "panel ${P_W}x${P_H} inside the dialog ${D_W}x${D_H}"
    pick_factor 4 && apply
    export_track vst-f32 && record "VST 2: 32 picked, Apply, export against the render at 32" "$(against vst-f32 r-f32)"
    fresh_track
  else
    record "VST 2: editor" "no panel in the dialog"
  fi
fi
if open_effect 0 vst2 && dialog_panel; then
  panel_cut 03-vst-reopened
  pick_factor 0
  panel_cut 04-vst-picked-2
  preview
  sleep 7
  panel_cut 05-vst-after-preview
  record "VST 2: the panel after Preview against the panel before it" "$(pixels_differ 04-vst-picked-2-panel 05-vst-after-preview-panel) pixels differ"
  apply
  export_track vst-preview-f2 && record "VST 2: dialog at 32, 2 picked, Preview, Apply: export against the render at 2" "$(against vst-preview-f2 r-f2); against 32: $(against vst-preview-f2 r-f32)"
  fresh_track
fi

# VST 2 presets: 16 picked and saved as a user preset, 4 picked, the preset loaded: the panel must
# show 16 at once, and Apply give 16's sound.
# "Presets & settings": a menu whose rows are 26 px apart, the first 16 px below its top: User
# Presets (greyed while there are none), Save Preset..., Delete Preset, Factory Presets, ...
# Sets MENU_X MENU_Y.
presets_menu() {
  local before
  before=$(viewable_ids)
  click_at $((D_X + 80)) $((D_Y + 21))
  opened_menu "$before" || return 1
  MENU_X=$M_X MENU_Y=$M_Y
  sleep 0.5
}
save_preset() {
  local name_box
  presets_menu || return 1
  click_at $((MENU_X + 60)) $((MENU_Y + 42))
  name_box=$(wait_window 10 '^Save Preset$') || return 1
  keys_to "$name_box" ctrl+a
  timeout 10 xdotool type --delay 60 "$1"
  timeout 5 xdotool key Return
  wait_until 10 window_gone '^Save Preset$'
}
# Opens the presets menu, then the list that its row Y px below the menu's top opens to the right
# on hovering (User Presets at 16, Factory Presets at 94). Sets M_X M_Y M_W M_H to the list's.
presets_list() {
  presets_menu && open_submenu 60 "$1" && sleep 0.5
}
load_first_preset() { presets_list 16 && click_at $((M_X + 40)) $((M_Y + 16)); }
# In the open dialog: the factor of list row SAVED picked and saved as a user preset, row OTHER
# picked, the preset loaded. The panel must show the saved factor at once, and Apply give the sound
# of render REFERENCE (described as WHAT). Screenshots numbered from FIRST.
user_preset_check() {
  local format=$1 tag=$2 first=$3 saved=${FACTORS[$4]} other=${FACTORS[$5]} reference=$6 what=$7
  local saved_shot other_shot loaded_shot
  saved_shot=$(printf '%02d-%s-preset-%s' "$first" "$tag" "$saved")
  other_shot=$(printf '%02d-%s-picked-%s' $((first + 1)) "$tag" "$other")
  loaded_shot=$(printf '%02d-%s-preset-loaded' $((first + 2)) "$tag")
  pick_factor "$4"
  panel_cut "$saved_shot"
  save_preset "Factor$saved" || record "$format: Save Preset" "the name box did not come and go"
  pick_factor "$5"
  panel_cut "$other_shot"
  if load_first_preset; then
    sleep 1.5
    panel_cut "$loaded_shot"
    record "$format: user preset ($saved) loaded over $other: the panel against the one at $saved" "$(pixels_differ "$saved_shot-panel" "$loaded_shot-panel") pixels differ; against the one at $other: $(pixels_differ "$other_shot-panel" "$loaded_shot-panel")"
  else
    record "$format: user preset" "could not be loaded from the menu"
  fi
  apply
  export_track "$tag-preset" && record "$format: Apply after the preset: export against $what" "$(against "$tag-preset" "$reference")"
  fresh_track
}
if open_effect 0 vst3 && dialog_panel; then
  user_preset_check "VST 2" vst 6 3 1 r-f16 "the render at 16"
fi

# LV2: the panel (the bundle's GTK 3 UI), 8 picked, Apply: the export against the render at 8
# without delay compensation tells the latency Audacity took off.
render r-f8-late 8 0 --no-delay-compensation
if open_effect 1 lv2; then
  shot 09-lv2-dialog
  if dialog_panel; then
    record "LV2: panel" "panel ${P_W}x${P_H} inside the dialog ${D_W}x${D_H}"
    pick_factor 2
    panel_cut 10-lv2-picked-8
    apply
    export_track lv2-f8 && record "LV2: 8 picked, Apply: export against the render at 8, compensated / not" "$(against lv2-f8 r-f8) / $(against lv2-f8 r-f8-late)"
    fresh_track
  else
    record "LV2: panel" "none: generic controls (screenshot 09-lv2-dialog)"
  fi
fi

# LV2 presets: one of the bundle's factory presets, then a user preset saved at 4 and loaded over
# 32; the panel must follow each at once and Apply give its sound (5 samples late, as every LV2
# result here).
# The factory list opens to the right of the presets menu's fourth row; its rows are 27 px apart:
# Audacity's Defaults, then the bundle's three in lilv's order, which follows the heap and changes
# from run to run (seen: Clean boost, Hard drive, Crunch; Hard drive, Clean boost, Crunch; and with
# Crunch third).
load_factory_preset() {
  presets_list 94 || return 1
  shot "$2"
  click_at $((M_X + 40)) $((M_Y + 13 + 27 * $1))
}
# Which preset's render (each "name:factor:gain") an export equals at no shift, if any; sets
# PRESET_GAIN to that preset's gain, which the next dialog opens with.
FACTORY_PRESETS=("Clean boost:8:0" "Crunch:8:12" "Hard drive:16:30")
PRESET_GAIN=0
preset_sound() {
  local preset name factor gain
  for preset in "${FACTORY_PRESETS[@]}"; do
    IFS=: read -r name factor gain <<<"$preset"
    render "r-preset-$factor-$gain" "$factor" "$gain" --no-delay-compensation
    if equals "r-preset-$factor-$gain" "$1"; then
      PRESET_GAIN=$gain
      echo "$name's sound ($factor, $gain dB)"
      return
    fi
  done
  echo "no preset's sound"
}
if open_effect 1 lv2-presets && dialog_panel; then
  # 32 first: no preset has it, so the panel must change whichever preset the row holds.
  pick_factor 4
  panel_cut 12-lv2-before-preset
  if load_factory_preset 2 13-lv2-factory-presets; then
    sleep 1.5
    panel_cut 14-lv2-factory-preset
    record "LV2: factory preset (the list's third row) loaded over 32: the panel against the one before" "$(pixels_differ 12-lv2-before-preset-panel 14-lv2-factory-preset-panel) pixels differ"
    apply
    export_track lv2-factory && preset_sound lv2-factory >"$WORK/preset.txt" &&
      record "LV2: Apply after the factory preset: the export at no shift, not compensated, is" "$(cat "$WORK/preset.txt")"
  else
    record "LV2: factory preset" "could not be loaded from the menu"
  fi
  fresh_track
fi
render r-lv2-user-preset 4 "$PRESET_GAIN" --no-delay-compensation
if open_effect 1 lv2-user-preset && dialog_panel; then
  user_preset_check LV2 lv2 15 1 4 r-lv2-user-preset "the render at 4 and $PRESET_GAIN dB (the gain the dialog opened with), not compensated"
fi

# Quits with Exit: (the scripting command), "No" to saving, and records the exit status.
quit_audacity() {
  pipe "Exit:" &
  local box
  if box=$(wait_window 15 '^Save changes'); then
    keys_to "$box" Alt+n
  fi
  STOP_HOW=
  wait_exit "$PID" 30 || stop_process "$PID" 10
  record "$1" "exit status ${EXIT}${STOP_HOW:+; $STOP_HOW}"
}

# Realtime effects: the track's Effects button opens the side panel, whose Add effect menu lists
# vendors (Orvendel the third of three here), then the vendor's effects: the LV2 edition first,
# the VST 2 module second, then Zaltrim Stereo (the families sorted by name; seen in the process's
# mapped modules). The effect's name in the panel opens its editor, a window of its own beside the
# main one. The realtime effect is applied when the track is exported. Sets PANEL and P_*.
add_realtime_effect() {
  local row=$1 tag=$2 before
  geometry W "$MAIN"
  click_at $((W_X + 50)) $((W_Y + 165))
  sleep 1.5
  before=$(viewable_ids)
  click_at $((W_X + 126)) $((W_Y + 145))
  opened_menu "$before" || { record "$tag: Add effect menu" "did not open"; return 1; }
  open_submenu 40 65 || { record "$tag: Orvendel submenu" "did not open"; return 1; }
  click_at $((M_X + 40)) $((M_Y + 14 + 25 * row))
  sleep 2
  click_at $((W_X + 132)) $((W_Y + 156))
  wait_window 15 '^Zaltrim - ' >/dev/null || { shot "$tag-no-editor"; record "$tag: realtime editor" "did not open"; return 1; }
  sleep 2
  dialog_panel
}

# VST 2 as a realtime effect: 32 picked in its editor, the track exported; then Audacity quit with
# that editor open. The LV2 edition the same, after a new start.
realtime_check() {
  local row=$1 tag=$2 format=$3
  if add_realtime_effect "$row" "$tag"; then
    pick_factor 4
    shot "$4-$tag-editor"
    export_track "$tag-f32" && record "$format: realtime effect, 32 picked, export against the render at 32, compensated / not" "$(against "$tag-f32" r-f32) / $(against "$tag-f32" r-f32-late)"
    quit_audacity "$format: quit with the realtime editor open"
  fi
}
realtime_check 1 rt-vst "VST 2" 18
forget_projects
start_audacity 19 || exit 1
fresh_track
realtime_check 0 rt-lv2 LV2 20

# Quit with the effect dialog open (modal): the VST 2 dialog up, then Exit:. And the same with
# Audacity's own Preferences dialog instead, which loads nothing of ours.
forget_projects
start_audacity 21 || exit 1
fresh_track
if open_effect 0 vst4 && dialog_panel; then
  shot 22-quit-with-editor
  quit_audacity "VST 2: quit with the effect dialog open"
fi
forget_projects
start_audacity 23 || exit 1
fresh_track
sleep 1
keys_to "$MAIN" ctrl+p
if wait_window 10 '^Preferences' >/dev/null; then
  shot 24-quit-with-preferences
  quit_audacity "no plug-in: quit with the Preferences dialog open"
else
  record "no plug-in: Preferences" "did not open"
fi
# With the LV2 edition disabled (Effect > Plugin Manager, or Enabled=0 in the registry), `Zaltrim:`
# runs the VST 2 module.
disable_plugin() {
  python3 - "$registry" "$1" <<'PY'
import sys
path, target = sys.argv[1], "Path=" + sys.argv[2]
lines, inside = [], False
for line in open(path).read().split("\n"):
    if line.startswith("["):
        inside = False
    inside = inside or line == target
    lines.append("Enabled=0" if inside and line.startswith("Enabled=") else line)
open(path, "w").write("\n".join(lines))
PY
}
disable_plugin https://orvendel.example/plugins/zaltrim
forget_projects
if start_audacity 25; then
  fresh_track
  record "the LV2 edition disabled: scripting command Zaltrim: runs" "$(scripted_format scripted-lv2-off)"
  quit_audacity "quit, no dialog open"
fi
keep_host_output audacity
record "Qt messages on Audacity's output" "$(qt_messages "$OUT/audacity.stdout.txt" "$OUT/audacity.stderr.txt" | grep . || echo none)"
