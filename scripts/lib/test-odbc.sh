# Private ODBC files for a test run, so that nothing the tests do reads or
# changes the user's or the system's data sources.
# shellcheck shell=bash

QUORVANE_TEST_PG_DSN=QuorvaneTestPg
QUORVANE_TEST_MY_DSN=QuorvaneTestMy
# shellcheck disable=SC2034  # read by name in write_test_odbc_files
QUORVANE_TEST_PG_POOL_DSN=QuorvaneTestPgPool
# shellcheck disable=SC2034
QUORVANE_TEST_PG_STANDBY_DSN=QuorvaneTestPgStandby

# write_test_odbc_files DIR: writes DIR/odbcinst.ini and DIR/odbc.ini and
# points ODBCSYSINI and ODBCINI at them. The PostgreSQL data source needs the
# QUORVANE_PG_* variables of pg_start, the MariaDB one (written only when
# they are set) the QUORVANE_MY_* variables of mariadb_start. The pooler's
# and the standby's data sources come with their ports.
write_test_odbc_files() {
  local dir=$1 sqlite pg my
  sqlite=$(odbc_driver_path libsqlite3odbc.so) || die "the SQLite3 ODBC driver (libsqliteodbc) is not installed"
  pg=$(odbc_driver_path psqlodbcw.so) || die "the PostgreSQL ODBC driver (odbc-postgresql) is not installed"
  my=$(odbc_driver_path libmaodbc.so) || die "the MariaDB ODBC driver (odbc-mariadb) is not installed"
  mkdir -p "$dir"
  cat >"$dir/odbcinst.ini" <<INI
[SQLite3]
Description = SQLite3 ODBC Driver
Driver = $sqlite

[PostgreSQL Unicode]
Description = PostgreSQL ODBC driver (Unicode version)
Driver = $pg

[MariaDB Unicode]
Description = MariaDB Connector/ODBC
Driver = $my
INI
  cat >"$dir/odbc.ini" <<INI
[$QUORVANE_TEST_PG_DSN]
Description = Throwaway PostgreSQL server of the test run
Driver = PostgreSQL Unicode
Servername = ${QUORVANE_PG_HOST:?}
Port = ${QUORVANE_PG_PORT:?}
Database = ${QUORVANE_PG_DATABASE:?}
Username = ${QUORVANE_PG_USER:?}
UseDeclareFetch = 1
Fetch = 200
INI
  local route port
  for route in POOL STANDBY; do
    port=QUORVANE_PG_${route}_PORT
    [ -n "${!port:-}" ] || continue
    local dsn=QUORVANE_TEST_PG_${route}_DSN
    cat >>"$dir/odbc.ini" <<INI

[${!dsn}]
Description = Throwaway PostgreSQL server of the test run, ${route,,} route
Driver = PostgreSQL Unicode
Servername = $QUORVANE_PG_HOST
Port = ${!port}
Database = $QUORVANE_PG_DATABASE
Username = $QUORVANE_PG_USER
UseDeclareFetch = 1
Fetch = 200
INI
  done
  if [ -n "${QUORVANE_MY_PORT:-}" ]; then
    cat >>"$dir/odbc.ini" <<INI

[$QUORVANE_TEST_MY_DSN]
Description = Throwaway MariaDB server of the test run
Driver = MariaDB Unicode
Server = ${QUORVANE_MY_HOST:?}
Port = $QUORVANE_MY_PORT
Database = ${QUORVANE_MY_DATABASE:?}
User = ${QUORVANE_MY_USER:?}
INI
    export QUORVANE_MY_DSN=$QUORVANE_TEST_MY_DSN
  fi
  export ODBCSYSINI=$dir
  export ODBCINI=$dir/odbc.ini
  export QUORVANE_PG_DSN=$QUORVANE_TEST_PG_DSN
}
