#!/usr/bin/env bash
# The bundle as a user gets it: installed by `cmake --install`, checked by lv2_validate, listed by
# lv2ls and lv2info, and run by lv2apply and lv2file, whose output must equal the VST 2 module's
# render through zaltrim-host sample for sample.
# usage: bundle_test.sh BUILD_DIR SAME_SAMPLES
set -euo pipefail
build=$1
same_samples=$2
uri=https://orvendel.example/plugins/zaltrim
stereo_uri=https://orvendel.example/plugins/zaltrim-stereo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The tools are not sanitised; a sanitised build's libraries need their runtimes loaded first.
tool_environment=()
# (grep reads all of nm's output: with -q it could leave nm to die of SIGPIPE, failing the pipe.)
if nm -D "$build/zaltrim.lv2/zaltrim.so" | grep __asan_init >/dev/null; then
  tool_environment=(env LD_PRELOAD="$(gcc -print-file-name=libasan.so):$(gcc -print-file-name=libubsan.so)"
                    ASAN_OPTIONS=detect_leaks=0)
fi
# Runs a tool; if it fails, says which and shows what it printed.
tool() {
  local status=0
  "${tool_environment[@]}" "$@" >"$work/tool.log" 2>&1 || status=$?
  ((status == 0)) || { cat "$work/tool.log" >&2; fail "$* exited with status $status"; }
}

echo "== install under a system prefix, and under a prefix in the user's home"
cmake --install "$build" --prefix "$work/usr" >/dev/null
bundle="$work/usr/lib/lv2/zaltrim.lv2"
for file in manifest.ttl zaltrim.ttl presets.ttl zaltrim.so zaltrim_ui.so zaltrim_ui_gtk3.so; do
  [ -f "$bundle/$file" ] || fail "$file missing from $bundle"
done
mkdir -p "$work/home"
HOME="$work/home" cmake --install "$build" --prefix "$work/home" >/dev/null
[ -f "$work/home/.lv2/zaltrim.lv2/zaltrim.so" ] || fail "a prefix in \$HOME does not install into ~/.lv2"

