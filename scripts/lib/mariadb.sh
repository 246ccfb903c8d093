# A throwaway MariaDB server for the tests: its own data folder in a
# temporary folder, run by an unprivileged user, reachable on 127.0.0.1 only,
# on a free port, in the server's default SQL mode. mariadb_start exports
# QUORVANE_MY_HOST, QUORVANE_MY_PORT, QUORVANE_MY_USER and
# QUORVANE_MY_DATABASE; mariadb_stop stops it and removes the folder.
# Needs _pg_free_port of postgres.sh.
# shellcheck shell=bash

QUORVANE_MY_OWNER=quorvane-my  # the server's user when we run as root
_my_dir=
_my_run=()
_my_pid=

# The server's own administrator, through its socket in the data folder.
_my_admin() {
  mariadb --no-defaults --socket="$_my_dir/server.sock" --user=root "$@"
}

mariadb_start() {
  command -v mariadbd >/dev/null 2>&1 || [ -x /usr/sbin/mariadbd ] || die "the MariaDB server (mariadb-server) is not installed"
  local server
  server=$(command -v mariadbd || echo /usr/sbin/mariadbd)
  server_owner "$QUORVANE_MY_OWNER" _my_run
  local base=${TMPDIR:-/tmp}
  [ "$(id -u)" -ne 0 ] || base=/tmp  # the owner must be able to reach it
  _my_dir=$(mktemp -d "$base/quorvane-my.XXXXXX") || die "could not create a temporary folder for MariaDB"
  chmod 700 "$_my_dir"
  [ "$(id -u)" -ne 0 ] || chown "$QUORVANE_MY_OWNER:" "$_my_dir"

  "${_my_run[@]}" mariadb-install-db --no-defaults --datadir="$_my_dir/data" --auth-root-authentication-method=normal \
    --skip-test-db --skip-name-resolve >"$_my_dir/install.log" 2>&1 || {
    cat "$_my_dir/install.log" >&2
    die "mariadb-install-db failed"
  }

  # Another program may take the port between our probe and the server's
  # bind; then try another one.
  local attempt port tries started=0
  for attempt in 1 2 3 4 5; do
    port=$(_pg_free_port) || die "could not find a free port"
    "${_my_run[@]}" "$server" --no-defaults --datadir="$_my_dir/data" --socket="$_my_dir/server.sock" \
      --pid-file="$_my_dir/server.pid" --log-error="$_my_dir/server.log" --bind-address=127.0.0.1 --port="$port" \
      --skip-name-resolve --skip-log-bin --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
      --innodb-flush-log-at-trx-commit=0 --max-connections=500 >"$_my_dir/server.out" 2>&1 &
    _my_pid=$!
    tries=0
    until _my_admin -e 'SELECT 1' >/dev/null 2>&1; do
      tries=$((tries + 1))
      kill -0 "$_my_pid" 2>/dev/null || break
      [ "$tries" -lt 120 ] || break
      sleep 0.5
    done
    if _my_admin -e 'SELECT 1' >/dev/null 2>&1; then
      started=1
      break
    fi
    kill -TERM "$_my_pid" 2>/dev/null || true
    wait "$_my_pid" 2>/dev/null || true
    _my_pid=
    warn "MariaDB did not start on port $port (attempt $attempt)"
  done
  if [ "$started" -ne 1 ]; then
    cat "$_my_dir/server.log" >&2 2>/dev/null || true
    die "the MariaDB test server could not start"
  fi

  _my_admin -e "CREATE USER 'quorvane'@'127.0.0.1'; GRANT ALL ON *.* TO 'quorvane'@'127.0.0.1' WITH GRANT OPTION;
    CREATE DATABASE quorvane_test CHARACTER SET utf8mb4;" || die "could not create the test user and database"

  export QUORVANE_MY_HOST=127.0.0.1
  export QUORVANE_MY_PORT=$port
  export QUORVANE_MY_USER=quorvane
  export QUORVANE_MY_DATABASE=quorvane_test
  say "MariaDB test server ready on 127.0.0.1:$port (database quorvane_test, user quorvane)"
}

# Stops the server that mariadb_start started and removes its folder;
# harmless when nothing was started.
mariadb_stop() {
  [ -n "$_my_dir" ] || return 0
  if [ -n "$_my_pid" ] && kill -0 "$_my_pid" 2>/dev/null; then
    # The server itself, not the runuser that started it, shuts down cleanly.
    local server
    server=$(cat "$_my_dir/server.pid" 2>/dev/null || true)
    kill -TERM "${server:-$_my_pid}" 2>/dev/null || true
    local tries=0
    while kill -0 "$_my_pid" 2>/dev/null && [ "$tries" -lt 60 ]; do
      tries=$((tries + 1))
      sleep 0.5
    done
    if kill -0 "$_my_pid" 2>/dev/null; then
      kill -KILL "$_my_pid" 2>/dev/null || true
      warn "MariaDB did not stop in time; killed its server process $_my_pid"
    fi
    wait "$_my_pid" 2>/dev/null || true
  fi
  rm -rf "$_my_dir"
  _my_dir=
  _my_pid=
  unset QUORVANE_MY_HOST QUORVANE_MY_PORT QUORVANE_MY_USER QUORVANE_MY_DATABASE
}
