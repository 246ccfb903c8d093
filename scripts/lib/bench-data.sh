# The benchmark's databases: a generated table of a million orders and a
# database of 5,000 small tables, in SQLite files (made once, kept under the
# build folder) and in the PostgreSQL and MariaDB servers of the run (loaded
# each time).
# shellcheck shell=bash

QUORVANE_BENCH_ORDERS=${QUORVANE_BENCH_ORDERS:-1000000}
QUORVANE_BENCH_TABLES=${QUORVANE_BENCH_TABLES:-5000}
# Rows of a second, larger orders table for SQLite and PostgreSQL (0: none).
QUORVANE_BENCH_LARGE_ROWS=${QUORVANE_BENCH_LARGE_ROWS:-0}

_bench_orders_ddl='CREATE TABLE orders (id INTEGER PRIMARY KEY, customer TEXT NOT NULL, amount REAL, created TEXT, qty INTEGER, note TEXT, status TEXT, flag INTEGER);'

# A table of a few huge values among small rows: a 50 MB text, a 100 MB
# binary value and a 5 MB single line.
# A view of the orders: rows that can only be read from the start.
_bench_view='CREATE VIEW orders_view AS SELECT * FROM orders;'

_bench_huge_sqlite="CREATE TABLE IF NOT EXISTS huge (id INTEGER PRIMARY KEY, note, big, other);
INSERT INTO huge SELECT * FROM (SELECT 1, replace(hex(zeroblob(25000000)), '00', 'ab'), NULL, 'a'
  UNION ALL SELECT 2, 'small', zeroblob(100000000), 'b'
  UNION ALL SELECT 3, replace(hex(zeroblob(2500000)), '00', 'ab'), NULL, 'c') WHERE NOT EXISTS (SELECT 1 FROM huge);
INSERT INTO huge (note, other) SELECT 'row ' || n, 'x' FROM (WITH RECURSIVE s(n) AS (SELECT 4 UNION ALL
  SELECT n + 1 FROM s WHERE n < 200) SELECT n FROM s) WHERE (SELECT count(*) FROM huge) < 200;"
_bench_huge_pg="CREATE TABLE huge (id INTEGER PRIMARY KEY, note TEXT, big BYTEA, other TEXT);
INSERT INTO huge VALUES (1, repeat('ab', 25000000), NULL, 'a'), (2, 'small', decode(repeat('c3a9', 50000000), 'hex'), 'b'),
  (3, repeat('ab', 2500000), NULL, 'c');
INSERT INTO huge SELECT n, 'row ' || n, NULL, 'x' FROM generate_series(4, 200) n;"

# _bench_csv GENERATOR CSV ROWS: the orders as CSV, written when missing.
_bench_csv() {
  local generator=$1 csv=$2 rows=$3
  [ ! -e "$csv" ] || return 0
  "$generator" orders-csv "$rows" >"$csv.partial" || die "generating the orders failed"
  mv -f "$csv.partial" "$csv"
}

# _bench_sqlite_orders GENERATOR FILE CSV ROWS: an SQLite file of ROWS orders,
# made when missing.
_bench_sqlite_orders() {
  local generator=$1 orders=$2 csv=$3 rows=$4
  [ ! -e "$orders" ] || return 0
  say "Generating $rows orders into ${orders#"$QUORVANE_ROOT"/} ..."
  _bench_csv "$generator" "$csv" "$rows"
  rm -f "$orders.partial"
  sqlite3 -bail "$orders.partial" <<SQL || die "loading the orders into SQLite failed"
$_bench_orders_ddl
.mode csv
.import '$csv' orders
UPDATE orders SET note = NULL WHERE note = '';
SQL
  mv -f "$orders.partial" "$orders"
}

# bench_large_rows: whether a larger orders table is asked for.
bench_large_rows() { [ "$QUORVANE_BENCH_LARGE_ROWS" -gt 0 ]; }

