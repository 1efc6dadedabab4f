#!/usr/bin/env bash
# Installs the Debian 12 packages the client needs to build, run and be tested; only what is
# missing, so that a second run costs nothing. Extra package names given as arguments are
# installed the same way (the benchmarks use that for their peers).
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qtbase5-dev qtbase5-private-dev qtwebengine5-dev qtmultimedia5-dev libqt5svg5-dev
  libqt5websockets5-dev libqt5webchannel5-dev libssl-dev libxcb1-dev
  # the IM SDK's XMPP engine, and the class server (Prosody with SQLite storage)
  libstrophe-dev prosody prosody-modules lua-dbi-sqlite3 lua-unbound
  # the audio/video SDK: GStreamer with its X11 and PulseAudio elements, webrtcbin and its ICE
  # agent for the rooms, and the media server of the class (Janus); ip(8) for the tests'
  # private network
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libx11-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-x gstreamer1.0-gl
  gstreamer1.0-pulseaudio gstreamer1.0-plugins-bad gstreamer1.0-nice
  libgstreamer-plugins-bad1.0-dev libnice-dev janus iproute2
  # run: the web engine's fonts, also for Chinese, Japanese and Korean texts
  fonts-dejavu-core fonts-noto-cjk
  # run: the device test plays its sound through Qt Multimedia's GStreamer service
  libqt5multimedia5-plugins
  # assets: the speaker-test sound (tools/sound/make_sound.sh)
  sox lame
  # tests, fuzzing and benchmarks
  pci.ids
  xvfb xauth clang libclang-rt-14-dev zip unzip python3 python3-fonttools openssl
  libbenchmark-dev libspdlog-dev
  # the Debian package and its checks
  dpkg-dev file lintian desktop-file-utils appstream binutils
  # a user-level sound server for the audio device tests; gst-launch-1.0 for the benchmark
  pulseaudio pulseaudio-utils gstreamer1.0-tools
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