echo "== lv2_validate"
validation=$(lv2_validate "$bundle"/*.ttl 2>&1 | grep -v '^Skipping')
echo "$validation" | tail -1
echo "$validation" | grep -q '^Found 0 errors' || { echo "$validation"; fail "lv2_validate found errors"; }

echo "== lv2ls and lv2info"
export LV2_PATH="$work/usr/lib/lv2"
for listed in "$uri" "$stereo_uri"; do
  lv2ls | grep -qx "$listed" || fail "lv2ls does not list $listed"
done
info=$(lv2info "$uri")
for expected in 'Symbol: *in$' 'Symbol: *out$' 'Symbol: *gain$' 'Symbol: *oversampling$' 'Symbol: *enabled$' \
                'Symbol: *latency$' 'Has latency: *yes, reported by port 5' 'lv2core#enabled' 'ui#X11UI' 'ui#Gtk3UI' \
                'Clean boost' 'Crunch' 'Hard drive'; do
  echo "$info" | grep -q "$expected" || fail "lv2info does not show '$expected'"
done
stereo_info=$(lv2info "$stereo_uri")
for expected in 'Name: *Zaltrim Stereo$' 'Symbol: *in_l$' 'Symbol: *in_r$' 'Symbol: *out_l$' 'Symbol: *out_r$' \
                'Symbol: *gain$' 'Has latency: *yes, reported by port 5' 'ui#X11UI' 'Clean boost' 'Crunch' 'Hard drive'; do
  echo "$stereo_info" | grep -q "$expected" || fail "lv2info does not show '$expected' for the stereo edition"
done
echo "== the UIs and the factor as lilv lists them, in its order"
for plugin in "$uri" "$stereo_uri"; do
  uis=$(python3 "$(dirname "$0")/lilv_lists.py" "$plugin" oversampling | sed -n 's/^uis //p')
  # A GTK 3 host that takes the first UI it can show (Audacity 3.2) must meet the GTK 3 UI first:
  # it offers the X11 UI too, through suil, and Debian's Audacity cannot load suil's modules.
  [ "$uis" = "$uri#gtk3-ui=Gtk3UI $uri#ui=X11UI" ] || fail "lilv lists the UIs of $plugin as: $uis"
done
# The factor is a logarithmic range: an enumeration's points come from lilv in no fixed order.
factor_info=$(echo "$info" | sed -n '/Symbol: *oversampling$/,/Port 4:/p')
echo "$factor_info" | grep -q 'lv2core#enumeration' && fail "the factor is an enumeration"
echo "$factor_info" | grep -q 'port-props#logarithmic' || fail "the factor's range is not logarithmic"
# Debian's lv2file hands a dangling feature to plug-ins that declare the worker and crashes them.
if echo "$info$stereo_info" | grep -q worker; then fail "a plug-in declares the LV2 worker"; fi

echo "== lv2apply and lv2file against the VST 2 render"
host="$build/zaltrim-host"
"$host" render "$work/in.wav" --quiet
while read -r gain factor; do
  "$host" render "$work/in.wav" "$work/vst.wav" --quiet --gain-db "$gain" --oversampling "$factor" --no-delay-compensation
  tool lv2apply -i "$work/in.wav" -o "$work/lv2.wav" -c gain "$gain" -c oversampling "$factor" "$uri"
  echo -n "lv2apply, $gain dB, factor $factor: "
  "$same_samples" "$work/vst.wav" "$work/lv2.wav" || fail "lv2apply differs from the VST 2 render"
done <<'SETTINGS'
0 2
12 8
-20 32
30 16
SETTINGS
"$host" render "$work/in.wav" "$work/vst.wav" --quiet --gain-db 12 --oversampling 4 --no-delay-compensation
for run in 1 2 3; do
  tool lv2file -i "$work/in.wav" -o "$work/lv2file.wav" -p gain:12 -p oversampling:4 "$uri"
  echo -n "lv2file, 12 dB, factor 4, run $run: "
  "$same_samples" "$work/vst.wav" "$work/lv2file.wav" || fail "lv2file differs from the VST 2 render"
done

echo "== ffmpeg, GStreamer and ecasound against the VST 2 render"
# The registry GStreamer keeps of its plug-ins is this run's own.
export GST_REGISTRY="$work/gst-registry.bin"
"$host" render "$work/in.wav" "$work/vst.wav" --quiet --gain-db 12 --oversampling 4 --no-delay-compensation
tool ffmpeg -nostdin -hide_banner -loglevel error -i "$work/in.wav" \
  -af 'lv2=p=https\\://orvendel.example/plugins/zaltrim:c=gain=12|oversampling=4' -c:a pcm_f32le "$work/ffmpeg.wav"
# GStreamer gives every toggled port a default of false: without enabled=true it bypasses.
tool gst-launch-1.0 -q filesrc location="$work/in.wav" ! wavparse ! audioconvert \
  ! orvendel-example-plugins-zaltrim gain=12 oversampling=4 enabled=true \
  ! audioconvert ! audio/x-raw,format=F32LE ! wavenc ! filesink location="$work/gstreamer.wav"
# ecasound's parameters are positional, and one left out is 0: enabled is the third.
tool ecasound -q -f:f32_le,1,44100 -i "$work/in.wav" -o "$work/ecasound.wav" -elv2:"$uri",12,4,1
for name in ffmpeg gstreamer ecasound; do
  echo -n "$name, 12 dB, factor 4: "
  "$same_samples" "$work/vst.wav" "$work/$name.wav" || fail "$name differs from the VST 2 render"
done

echo "== the stereo edition in lv2apply, ffmpeg, GStreamer and ecasound against the VST 2 render"
# Two different channels, as 32-bit float WAV without the extensible header ecasound cannot read.
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=f=220:d=2:r=44100" -f lavfi -i "anoisesrc=d=2:r=44100:a=0.5" \
  -filter_complex "[0][1]amerge=inputs=2" -c:a pcm_s16le "$work/stereo16.wav"
ecasound -q -f:f32_le,2,44100 -i "$work/stereo16.wav" -o "$work/stereo.wav" >/dev/null
"$host" render "$work/stereo.wav" "$work/vst.wav" --quiet --gain-db 12 --oversampling 4 --no-delay-compensation
tool lv2apply -i "$work/stereo.wav" -o "$work/stereo-lv2apply.wav" -c gain 12 -c oversampling 4 "$stereo_uri"
tool ffmpeg -nostdin -hide_banner -loglevel error -i "$work/stereo.wav" \
  -af 'lv2=p=https\\://orvendel.example/plugins/zaltrim-stereo:c=gain=12|oversampling=4' -c:a pcm_f32le \
  "$work/stereo-ffmpeg.wav"
tool gst-launch-1.0 -q filesrc location="$work/stereo.wav" ! wavparse ! audioconvert \
  ! orvendel-example-plugins-zaltrim-stereo gain=12 oversampling=4 enabled=true \
  ! audioconvert ! audio/x-raw,format=F32LE ! wavenc ! filesink location="$work/stereo-gstreamer.wav"
tool ecasound -q -f:f32_le,2,44100 -i "$work/stereo.wav" -o "$work/stereo-ecasound.wav" -elv2:"$stereo_uri",12,4,1
for name in lv2apply ffmpeg gstreamer ecasound; do
  echo -n "$name, stereo, 12 dB, factor 4: "
  "$same_samples" "$work/vst.wav" "$work/stereo-$name.wav" || fail "$name's stereo output differs from the VST 2 render"
done
echo "PASS"
