# Checks of what scripts/start relies on, run by scripts/test before the
# program's own tests: the committed cursor matches its generator, the demo
# database builds with the expected tables, and the demo data source is added
# once, works, and leaves the rest of an existing odbc.ini alone.
# shellcheck shell=bash

selfcheck_failures=0

_check() {
  local what=$1
  shift
  if "$@"; then
    say "  ok    $what"
  else
    say "  FAIL  $what"
    selfcheck_failures=$((selfcheck_failures + 1))
  fi
}

_same_text() { [ "$1" = "$2" ]; }

# run_selfchecks SCRATCH_DIR; returns non-zero when a check failed.
run_selfchecks() {
  local scratch=$1
  selfcheck_failures=0
  say "Checking the set-up scripts and resources ..."

  _check "HAND-M.CUR is what scripts/tools/make-hand-cursor.py writes" _cursor_up_to_date

  local size
  for size in 32 48 128 256; do
    _check "icon app-$size.png is a ${size}x${size} PNG" _png_has_size "$QUORVANE_ROOT/resources/icons/app-$size.png" "$size"
  done

  # Everything below runs in a subshell with its own HOME, data folder and
  # ODBC files, so that the user's are never touched.
  (
    export HOME=$scratch/home XDG_DATA_HOME=$scratch/home/.local/share
    export ODBCINI=$scratch/home/.odbc.ini ODBCSYSINI=$scratch/sys
    mkdir -p "$HOME" "$ODBCSYSINI"
    printf '[SQLite3]\nDriver = %s\n' "$(odbc_driver_path libsqlite3odbc.so)" >"$ODBCSYSINI/odbcinst.ini"
    printf '[Existing]\nDriver = SQLite3\nDatabase = /nowhere.db\n; kept as written' >"$ODBCINI"
    local original database
    original=$(cat "$ODBCINI")
    database=$(demo_database_path)

    if ! { demo_database_ensure "$database" >/dev/null && demo_dsn_ensure "$database" >/dev/null; }; then
      say "  FAIL  creating the demo database and its data source"
      exit 1
    fi
    local first
    first=$(cat "$ODBCINI"; sha256sum "$database")
    if ! { demo_database_ensure "$database" >/dev/null && demo_dsn_ensure "$database" >/dev/null; }; then
      say "  FAIL  running the demo set-up a second time"
      exit 1
    fi

    _check "a second run changes neither the database nor odbc.ini" \
      _same_text "$first" "$(cat "$ODBCINI"; sha256sum "$database")"
    _check "odbc.ini keeps its other data source word for word" \
      _same_text "$original" "$(head -n 4 "$ODBCINI")"
    _check "odbc.ini holds one QuorvaneDemo section" \
      _same_text 1 "$(grep -c '^\[QuorvaneDemo\]' "$ODBCINI")"
    _check "the demo database has its tables, the view and sys_audit" \
      _same_text "categories,customers,employees,order_lines,orders,products,supplier contacts,sys_audit|order_totals" \
      "$(sqlite3 "$database" "SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name)")|$(sqlite3 "$database" "SELECT name FROM sqlite_master WHERE type = 'view'")"
    _check "the demo database has a few thousand rows with intact references" \
      _same_text "7068|" "$(sqlite3 "$database" "SELECT (SELECT count(*) FROM categories) + (SELECT count(*) FROM customers) + (SELECT count(*) FROM employees) + (SELECT count(*) FROM products) + (SELECT count(*) FROM orders) + (SELECT count(*) FROM order_lines) + (SELECT count(*) FROM \"supplier contacts\") + (SELECT count(*) FROM sys_audit)")|$(sqlite3 "$database" 'PRAGMA foreign_key_check')"
    _check "the QuorvaneDemo data source answers through the driver manager" \
      _same_text 500 "$(printf 'SELECT count(*) FROM customers\n' | isql -b -d, QuorvaneDemo 2>&1 | tr -d '[:space:]')"
    exit "$selfcheck_failures"
  ) || selfcheck_failures=$((selfcheck_failures + $?))
  [ "$selfcheck_failures" -eq 0 ]
}

_cursor_up_to_date() {
  python3 "$QUORVANE_ROOT/scripts/tools/make-hand-cursor.py" --check "$QUORVANE_ROOT/resources/HAND-M.CUR" >/dev/null
}

_png_has_size() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read(24)
size = int(sys.argv[2])
ok = data[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", data[16:24]) == (size, size)
sys.exit(0 if ok else 1)
PY
}
