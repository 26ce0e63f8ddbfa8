#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks.
#
#   scripts/test-server.sh start DIR [--durable]   initdb and start on 127.0.0.1, a free port
#   scripts/test-server.sh stop DIR                stop it and remove its data
#   scripts/test-server.sh pause|resume DIR        stop it as an administrator does (fast
#                                                  shutdown), start it again on the same port
#
# start writes DIR/url, the connection URI of the superuser `keyin` to the database `postgres`;
# its password is DIR/password. The data lives in a fresh temporary folder (DIR/data names it),
# owned by the user that runs the server: the server refuses to run as root, so under root the
# system user keyin-test runs it (created when missing). The tests' cluster writes nothing to
# disk before it must (fsync off): its data is thrown away. --durable keeps the defaults, for
# benchmarks that should pay what a real server pays for a commit.
set -euo pipefail

command=${1:?usage: test-server.sh start|stop|pause|resume DIR [--durable]}
dir=${2:?usage: test-server.sh start|stop|pause|resume DIR [--durable]}
durable=${3:-}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[[ -x $bin/initdb ]] || { echo "test-server.sh: no PostgreSQL server installed (postgresql)" >&2; exit 1; }

as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  if ! id keyin-test >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin keyin-test
  fi
  as_owner=(runuser -u keyin-test --)
fi

stop() {
  [[ -f $dir/data ]] || return 0
  local data
  data=$(cat "$dir/data")
  if [[ -f $data/cluster/postmaster.pid ]]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$data/cluster" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$data"
  rm -f "$dir/data" "$dir/url" "$dir/password" "$dir/port"
}

pause() {
  "${as_owner[@]}" "$bin/pg_ctl" -D "$(cat "$dir/data")/cluster" -m fast -w stop >/dev/null
}

resume() {
  local data
  data=$(cat "$dir/data")
  "${as_owner[@]}" "$bin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 60 \
    -o "-p $(cat "$dir/port")" start >/dev/null
}

start() {
  stop
  mkdir -p "$dir"
  local data password port
  data=$(mktemp -d /tmp/keyin-test-server.XXXXXX)
  echo "$data" >"$dir/data"
  password="keyin-$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')"
  printf '%s\n' "$password" >"$data/password"
  chmod 755 "$data"
  chmod 600 "$data/password"
  [[ ${#as_owner[@]} -eq 0 ]] || chown keyin-test "$data" "$data/password"
  "${as_owner[@]}" "$bin/initdb" -D "$data/cluster" -U keyin --pwfile="$data/password" \
    --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C --no-sync >"$data/initdb.log" 2>&1 ||
    { cat "$data/initdb.log" >&2; exit 1; }
  {
    echo "listen_addresses = '127.0.0.1'"
    echo "unix_socket_directories = '$data'"
    echo "max_connections = 300"  # 64 seats at once, two connections each during an exam run
    if [[ $durable != --durable ]]; then
      echo "fsync = off"
      echo "synchronous_commit = off"
      echo "full_page_writes = off"
    fi
  } >>"$data/cluster/postgresql.conf"
  # A port that is taken makes the server fail to start: try another.
  for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    if "${as_owner[@]}" "$bin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 60 \
      -o "-p $port" start >/dev/null; then
      printf '%s\n' "$password" >"$dir/password"
      printf '%s\n' "$port" >"$dir/port"
      printf 'postgresql://keyin:%s@127.0.0.1:%s/postgres\n' "$password" "$port" >"$dir/url"
      echo "test server on 127.0.0.1:$port, data in $data"
      return 0
    fi
  done
  cat "$data/server.log" >&2
  exit 1
}

case $command in
  start) start ;;
  stop) stop ;;
  pause) pause ;;
  resume) resume ;;
  *) echo "usage: test-server.sh start|stop|pause|resume DIR [--durable]" >&2; exit 2 ;;
esac
