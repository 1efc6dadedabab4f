#!/usr/bin/env bash
# class-shot.sh BUILD_DIR THEME [share|frame|camera]: a class of two on the current display for a
# screenshot: the class servers, a student's live window, then the teacher's on top of it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1 theme=$2 extra=${3:-}
gallery=$build/tools/gallery/brv_gallery
state=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$here/scripts/class-servers.sh" stop "$state/servers" >/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT
while IFS= read -r line; do
  case $line in BRV_*=*) export "${line?}" ;; esac
done < <("$here/scripts/class-servers.sh" start "$state/servers")
run() {
  local dir=$state/$1
  mkdir -p "$dir/runtime" && chmod 700 "$dir/runtime"
  HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_CACHE_HOME=$dir/cache \
    XDG_RUNTIME_DIR=$dir/runtime BRV_DEMO_USER=$2 \
    "$gallery" --theme "$theme" --lang en class demo-live-1001 ${3:-} >/dev/null 2>&1 &
  pids+=($!)
}
run student "demo-student-01:Demo Student 1:Student"
sleep 8
run teacher "demo-teacher-01:Demo Teacher:Teacher" "$extra"
wait "${pids[@]}"