# bench_sqlite_large GENERATOR DIR: DIR/orders-ROWS.sqlite of
# QUORVANE_BENCH_LARGE_ROWS orders, made when missing.
bench_sqlite_large() {
  local generator=$1 dir=$2
  bench_sqlite_large_orders=$dir/orders-$QUORVANE_BENCH_LARGE_ROWS.sqlite
  _bench_sqlite_orders "$generator" "$bench_sqlite_large_orders" "$dir/orders-$QUORVANE_BENCH_LARGE_ROWS.csv" \
    "$QUORVANE_BENCH_LARGE_ROWS"
}

# bench_sqlite_ensure GENERATOR DIR: DIR/orders.sqlite and DIR/tables.sqlite,
# made when missing. Each is built under a temporary name and moved into
# place at the end, so an interrupted run never leaves a half database.
bench_sqlite_ensure() {
  local generator=$1 dir=$2
  mkdir -p "$dir"
  local orders=$dir/orders-$QUORVANE_BENCH_ORDERS.sqlite tables=$dir/tables-$QUORVANE_BENCH_TABLES.sqlite
  _bench_sqlite_orders "$generator" "$orders" "$dir/orders.csv" "$QUORVANE_BENCH_ORDERS"
  if [ ! -e "$tables" ]; then
    say "Generating $QUORVANE_BENCH_TABLES tables into ${tables#"$QUORVANE_ROOT"/} ..."
    rm -f "$tables.partial"
    "$generator" tables-sql "$QUORVANE_BENCH_TABLES" | sqlite3 -bail "$tables.partial" ||
      die "creating the tables in SQLite failed"
    mv -f "$tables.partial" "$tables"
  fi
  # Added to databases made before it existed as well.
  sqlite3 -bail "$orders" "$_bench_huge_sqlite" "${_bench_view/VIEW/VIEW IF NOT EXISTS}" ||
    die "adding the large values and the view to SQLite failed"
  bench_sqlite_orders=$orders
  bench_sqlite_tables=$tables
}

# bench_pg_load GENERATOR DIR: databases bench_orders (with COPY) and
# bench_tables on the server that pg_start started.
bench_pg_load() {
  local generator=$1 dir=$2
  local psql=("$QUORVANE_PG_BINDIR/psql" -X -q -v ON_ERROR_STOP=1 -h "$QUORVANE_PG_HOST" -p "$QUORVANE_PG_PORT" -U "$QUORVANE_PG_USER")
  _bench_csv "$generator" "$dir/orders.csv" "$QUORVANE_BENCH_ORDERS"
  say "Loading the orders and the tables into PostgreSQL ..."
  "${psql[@]}" -d postgres -c 'CREATE DATABASE bench_orders' -c 'CREATE DATABASE bench_tables' ||
    die "creating the PostgreSQL databases failed"
  "${psql[@]}" -d bench_orders -c "$_bench_orders_ddl" \
    -c "\\copy orders FROM '$dir/orders.csv' WITH (FORMAT csv)" -c 'VACUUM ANALYZE orders' \
    -c "$_bench_huge_pg" -c "$_bench_view" || die "loading the orders into PostgreSQL failed"
  if bench_large_rows; then
    local csv=$dir/orders-$QUORVANE_BENCH_LARGE_ROWS.csv
    _bench_csv "$generator" "$csv" "$QUORVANE_BENCH_LARGE_ROWS"
    say "Loading $QUORVANE_BENCH_LARGE_ROWS orders into PostgreSQL ..."
    "${psql[@]}" -d postgres -c 'CREATE DATABASE bench_large' || die "creating the PostgreSQL database failed"
    "${psql[@]}" -d bench_large -c "$_bench_orders_ddl" -c "\\copy orders FROM '$csv' WITH (FORMAT csv)" \
      -c 'VACUUM ANALYZE orders' || die "loading the larger orders into PostgreSQL failed"
  fi
  "$generator" tables-sql "$QUORVANE_BENCH_TABLES" | "${psql[@]}" -d bench_tables ||
    die "creating the tables in PostgreSQL failed"
}

