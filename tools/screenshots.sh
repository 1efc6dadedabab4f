#!/usr/bin/env bash
# Photographs the client's windows on a private virtual display into docs/screenshots/.
# Needs xvfb and imagemagick (apt install xvfb xauth imagemagick) and a build in ./build.
#   tools/screenshots.sh [BUILD_DIR [NAME_PREFIX]]   (only the pictures whose names start so)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
only=${2:-}
out=$here/docs/screenshots
gallery=$build/tools/gallery/brv_gallery
mkdir -p "$out"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# shot NAME SECONDS COMMAND...: runs the command alone on a fresh display, trims the black
# desktop away and keeps the window.
shot() {
  local name=$1 wait=$2
  shift 2
  [[ $name == "$only"* ]] || return 0
  local home
  home=$(mktemp -d)
  # No sound server: the device test shows the SDK's virtual devices, as on a machine without any.
  HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
    PULSE_SERVER=unix:$home/no-sound-server \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
      "$@" >/dev/null 2>&1 &
      pid=$!
      sleep '"$wait"'
      import -window root "'"$out/$name"'.png"
      kill $pid 2>/dev/null || true
      wait $pid 2>/dev/null || true' _ "$@"
  convert "$out/$name.png" -bordercolor black -border 1 -trim +repage "$out/$name.png"
  rm -rf "$home"
  echo "$out/$name.png"
}

text_info="The class recording has been saved to your cloud files."
text_warning="Your network is unstable; the video may stutter."
text_error="The page could not be loaded. Check the network connection and try again."
text_success="The log files were uploaded. Thank you!"
text_confirm="Leave the class now? Your camera and microphone will be turned off."
for theme in light dark; do
  for kind in info warning error success confirm; do
    var=text_$kind
    shot "box-$kind-$theme" 2 "$gallery" --theme "$theme" box "$kind" "${!var}"
  done
  shot "window-titled-$theme" 2 "$gallery" --theme "$theme" titled
  shot "window-page-$theme" 6 "$gallery" --theme "$theme" page /qt/live/index
  shot "home-en-$theme" 8 "$gallery" --theme "$theme" --lang en home
  shot "devicetest-en-$theme" 5 "$gallery" --theme "$theme" --lang en devicetest
  shot "devicetest-beauty-en-$theme" 5 "$gallery" --theme "$theme" --lang en devicetest beauty
  # A class of two through the class servers: the teacher's window with a hovered student view,
  # the share chooser and the share frame.
  for extra in camera share frame; do
    shot "live-$extra-$theme" 40 "$here/tools/class-shot.sh" "$build" "$theme" "$extra"
  done
done
shot "devicetest-zh-CN-light" 5 "$gallery" --theme light --lang zh-CN devicetest
shot "home-zh-CN-light" 8 "$gallery" --theme light --lang zh-CN home
shot "home-zh-CN-dark" 8 "$gallery" --theme dark --lang zh-CN home
