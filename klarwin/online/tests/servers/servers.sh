#!/usr/bin/env bash
# Starts or stops the loopback peers of Klarwin's online tests.
#   servers.sh start DIR [NAMESPACE]
#       starts them; DIR/update_port and DIR/log_port hold the update server's
#       and the log service's ports (the log service runs on node with the soap
#       package, which tools/setup.sh installs)
#   servers.sh stop DIR    stops the ones started into DIR (by their pids)
set -eu
cmd=$1
dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$dir"
case $cmd in
start)
  "$0" stop "$dir" || true
  rm -f "$dir/update_port" "$dir/log_port"
  soap="$here/../soap-server"
  if [ ! -d "$soap/node_modules/soap" ]; then
    echo "the SOAP server's npm packages are not installed: run tools/setup.sh" >&2
    exit 1
  fi
  nohup node "$soap/server.js" "$here/../../service/LogService.wsdl" "$dir/log_port" ${3:-} \
    >"$dir/log_server.log" 2>&1 &
  echo $! >"$dir/log_server.pid"
  nohup python3 "$here/update_server.py" "$dir/update_port" >"$dir/update_server.log" 2>&1 &
  echo $! >"$dir/update_server.pid"
  for _ in $(seq 200); do
    [ -s "$dir/update_port" ] && [ -s "$dir/log_port" ] && exit 0
    sleep 0.1
  done
  echo "the servers did not start" >&2
  cat "$dir"/*.log >&2
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
