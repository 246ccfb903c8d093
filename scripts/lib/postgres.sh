# A throwaway PostgreSQL server for the tests: its own cluster in a temporary
# folder, reachable on 127.0.0.1 only, on a free port, trusting every local
# connection. pg_start exports QUORVANE_PG_HOST, QUORVANE_PG_PORT,
# QUORVANE_PG_USER and QUORVANE_PG_DATABASE; pg_stop stops it and removes the
# folder. With them come a connection pooler and a standby
# (postgres-replicas.sh).
# shellcheck shell=bash
# shellcheck source=scripts/lib/postgres-replicas.sh
source "$(dirname "${BASH_SOURCE[0]}")/postgres-replicas.sh"

QUORVANE_PG_BINDIR=${QUORVANE_PG_BINDIR:-/usr/lib/postgresql/$QUORVANE_PG_MAJOR/bin}
QUORVANE_PG_OWNER=quorvane-pg  # the cluster's owner when we run as root
_pg_dir=
_pg_run=()

_pg_free_port() {
  python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

_pg_locale_options() {
  if locale -a 2>/dev/null | grep -qix 'c\.utf-\?8'; then
    printf '%s\n' --locale=C.UTF-8
  else
    printf '%s\n' --no-locale
  fi
}

pg_start() {
  [ -x "$QUORVANE_PG_BINDIR/initdb" ] || die "PostgreSQL $QUORVANE_PG_MAJOR is not installed ($QUORVANE_PG_BINDIR/initdb is missing)"
  # PostgreSQL refuses to run as root, so root hands the cluster to a system
  # user of its own.
  server_owner "$QUORVANE_PG_OWNER" _pg_run
  local base=${TMPDIR:-/tmp}
  [ "$(id -u)" -ne 0 ] || base=/tmp  # the owner must be able to reach it
  _pg_dir=$(mktemp -d "$base/quorvane-pg.XXXXXX") || die "could not create a temporary folder for PostgreSQL"
  chmod 700 "$_pg_dir"
  [ "$(id -u)" -ne 0 ] || chown "$QUORVANE_PG_OWNER:" "$_pg_dir"

  "${_pg_run[@]}" "$QUORVANE_PG_BINDIR/initdb" -D "$_pg_dir/data" -U postgres -A trust -E UTF8 \
    "$(_pg_locale_options)" >"$_pg_dir/initdb.log" 2>&1 || {
    cat "$_pg_dir/initdb.log" >&2
    die "initdb failed"
  }

  # Another program may take the port between our probe and the server's
  # bind; then try another one.
  local attempt port started=0
  for attempt in 1 2 3 4 5; do
    port=$(_pg_free_port) || die "could not find a free port"
    if "${_pg_run[@]}" "$QUORVANE_PG_BINDIR/pg_ctl" -D "$_pg_dir/data" -l "$_pg_dir/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $_pg_dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null; then
      started=1
      break
    fi
    warn "PostgreSQL did not start on port $port (attempt $attempt)"
  done
  if [ "$started" -ne 1 ]; then
    cat "$_pg_dir/server.log" >&2 2>/dev/null || true
    die "the PostgreSQL test server could not start"
  fi

  _pg_answers "$port" || die "the PostgreSQL test server does not answer on port $port"

  "$QUORVANE_PG_BINDIR/createdb" -h 127.0.0.1 -p "$port" -U postgres -E UTF8 quorvane_test ||
    die "could not create the database quorvane_test"

  export QUORVANE_PG_HOST=127.0.0.1
  export QUORVANE_PG_PORT=$port
  export QUORVANE_PG_USER=postgres
  export QUORVANE_PG_DATABASE=quorvane_test
  say "PostgreSQL test server ready on 127.0.0.1:$port (database quorvane_test, user postgres)"
  _pg_standby_start "$port"
  _pg_pool_start "$port"
}

# _pg_answers PORT: whether a server (or the pooler) answers there within
# 30 seconds.
_pg_answers() {
  local tries=0
  until "$QUORVANE_PG_BINDIR/pg_isready" -q -h 127.0.0.1 -p "$1" -U postgres -d postgres; do
    tries=$((tries + 1))
    [ "$tries" -lt 60 ] || return 1
    sleep 0.5
  done
}

# _pg_cluster_stop DATA: stops the server of the data folder, if running.
_pg_cluster_stop() {
  local data=$1
  [ -f "$data/postmaster.pid" ] || return 0
  if ! "${_pg_run[@]}" "$QUORVANE_PG_BINDIR/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null 2>&1; then
    local pid
    pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null || true)
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    warn "PostgreSQL did not stop in time; killed its server process $pid"
  fi
}

# Stops the server that pg_start started and removes its folder; harmless when
# nothing was started.
pg_stop() {
  [ -n "$_pg_dir" ] || return 0
  _pg_pool_stop
  _pg_standby_stop
  _pg_cluster_stop "$_pg_dir/data"
  rm -rf "$_pg_dir"
  _pg_dir=
  unset QUORVANE_PG_HOST QUORVANE_PG_PORT QUORVANE_PG_USER QUORVANE_PG_DATABASE
}
