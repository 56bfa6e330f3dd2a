#!/usr/bin/env bash
# Starts or stops the tests' HTTP servers on 127.0.0.1: nginx with a private configuration, and
# the fault server. Everything lives in the state directory:
#   www/         nginx's document root          nginx.port   its port
#   faults.port  the fault server's port        closed.port  a port that refuses connections
#
#   test-servers.sh start <state directory>
#   test-servers.sh stop <state directory>
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
action=${1:?start or stop}
state=${2:?state directory}

# Polls every 0.1 s until a command succeeds, for at most $1 seconds.
wait_for() {
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    ((tries-- > 0)) || return 1
    sleep 0.1
  done
}

accepts() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
is_gone() { ! kill -0 "$1" 2>/dev/null; }

stop_pid_file() {
  local file=$1 pid
  [[ -f $file ]] || return 0
  pid=$(tr -d ' \n' <"$file")
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait_for 10 is_gone "$pid" || kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_nginx() {
  mkdir -p "$state/www" "$state/nginx/tmp" "$state/nginx/logs"
  local port user_line=""
  # As root, nginx would run its worker as "nobody", which may not read the build tree.
  [[ $(id -u) == 0 ]] && user_line="user root;"
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    cat >"$state/nginx/nginx.conf" <<CONF
$user_line
daemon on;
worker_processes 1;
pid $state/nginx/nginx.pid;
error_log $state/nginx/logs/error.log;
events { worker_connections 64; }
http {
  access_log $state/nginx/logs/access.log;
  client_body_temp_path $state/nginx/tmp/body;
  proxy_temp_path $state/nginx/tmp/proxy;
  fastcgi_temp_path $state/nginx/tmp/fastcgi;
  uwsgi_temp_path $state/nginx/tmp/uwsgi;
  scgi_temp_path $state/nginx/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $state/www;
  }
}
CONF
    if nginx -p "$state/nginx" -e "$state/nginx/logs/error.log" -c "$state/nginx/nginx.conf" &&
      wait_for 10 accepts "$port"; then
      echo "$port" >"$state/nginx.port"
      return 0
    fi
    stop_pid_file "$state/nginx/nginx.pid"  # the port was taken meanwhile: try another
  done
  echo "test-servers: nginx did not start (see $state/nginx/logs/error.log)" >&2
  return 1
}

start_faults() {
  rm -f "$state/faults.port" "$state/closed.port"
  setsid python3 "$here/fault_server.py" "$state" </dev/null >>"$state/fault_server.log" 2>&1 &
  echo $! >"$state/fault_server.pid"
  if ! wait_for 10 test -s "$state/faults.port"; then
    echo "test-servers: the fault server did not start (see $state/fault_server.log)" >&2
    return 1
  fi
  wait_for 10 accepts "$(cat "$state/faults.port")"
}

case $action in
  start)
    mkdir -p "$state"
    "$0" stop "$state"
    start_nginx
    start_faults
    ;;
  stop)
    stop_pid_file "$state/fault_server.pid"
    stop_pid_file "$state/nginx/nginx.pid"
    rm -f "$state/nginx.port" "$state/faults.port" "$state/closed.port"
    ;;
  *)
    echo "usage: $0 start|stop <state directory>" >&2
    exit 2
    ;;
esac
