# shellcheck shell=bash
# Shared by the host scripts: a private display and settings, a copy of the module, bounded
# waits, screenshots and a results table. Sourced, not run.
# shellcheck disable=SC2034  # ROOT, EXIT, STOP_HOW and the like are read by the scripts

HOSTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HOSTS_DIR/../.." && pwd)
XWIN=(python3 "$HOSTS_DIR/xwin.py")
STARTED=()  # ids of the processes this run started, stopped in this order's reverse on exit

log() { printf '%s %s\n' "$(date +%T)" "$*" | tee -a "$LOG" >&2; }

# One row of the summary: host, check, result.
record() {
  printf '%s\t%s\t%s\n' "$HOST" "$1" "$2" >>"$OUT/results.tsv"
  log "RESULT $1: $2"
}

# Polls a command every 0.2 s until it succeeds or SECONDS pass.
wait_until() {
  local seconds=$1 deadline
  shift
  deadline=$(($(date +%s%N) + seconds * 1000000000))
  until "$@"; do
    (($(date +%s%N) < deadline)) || return 1
    sleep 0.2
  done
}

# Viewable windows whose title matches REGEX, as "id x y w h", deepest last.
windows() { timeout 10 "${XWIN[@]}" find "$@"; }
first_window() { windows "$@" | awk 'NR == 1 { print $1 }' | grep .; }
window_exists() { [[ -n $(windows "$@") ]]; }

# Prints the id of the first viewable window matching REGEX once it appears, or fails.
wait_window() {
  local seconds=$1
  shift
  wait_until "$seconds" window_exists "$@" && first_window "$@"
}

window_gone() { ! window_exists "$@"; }

# Sets NAME_X NAME_Y NAME_W NAME_H from the window's place on the screen.
geometry() {
  local line
  line=$(timeout 10 "${XWIN[@]}" list | awk -v id="$2" '$1 == id')
  [[ -n $line ]] || return 1
  read -r _ _ "${1}_X" "${1}_Y" "${1}_W" "${1}_H" _ <<<"$line"
}

viewable_ids() { timeout 10 "${XWIN[@]}" list | awk '$2 == "viewable" { print $1 }' | sort; }

# A window that became viewable since BEFORE (a list from viewable_ids), such as a popup list.
new_window() { comm -13 <(printf '%s\n' "$1") <(viewable_ids) | awk 'NR == 1'; }
has_new_window() { [[ -n $(new_window "$1") ]]; }
no_new_window() { [[ -z $(new_window "$1") ]]; }

# Whether FILE's "mtime.size" differs from STAMP.
changed_since() { [[ $(stat -c %Y.%s "$1" 2>/dev/null) != "$2" ]]; }

gone() { ! kill -0 "$1" 2>/dev/null; }

shot() {
  timeout 20 import -window root "$OUT/$1.png" 2>>"$LOG" && log "screenshot $OUT/$1.png"
}

# Differing pixels between two screenshots, optionally within a WxH+X+Y region.
pixels_changed() {
  local a=$OUT/$1.png b=$OUT/$2.png
  if [[ -n ${3:-} ]]; then
    timeout 20 convert "$a" -crop "$3" +repage "$WORK/a.png" && a=$WORK/a.png
    timeout 20 convert "$b" -crop "$3" +repage "$WORK/b.png" && b=$WORK/b.png
  fi
  timeout 20 compare -metric AE "$a" "$b" null: 2>&1 | cut -d' ' -f1
}

# Differing pixels between two pictures, ignoring shades closer than 5 % (a focused or hovered
# widget is tinted: the factor box is #FAFAFA after a click, #F4F4F4 otherwise).
pixels_differ() { timeout 20 compare -fuzz 5% -metric AE "$OUT/$1.png" "$OUT/$2.png" null: 2>&1 | cut -d' ' -f1; }

# Cuts the region WxH+X+Y out of screenshot NAME into screenshot CUT, so that a panel can be
# compared across runs of the host, where its window may sit elsewhere.
cut_shot() { timeout 20 convert "$OUT/$1.png" -crop "$2" +repage "$OUT/$3.png"; }

# Two cuts side by side in one picture, for a look by eye.
side_by_side() { timeout 20 convert "$OUT/$1.png" "$OUT/$2.png" +append "$OUT/$3.png"; }

