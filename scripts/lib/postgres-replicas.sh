# The ways teams put a PostgreSQL server in front of its users, for the
# tests: a connection pooler (pgbouncer) in transaction pooling and a
# streaming standby made with pg_basebackup -R, both in front of or beside
# the throwaway server of postgres.sh, reachable on 127.0.0.1 only, in
# folders of their own inside its folder. pg_start starts them when their
# programs are installed and exports QUORVANE_PG_POOL_PORT and
# QUORVANE_PG_STANDBY_PORT; pg_stop stops them first.
# shellcheck shell=bash
# shellcheck disable=SC2154  # _pg_dir and _pg_run are postgres.sh's


# _pg_pool_start PORT: a pool in front of the server on PORT, for every
# database of it, each client's server connection handed back at the end
# of each of its transactions.
_pg_pool_start() {
  local server_port=$1 pooler
  pooler=$(command -v pgbouncer || echo /usr/sbin/pgbouncer)
  [ -x "$pooler" ] || {
    warn "note: pgbouncer is not installed; the tests through a connection pooler are skipped"
    return 0
  }
  local dir=$_pg_dir/pool attempt port
  "${_pg_run[@]}" mkdir -p "$dir"
  printf '"postgres" ""\n' | "${_pg_run[@]}" tee "$dir/users.txt" >/dev/null
  for attempt in 1 2 3 4 5; do
    port=$(_pg_free_port) || die "could not find a free port"
    "${_pg_run[@]}" tee "$dir/pgbouncer.ini" >/dev/null <<INI
[databases]
* = host=127.0.0.1 port=$server_port

[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir =
auth_type = trust
auth_file = $dir/users.txt
pool_mode = transaction
default_pool_size = 4
max_client_conn = 200
ignore_startup_parameters = extra_float_digits
logfile = $dir/pgbouncer.log
pidfile = $dir/pgbouncer.pid
; Each transaction takes the session idle longest: a client's next
; transaction rarely finds the server session of its last one.
server_round_robin = 1
INI
    if "${_pg_run[@]}" "$pooler" -d -q "$dir/pgbouncer.ini" && _pg_answers "$port"; then
      export QUORVANE_PG_POOL_PORT=$port
      say "pgbouncer (transaction pooling) ready on 127.0.0.1:$port"
      return 0
    fi
    _pg_pool_stop
    warn "pgbouncer did not start on port $port (attempt $attempt)"
  done
  cat "$dir/pgbouncer.log" >&2 2>/dev/null || true
  die "the connection pooler of the tests could not start"
}

_pg_pool_stop() {
  local pid
  pid=$(cat "$_pg_dir/pool/pgbouncer.pid" 2>/dev/null || true)
  if [ -n "$pid" ]; then
    kill -TERM "$pid" 2>/dev/null || true
    local tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 20 ]; do
      tries=$((tries + 1))
      sleep 0.25
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  unset QUORVANE_PG_POOL_PORT
}

# _pg_standby_start PORT: a hot standby of the server on PORT, streaming
# every change from it.
_pg_standby_start() {
  local primary_port=$1 data=$_pg_dir/standby attempt port
  "${_pg_run[@]}" "$QUORVANE_PG_BINDIR/pg_basebackup" -h 127.0.0.1 -p "$primary_port" -U postgres -D "$data" -R \
    -X stream -c fast >"$_pg_dir/basebackup.log" 2>&1 || {
    cat "$_pg_dir/basebackup.log" >&2
    die "pg_basebackup could not copy the test server for its standby"
  }
  for attempt in 1 2 3 4 5; do
    port=$(_pg_free_port) || die "could not find a free port"
    if "${_pg_run[@]}" "$QUORVANE_PG_BINDIR/pg_ctl" -D "$data" -l "$_pg_dir/standby.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $_pg_dir -c hot_standby=on" start >/dev/null &&
      _pg_answers "$port"; then
      export QUORVANE_PG_STANDBY_PORT=$port
      say "PostgreSQL standby ready on 127.0.0.1:$port"
      return 0
    fi
    warn "the PostgreSQL standby did not start on port $port (attempt $attempt)"
  done
  cat "$_pg_dir/standby.log" >&2 2>/dev/null || true
  die "the PostgreSQL standby of the tests could not start"
}

_pg_standby_stop() {
  _pg_cluster_stop "$_pg_dir/standby"
  unset QUORVANE_PG_STANDBY_PORT
}
