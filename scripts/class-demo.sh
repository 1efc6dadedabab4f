#!/usr/bin/env bash
# class-demo.sh [LIVE_ID]: a whole class on this machine. Builds the client if needed, starts the
# class servers on loopback, then a teacher client and a student client, each with a user folder
# of its own and signed in as a demo user, both opening the same class. The teacher's client
# shows the device test first ("Join room" enters the class); the student's goes straight in.
# Closing both clients stops the servers.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
live=${1:-demo-live-1001}
client=$here/build/src/brimvale
if [ ! -x "$client" ]; then
  "$here/scripts/install-deps.sh"
  "$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
state=$(mktemp -d "${TMPDIR:-/tmp}/brimvale-class.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$here/scripts/class-servers.sh" stop "$state/servers" || true
}
trap cleanup EXIT
# The servers print the environment that points a client at them.
while IFS= read -r line; do
  case $line in BRV_*=*) export "${line?}" ;; esac
done < <("$here/scripts/class-servers.sh" start "$state/servers")
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# start NAME USER_ID NICKNAME ROLE: one client with its own home, settings, data and session.
start() {
  local dir=$state/$1
  mkdir -p "$dir/home" "$dir/config" "$dir/data" "$dir/cache" "$dir/runtime"
  chmod 700 "$dir/runtime"
  HOME=$dir/home XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_CACHE_HOME=$dir/cache \
    XDG_RUNTIME_DIR=$dir/runtime XDG_SESSION_ID=brimvale-class-$1 \
    BRV_DEMO_USER="$2:$3:$4:$live" "$client" >"$dir/client.log" 2>&1 &
  pids+=($!)
}
start teacher demo-teacher-01 "Demo Teacher" Teacher
start student demo-student-01 "Demo Student 1" Student
echo "class $live: teacher and student clients started; logs in $state/*/client.log"
wait "${pids[@]}" || true