# "yes" once CHECK succeeds within 5 s, else "no": how long a host may take to show a change.
within_5s() { wait_until 5 "$@" && echo yes || echo no; }

# Focus matters: with no window manager X sends keys to the focus window, not the one on top.
keys_to() {
  local window=$1
  shift
  timeout 10 xdotool windowfocus --sync "$window" 2>>"$LOG" || timeout 5 xdotool windowfocus "$window"
  timeout 10 xdotool key --delay 60 "$@"
}

click_at() { timeout 10 xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }

# A press, a vertical drag in small steps (as a hand moves), and a release.
drag_vertically() {
  local x=$1 y=$2 distance=$3 step
  timeout 10 xdotool mousemove --sync "$x" "$y" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    timeout 5 xdotool mousemove "$x" $((y - distance * step / 8))
    sleep 0.05
  done
  timeout 5 xdotool mouseup 1
}

# The dial turned on the panel at P_X/P_Y/P_W/P_H: it follows the pointer's angle around its
# centre (about 45 px from the panel's right edge and CENTRE px down), so a press right of the
# centre, dragged from 20 px below it to 20 px above, ends near +12 dB; shots PREFIX-before-dial
# and PREFIX-dial-turned.
drag_dial() {
  local prefix=$1 centre=$2 changed
  shot "$prefix-before-dial"
  drag_vertically $((P_X + P_W - 25)) $((P_Y + centre + 20)) 40
  sleep 1
  shot "$prefix-dial-turned"
  changed=$(pixels_changed "$prefix-before-dial" "$prefix-dial-turned" "${P_W}x${P_H}+${P_X}+${P_Y}")
  record "dial drag" "$( ((${changed:-0} > 50)) && echo "panel redrawn ($changed pixels)" || echo "no visible change")"
}

# The editor's factor list opened from the panel at P_X/P_Y/P_W/P_H (its box is BOTTOM px above
# the panel's bottom edge) and its middle entry, 8, picked; shots PREFIX-factor-list and
# PREFIX-factor-8. Fails when no list appeared.
pick_factor_eight() {
  local prefix=$1 bottom=$2 before popup
  before=$(viewable_ids)
  click_at $((P_X + P_W - 45)) $((P_Y + P_H - bottom))
  wait_until 5 has_new_window "$before" && popup=$(new_window "$before")
  if [[ -z ${popup:-} ]]; then
    record "factor list" "no popup list appeared"
    return 1
  fi
  geometry L "$popup"
  shot "$prefix-factor-list"
  # Five entries of equal height (2, 4, 8, 16, 32): the middle one is 8.
  click_at $((L_X + L_W / 2)) $((L_Y + L_H / 2))
  sleep 1
  shot "$prefix-factor-8"
  record "factor list" "popup ${L_W}x${L_H} appeared, middle entry (8) clicked"
}

# Names, states and CPU ticks of every thread of PID.
thread_table() {
  local task
  for task in /proc/"$1"/task/*; do
    # The name may hold spaces: fields are counted after its closing parenthesis.
    printf '%-8s %-18s %s\n' "${task##*/}" "$(cat "$task/comm" 2>/dev/null)" \
      "$(sed 's/.*) //' "$task/stat" 2>/dev/null | awk '{ print "state " $1 ", cpu ticks " $12 + $13 }')"
  done
}

