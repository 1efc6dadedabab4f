#!/usr/bin/env bash
# netns-run.sh COMMAND [ARGS...]
# Runs COMMAND in a private network namespace of its own whose only addresses are loopback ones,
# so that the media server and the clients of a test reach nothing outside it. Janus leaves
# interfaces flagged as loopback out of its ICE candidates, so a veth pair carries 127.0.0.1/32
# as well: that one Janus offers. As root, or else in a user namespace of its own; where neither
# is allowed it exits with 77 (CTest then counts the test as skipped).
set -euo pipefail
if [ "${BRV_IN_NETNS:-}" != 1 ]; then
  if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n env BRV_IN_NETNS=1 "$0" "$@"
  elif unshare -rn true 2>/dev/null; then
    exec unshare -rn env BRV_IN_NETNS=1 "$0" "$@"
  fi
  echo "netns-run.sh: no private network namespace allowed here" >&2
  exit 77
fi
ip link set lo up
ip link add brvav0 type veth peer name brvav1
# No IPv6 link-local addresses on the pair: getaddrinfo() with AI_ADDRCONFIG (libstrophe's, for
# the IM server) counts them as IPv6 being configured while it counts no IPv4 one (loopback
# addresses do not count), and then refuses the IPv4 address 127.0.0.1 altogether.
for i in brvav0 brvav1; do
  [ ! -w "/proc/sys/net/ipv6/conf/$i/disable_ipv6" ] || echo 1 >"/proc/sys/net/ipv6/conf/$i/disable_ipv6"
done
ip addr add 127.0.0.1/32 dev brvav0
ip link set brvav1 up
ip link set brvav0 up
exec "$@"
