#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Zaltrim needs.
# Idempotent: when everything is already there it installs nothing and prints nothing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libboost-math-dev libboost-thread-dev
  libx11-dev libsndfile1-dev libpng-dev libfftw3-dev fonts-dejavu-core
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick x11-utils x11-xserver-utils librsvg2-bin libxtst-dev
  qt6-gtk-platformtheme libgtk2.0-dev libgtk-3-dev qtbase5-dev python3
  zam-plugins
  lv2-dev lilv-utils sordi lv2file jalv
  ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-bad ecasound
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
