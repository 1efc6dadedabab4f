#!/usr/bin/env bash
# class-servers.sh start DIR [im,av] | stop DIR | sign USER_ID [SECONDS]
#   start  starts the class servers on loopback (free ports, chosen once and kept in DIR so that a
#          restart comes back on the same address), with the configurations from the repository and
#          their state in DIR; prints the environment assignments that point a client at them.
#          The servers are the IM server (Prosody, "im") and the media server (Janus, "av"); both
#          unless a list is given.
#   stop   stops them by the process ids kept in DIR.
#   sign   prints a user signature the servers (and the SDK's embedded mode) accept for USER_ID,
#          valid for SECONDS (default one day): the IM server's JWT, whose "janus" claim is the
#          media server's signed token.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
server="$here/sdk/im/server"
avserver="$here/sdk/av/server"
key=$(sed -n 's/^#define BRV_IM_DEMO_USERSIG_KEY "\(.*\)"$/\1/p' "$here/sdk/im/brv_im.h")

b64url() { openssl base64 -A | tr '+/' '-_' | tr -d '='; }

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

wait_port() {
  local port=$1 i
  for i in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  return 1
}

start() {
  local dir which=${2:-im,av}
  mkdir -p "$1"
  dir=$(cd "$1" && pwd)
  case ",$which," in *,av,*) start_janus "$dir" || return 1 ;; esac
  case ",$which," in *,im,*) ;; *) return 0 ;; esac
  mkdir -p "$dir/data" "$dir/certs"
  if [ -f "$dir/prosody.pid" ] && kill -0 "$(cat "$dir/prosody.pid")" 2>/dev/null; then
    echo "class-servers.sh: already running in $dir" >&2
    return 1
  fi
  [ -f "$dir/c2s.port" ] || free_port >"$dir/c2s.port"
  [ -f "$dir/http.port" ] || free_port >"$dir/http.port"
  local port http
  port=$(cat "$dir/c2s.port")
  http=$(cat "$dir/http.port")
  if [ ! -f "$dir/certs/im.local.crt" ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 -subj "/CN=im.local" \
      -addext "subjectAltName=DNS:im.local,DNS:conference.im.local" \
      -keyout "$dir/certs/im.local.key" -out "$dir/certs/im.local.crt" 2>/dev/null
  fi
  sed -e "s|@DIR@|$dir|g" -e "s|@PLUGINS@|$server/plugins|g" -e "s|@PORT@|$port|g" \
      -e "s|@HTTP_PORT@|$http|g" -e "s|@KEY@|$key|g" "$server/prosody.cfg.lua.in" >"$dir/prosody.cfg.lua"
  # Write-ahead logging keeps archiving from costing a disk sync per message; the mode stays with
  # the database file.
  python3 -c 'import sqlite3,sys; sqlite3.connect(sys.argv[1]).execute("PRAGMA journal_mode=WAL")' \
    "$dir/data/prosody.sqlite"
  prosody --config "$dir/prosody.cfg.lua" -F >>"$dir/prosody.out" 2>&1 </dev/null &
  echo $! >"$dir/prosody.pid"
  if ! wait_port "$port" || ! wait_port "$http"; then
    echo "class-servers.sh: prosody did not start; see $dir/prosody.out" >&2
    stop "$dir"
    return 1
  fi
  local pin
  pin=$(openssl x509 -in "$dir/certs/im.local.crt" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g')
  echo "BRV_IM_SERVER=xmpp://127.0.0.1:$port/im.local?pin=sha256:$pin"
}

start_janus() {
  local dir=$1 port libdir d
  if [ -f "$dir/janus.pid" ] && kill -0 "$(cat "$dir/janus.pid")" 2>/dev/null; then
    echo "class-servers.sh: janus already running in $dir" >&2
    return 1
  fi
  for d in /usr/lib/*/janus /usr/lib/janus; do [ -d "$d/plugins" ] && { libdir=$(dirname "$d"); break; }; done
  [ -n "${libdir:-}" ] || { echo "class-servers.sh: janus is not installed" >&2; return 1; }
  mkdir -p "$dir/janus"
  [ -f "$dir/ws.port" ] || free_port >"$dir/ws.port"
  port=$(cat "$dir/ws.port")
  sed -e "s|@DIR@|$dir|g" -e "s|@LIBDIR@|$libdir|g" -e "s|@SECRET@|$key|g" \
      -e "s|@RTP_PORTS@|20000-40000|g" "$avserver/janus.jcfg.in" >"$dir/janus/janus.jcfg"
  sed -e "s|@WS_PORT@|$port|g" -e "s|@WS_IP@|127.0.0.1|g" \
      "$avserver/janus.transport.websockets.jcfg.in" >"$dir/janus/janus.transport.websockets.jcfg"
  cp "$avserver/janus.plugin.videoroom.jcfg" "$dir/janus/"
  janus -F "$dir/janus" -C "$dir/janus/janus.jcfg" >>"$dir/janus.out" 2>&1 </dev/null &
  echo $! >"$dir/janus.pid"
  if ! wait_port "$port"; then
    echo "class-servers.sh: janus did not start; see $dir/janus.out" >&2
    stop_pid "$dir/janus.pid"
    return 1
  fi
  echo "BRV_AV_SERVER=ws://127.0.0.1:$port/"
}

stop_pid() {
  local file=$1 pid i
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}

stop() {
  stop_pid "$1/janus.pid"
  stop_pid "$1/prosody.pid"
}

sign() {
  local user=$1 seconds=${2:-86400} now header payload sig janus
  now=$(date +%s)
  header=$(printf '{"alg":"HS256","typ":"JWT"}' | b64url)
  # Janus' signed token: "expiry,janus,plugin" and its HMAC-SHA1 in plain base64.
  janus="$((now + seconds)),janus,janus.plugin.videoroom"
  janus="$janus:$(printf '%s' "$janus" | openssl dgst -sha1 -hmac "$key" -binary | openssl base64 -A)"
  payload=$(python3 -c 'import json,sys; print(json.dumps({"sub":sys.argv[1],"iat":int(sys.argv[2]),"exp":int(sys.argv[2])+int(sys.argv[3]),"janus":sys.argv[4]},separators=(",",":")))' "$user" "$now" "$seconds" "$janus" | tr -d '\n' | b64url)
  sig=$(printf '%s' "$header.$payload" | openssl dgst -sha256 -hmac "$key" -binary | b64url)
  echo "$header.$payload.$sig"
}

case "${1:-}" in
  start) [ $# -ge 2 ] || { echo "usage: $0 start DIR [im,av]" >&2; exit 2; }; start "$2" "${3:-im,av}" ;;
  stop) [ $# -eq 2 ] || { echo "usage: $0 stop DIR" >&2; exit 2; }; stop "$2" ;;
  sign) [ $# -ge 2 ] || { echo "usage: $0 sign USER_ID [SECONDS]" >&2; exit 2; }; sign "$2" "${3:-86400}" ;;
  *) echo "usage: $0 start DIR [im,av] | stop DIR | sign USER_ID [SECONDS]" >&2; exit 2 ;;
esac