# bench_my_load GENERATOR DIR: databases bench_orders (with LOAD DATA) and
# bench_tables on the server that mariadb_start started.
bench_my_load() {
  local generator=$1 dir=$2
  local client=(mariadb --no-defaults --local-infile=1 -h "$QUORVANE_MY_HOST" -P "$QUORVANE_MY_PORT" -u "$QUORVANE_MY_USER")
  _bench_csv "$generator" "$dir/orders.csv" "$QUORVANE_BENCH_ORDERS"
  say "Loading the orders and the tables into MariaDB ..."
  "${client[@]}" -e 'CREATE DATABASE bench_orders CHARACTER SET utf8mb4; CREATE DATABASE bench_tables CHARACTER SET utf8mb4' ||
    die "creating the MariaDB databases failed"
  "${client[@]}" bench_orders -e "$_bench_orders_ddl
    LOAD DATA LOCAL INFILE '$dir/orders.csv' INTO TABLE orders FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\"'
    (id, customer, amount, created, qty, @note, status, flag) SET note = NULLIF(@note, ''); ANALYZE TABLE orders;
    $_bench_view" \
    >/dev/null || die "loading the orders into MariaDB failed"
  # The generated script quotes names the standard way.
  { echo "SET sql_mode = 'ANSI_QUOTES';"; "$generator" tables-sql "$QUORVANE_BENCH_TABLES"; } |
    "${client[@]}" bench_tables || die "creating the tables in MariaDB failed"
}

# bench_odbc_files DIR FETCH: private driver and data source files for the
# run, with the options a large table needs, and ODBCSYSINI/ODBCINI pointing
# at them.
bench_odbc_files() {
  local dir=$1 fetch=$2 sqlite pg my
  sqlite=$(odbc_driver_path libsqlite3odbc.so) || die "the SQLite3 ODBC driver (libsqliteodbc) is not installed"
  pg=$(odbc_driver_path psqlodbcw.so) || die "the PostgreSQL ODBC driver (odbc-postgresql) is not installed"
  my=$(odbc_driver_path libmaodbc.so) || die "the MariaDB ODBC driver (odbc-mariadb) is not installed"
  mkdir -p "$dir"
  printf '[SQLite3]\nDriver = %s\n\n[PostgreSQL Unicode]\nDriver = %s\n\n[MariaDB Unicode]\nDriver = %s\n' \
    "$sqlite" "$pg" "$my" >"$dir/odbcinst.ini"
  local name database
  : >"$dir/odbc.ini"
  for name in BenchLite BenchLiteTables BenchLiteLarge; do
    case $name in
      BenchLite) database=$bench_sqlite_orders ;;
      BenchLiteTables) database=$bench_sqlite_tables ;;
      *) bench_large_rows || continue; database=$bench_sqlite_large_orders ;;
    esac
    printf '[%s]\nDriver = SQLite3\nDatabase = %s\nStepAPI = 1\nTimeout = 5000\nSyncPragma = NORMAL\n\n' \
      "$name" "$database" >>"$dir/odbc.ini"
  done
  for name in BenchPg BenchPgTables BenchPgLarge; do
    case $name in
      BenchPg) database=bench_orders ;;
      BenchPgTables) database=bench_tables ;;
      *) bench_large_rows || continue; database=bench_large ;;
    esac
    printf '[%s]\nDriver = PostgreSQL Unicode\nServername = %s\nPort = %s\nUsername = %s\nDatabase = %s\nSSLmode = disable\nUseDeclareFetch = 1\nFetch = %s\n\n' \
      "$name" "$QUORVANE_PG_HOST" "$QUORVANE_PG_PORT" "$QUORVANE_PG_USER" "$database" "$fetch" >>"$dir/odbc.ini"
  done
  for name in BenchMy BenchMyTables; do
    database=bench_orders
    [ "$name" = BenchMy ] || database=bench_tables
    printf '[%s]\nDriver = MariaDB Unicode\nServer = %s\nPort = %s\nUser = %s\nDatabase = %s\n\n' \
      "$name" "$QUORVANE_MY_HOST" "$QUORVANE_MY_PORT" "$QUORVANE_MY_USER" "$database" >>"$dir/odbc.ini"
  done
  export ODBCSYSINI=$dir ODBCINI=$dir/odbc.ini
}
