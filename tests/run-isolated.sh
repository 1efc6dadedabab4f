#!/usr/bin/env bash
# run-isolated.sh MODE COMMAND [ARGS...]
# Runs one test with a home, settings, data and runtime directory of its own, so that no test
# sees the user's files or another test's. MODE is "offscreen" (widgets without a display) or
# "display" (a private virtual X display, for the web engine and the real executable).
set -u
mode=$1; shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/brv-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/home" "$dir/config" "$dir/data" "$dir/cache" "$dir/runtime" "$dir/tmp"
chmod 700 "$dir/runtime"
export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" \
       XDG_CACHE_HOME="$dir/cache" XDG_RUNTIME_DIR="$dir/runtime" TMPDIR="$dir/tmp"
export BRV_TEST_SCRATCH="$dir"
# No test reaches the user's sound server or spawns one; a test that needs one starts its own.
export PULSE_SERVER="unix:$dir/runtime/no-sound-server"
unset BRV_DEBUG_LOG XDG_SESSION_ID
export QTWEBENGINE_DISABLE_SANDBOX=1
case "$mode" in
  offscreen) QT_QPA_PLATFORM=offscreen "$@" ;;
  display) xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" env -u QT_QPA_PLATFORM "$@" ;;
  *) echo "run-isolated.sh: unknown mode $mode" >&2; exit 2 ;;
esac