thread_ticks() { sed 's/.*) //' "/proc/$1/task/$2/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }

# Percent of one core the thread TID of PID used over SECONDS.
thread_cpu() {
  local pid=$1 tid=$2 seconds=$3 before after hz
  hz=$(getconf CLK_TCK)
  before=$(thread_ticks "$pid" "$tid") || return 1
  sleep "$seconds"
  after=$(thread_ticks "$pid" "$tid") || return 1
  echo $(((after - before) * 100 / (hz * seconds)))
}

start() {
  local name=$1
  shift
  "$@" >>"$WORK/$name.out" 2>>"$WORK/$name.err" &
  STARTED+=($!)
  log "started $name (pid $!): $*"
}

# TERM, then KILL after SECONDS; sets STOP_HOW to what it took.
stop_process() {
  local pid=$1 seconds=${2:-10}
  STOP_HOW="already gone"
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null
  STOP_HOW="ended by SIGTERM"
  wait_until "$seconds" gone "$pid" && return 0
  kill -KILL "$pid" 2>/dev/null
  STOP_HOW="killed (SIGKILL)"
}

# Waits up to SECONDS for a process this shell started; sets EXIT to its status or "none".
wait_exit() {
  local pid=$1 seconds=$2
  EXIT=none
  wait_until "$seconds" gone "$pid" || return 1
  wait "$pid"
  EXIT=$?
}

cleanup() {
  local i
  for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do stop_process "${STARTED[i]}" 5; done
  [[ -n ${KEEP_WORK:-} || -z ${WORK:-} ]] || rm -rf "$WORK"
}

# Waits until the file stops changing (a build may be writing it), then copies it.
copy_module() {
  local source=$1 target=$2 before after
  for _ in $(seq 60); do
    before=$(stat -c '%s %Y' "$source" 2>/dev/null) || { sleep 1; continue; }
    sleep 2
    after=$(stat -c '%s %Y' "$source" 2>/dev/null)
    [[ $before == "$after" ]] && (($(date +%s) - ${after#* } >= 2)) && break
  done
  [[ -f $source ]] || { log "no module at $source"; return 1; }
  cp "$source" "$target.part" && mv "$target.part" "$target" || return 1
  [[ $(head -c 4 "$target" | od -An -c | tr -d ' ') == '177ELF' ]] || { log "$source is not an ELF file"; return 1; }
  # Ardour's scanner ignores a module as new as its cache entry: the copy is dated a minute back.
  touch -d '-1 minute' "$target"
  log "module $source (built $(date -d @"${after#* }" +%T), $(stat -c %s "$target") bytes," \
    "sha256 $(sha256sum "$target" | cut -c1-12)) copied to $target"
}

# Makes the private folders, the log, the display, and the module copy in $WORK/vst.
setup() {
  HOST=$1
  local module=$2
  OUT=$3
  mkdir -p "$OUT"
  OUT=$(cd "$OUT" && pwd)
  LOG=$OUT/log.txt
  : >"$LOG"
  : >"$OUT/results.tsv"
  rm -f "$OUT"/*.png "$OUT"/*.stdout.txt "$OUT"/*.stderr.txt
  WORK=$(mktemp -d "/tmp/zaltrim-$HOST.XXXXXX")
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  mkdir -p "$WORK"/{config,cache,data,runtime,home,vst}
  chmod 700 "$WORK/runtime"
  export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_DATA_HOME=$WORK/data
  export XDG_RUNTIME_DIR=$WORK/runtime HOME=$WORK/home
  unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
  log "$HOST run in $WORK, output in $OUT"
  MODULE=$WORK/vst/QtZaltrim.so
  copy_module "$module" "$MODULE" || { record module "not copied from $module"; exit 1; }

  # -displayfd picks a free display number and writes it once the server accepts clients.
  start xvfb Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$WORK/display"
  wait_until 15 test -s "$WORK/display" || { record display "Xvfb did not start"; exit 1; }
  DISPLAY=:$(head -n 1 "$WORK/display")
  export DISPLAY
  log "display $DISPLAY"
}

# The title of window ID.
window_title() { timeout 10 "${XWIN[@]}" list | awk -v id="$1" '$1 == id' | cut -d' ' -f8-; }

# Ctrl+S to window MAIN; succeeds when FILE was rewritten within SECONDS.
ctrl_s() {
  local file=$1 seconds=$2 before
  before=$(stat -c %Y.%s "$file")
  sleep 1  # a save within the same second would leave the time unchanged
  keys_to "$MAIN" ctrl+s
  wait_until "$seconds" changed_since "$file" "$before"
}

# The panel at P_X/P_Y/P_W/P_H as the user left it, cut out of screenshot TAG-before-save into
# TAG-panel-before-save, to compare with the panel once the saved state is opened again. The
# pointer goes out of the way first: a hovered dial is drawn with a ring.
panel_before_save() {
  timeout 5 xdotool mousemove 1590 990
  sleep 1
  shot "$1-before-save"
  cut_shot "$1-before-save" "${P_W}x${P_H}+${P_X}+${P_Y}" "$1-panel-before-save"
}

# The reopened panel at P_X/P_Y/P_W/P_H cut out of screenshot SHOT, put beside BEFORE (a cut of
# panel_before_save) and compared with it; the row is named after TAG and WHAT ("editor", "UI").
compare_reopened_panel() {
  local before=$1 shot=$2 tag=$3 what=$4 differ
  cut_shot "$shot" "${P_W}x${P_H}+${P_X}+${P_Y}" "$tag-panel-reopened"
  side_by_side "$before" "$tag-panel-reopened" "$tag-panel-before-after"
  differ=$(pixels_differ "$before" "$tag-panel-reopened")
  record "$tag: reopened $what against the panel before saving" \
    "$( ((differ == 0)) && echo "identical" || echo "$differ pixels differ") ($tag-panel-before-after.png)"
}

jack_answers() { timeout 5 jack_lsp >/dev/null 2>&1; }

# jackd on the dummy driver under the server name NAME-PID, which the clients started later use.
start_jack() {
  export JACK_DEFAULT_SERVER=$1-$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
  start jackd jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024
  if wait_until 20 jack_answers; then
    record "jackd (dummy, 48000 Hz, 1024 frames)" "running"
  else
    record "jackd (dummy, 48000 Hz, 1024 frames)" "did not start"
    exit 1
  fi
}

# The lines of FILES ("-": standard input) that are not blank, each once with its count,
# addresses blanked, on one line.
output_lines() {
  cat "$@" 2>/dev/null | grep -v '^[[:space:]]*$' | sed 's/0x[0-9a-f]*/0x…/g' | sort | uniq -c | sed 's/^ *//' | paste -sd';' -
}

# What Qt said on a host's output (FILES): its classes are Q<Name>, its logging categories start
# with qt.; as output_lines.
qt_messages() {
  cat "$@" 2>/dev/null | grep -E '\bQ[A-Z][A-Za-z]+|^qt\.' | output_lines -
}

# Double clicks at X,Y from the top left of window MAIN (twice at most) until a window whose
# title matches REGEX appears within SECONDS; sets EDITOR to it.
double_click_for_window() {
  local x=$1 y=$2 seconds=$3 regex=$4
  EDITOR=
  geometry W "$MAIN" || return 1
  for _ in 1 2; do
    timeout 10 xdotool mousemove --sync $((W_X + x)) $((W_Y + y)) click --repeat 2 --delay 80 1
    EDITOR=$(wait_window "$seconds" "$regex") && return 0
  done
  return 1
}

# The plug-in's panel, a window of class QtZaltrim inside the host's; sets PANEL and P_*. When
# none is viewable within 10 s: a screenshot TAG-no-panel, the row ROW with RESULT, and failure.
find_panel() {
  PANEL=$(wait_window 10 '^QtZaltrim$' --class QtZaltrim) && geometry P "$PANEL" && return 0
  shot "$1-no-panel"
  record "$2" "$3"
  return 1
}

# Copies the host's stdout and stderr next to the screenshots.
keep_host_output() {
  local name
  for name in "$@"; do
    [[ -f $WORK/$name.out ]] && cp "$WORK/$name.out" "$OUT/$name.stdout.txt"
    [[ -f $WORK/$name.err ]] && cp "$WORK/$name.err" "$OUT/$name.stderr.txt"
  done
  return 0
}

# Clicks the panel's background, which shows the about box, takes a screenshot named SHOT and
# closes the box with Return. Qt adds the application's display name to every title under a Qt
# host (" — Qtractor"), so the title is matched by its start.
show_about() {
  click_at $((P_X + 40)) $((P_Y + P_H * 6 / 10))
  local about
  if about=$(wait_window 10 '^About QtZaltrim'); then
    shot "$1"
    record "about box" "appeared, titled '$(window_title "$about")'"
    keys_to "$about" Return
    wait_until 5 window_gone '^About QtZaltrim' || "${XWIN[@]}" close "$about"
    record "about box closed with Return" "$(window_exists '^About QtZaltrim' && echo "no, still open" || echo yes)"
  else
    record "about box" "did not appear within 10 s"
  fi
}
