#!/usr/bin/env bash
# Starts or stops the loopback peers of Klarwin's online tests.
#   servers.sh start DIR   starts them; DIR/update_port holds the update server's port
#   servers.sh stop DIR    stops the ones started into DIR (by their pids)
set -eu
cmd=$1
dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$dir"
case $cmd in
start)
  "$0" stop "$dir" || true
  rm -f "$dir/update_port"
  nohup python3 "$here/update_server.py" "$dir/update_port" >"$dir/update_server.log" 2>&1 &
  echo $! >"$dir/update_server.pid"
  for _ in $(seq 100); do
    [ -s "$dir/update_port" ] && exit 0
    sleep 0.1
  done
  echo "update server did not start" >&2
  exit 1
  ;;
stop)
  for f in "$dir"/*.pid; do
    [ -f "$f" ] || continue
    kill "$(cat "$f")" 2>/dev/null || true
    rm -f "$f"
  done
  ;;
esac
