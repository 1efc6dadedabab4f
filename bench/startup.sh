#!/usr/bin/env bash
# startup.sh [BRIMVALE_EXECUTABLE] [startup.py options]: start-up time and memory of the client on
# its OpenGL and its software scene graph path, side by side, against bare headless Chromium
# loading the same demo page, all measured in the same run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=${1:-$here/../build-bench/src/brimvale}
[ $# -gt 0 ] && shift
if [ ! -x "$exe" ]; then
  echo "startup.sh: no client executable at $exe (build the brimvale target first)" >&2
  exit 1
fi

"$here/../scripts/install-deps.sh" chromium

# One private X server for all runs; the screen is larger than the home window.
exec xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$here/startup.py" "$exe" "$@"
