# The demo database and its ODBC data source, for scripts/start. Both are
# created once and then left alone: running again changes nothing.
# shellcheck shell=bash

QUORVANE_DEMO_DSN=QuorvaneDemo

demo_database_path() {
  printf '%s\n' "${XDG_DATA_HOME:-$HOME/.local/share}/quorvane/demo.sqlite"
}

# Creates the demo database unless it exists. It is built beside its final
# place and moved there at the end, so an interrupted run leaves no half
# database that a later run would take for finished.
demo_database_ensure() {
  local path=$1
  if [ -e "$path" ]; then
    say "Demo database: $path (already there)"
    return 0
  fi
  mkdir -p "$(dirname "$path")"
  local partial="$path.partial.$$"
  rm -f "$partial"
  if ! sqlite3 -bail "$partial" <"$QUORVANE_ROOT/scripts/demo-database.sql" >/dev/null; then
    rm -f "$partial"
    die "could not create the demo database"
  fi
  mv -f "$partial" "$path"
  say "Demo database: $path (created)"
}

# The user's own data source file, as the driver manager finds it: $ODBCINI
# when set, otherwise .odbc.ini in the home folder of the account (the driver
# manager takes that from the password database, not from $HOME).
user_odbc_ini() {
  local reported
  reported=$(odbcinst -j 2>/dev/null | sed -n 's/^USER DATA SOURCES\.*: *//p')
  printf '%s\n' "${ODBCINI:-${reported:-$HOME/.odbc.ini}}"
}

# True when a data source of that name is defined in the user's or the
# system's files.
odbc_dsn_exists() {
  odbcinst -q -s -n "$1" >/dev/null 2>&1
}

# How the data source names the SQLite3 driver: by its registered name when
# the system knows it, by the library's absolute path otherwise.
sqlite_driver_reference() {
  if odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
    printf '%s\n' SQLite3
  else
    odbc_driver_path libsqlite3odbc.so || die "the SQLite3 ODBC driver (libsqliteodbc) is not installed"
  fi
}

# Adds the demo data source to the user's odbc.ini unless a data source of
# that name exists anywhere. Only appends: every other line of the file stays
# as it is.
demo_dsn_ensure() {
  local database=$1 ini driver
  ini=$(user_odbc_ini)
  if odbc_dsn_exists "$QUORVANE_DEMO_DSN"; then
    say "Data source $QUORVANE_DEMO_DSN: already defined (left as it is)"
    return 0
  fi
  driver=$(sqlite_driver_reference)
  mkdir -p "$(dirname "$ini")"
  if [ ! -e "$ini" ]; then
    (umask 077 && : >"$ini")
  fi
  # A blank line apart from what is there; a file that does not end in a line
  # break needs one more, or our header would be glued to its last line.
  local gap=
  if [ -s "$ini" ]; then
    gap='\n'
    [ -z "$(tail -c 1 "$ini")" ] || gap='\n\n'
  fi
  {
    printf '%b' "$gap"
    printf '[%s]\n' "$QUORVANE_DEMO_DSN"
    printf 'Description = Quorvane Table Desk Suite demo database (SQLite)\n'
    printf 'Driver = %s\n' "$driver"
    printf 'Database = %s\n' "$database"
    # Rows stream from the database instead of being read in whole first.
    printf 'StepAPI = 1\n'
    # Wait up to five seconds for a lock held by another program.
    printf 'Timeout = 5000\n'
    # A moved or deleted database is an error, not a new empty file.
    printf 'NoCreat = 1\n'
    printf 'FKSupport = 1\n'
    printf 'SyncPragma = NORMAL\n'
  } >>"$ini"
  odbc_dsn_exists "$QUORVANE_DEMO_DSN" || die "added $QUORVANE_DEMO_DSN to $ini, but the driver manager does not see it"
  say "Data source $QUORVANE_DEMO_DSN: added to $ini"
}
