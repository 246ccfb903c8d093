# Shared helpers of scripts/start and scripts/test. Source it; it sets nothing
# but functions and QUORVANE_ROOT.
# shellcheck shell=bash

# shellcheck disable=SC2034  # used by the scripts that source this file
QUORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The PostgreSQL major version that the tests, the write checks and the
# benchmark run their throwaway server with; named here only.
QUORVANE_PG_MAJOR=15

# The Debian packages each purpose needs, one list per purpose. A script
# installs the lists of what it does and nothing more.
#   BUILD    compile the program (and its tests)
#   RUN      run the program and create the demo database of scripts/start
#   TEST     the test suite: private ODBC files for SQLite, PostgreSQL (with
#            a pgbouncer pool and a standby in front of and beside it) and
#            MariaDB, a throwaway server of each, python3 for the set-up checks and the port
#            probe, isql, and a virtual display with a real window manager
#            (openbox's title bar is as tall as its "sans" font, DejaVu Sans,
#            which wm_editor_frame's figures assume) with xdotool for real key
#            presses and clicks
#   PACKAGE  build the .deb, check it and start it from a throwaway root
#   FUZZ     the libFuzzer targets, built with clang
#   BENCH    the benchmark: the servers, Qt's ODBC plugin and python3 for the
#            summary
QUORVANE_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools unixodbc-dev libxcb1-dev)
QUORVANE_RUN_PACKAGES=(odbcinst libsqliteodbc sqlite3 fonts-liberation)
QUORVANE_TEST_PACKAGES=(
  unixodbc odbc-postgresql "postgresql-$QUORVANE_PG_MAJOR" pgbouncer odbc-mariadb mariadb-server mariadb-client python3
  xvfb xauth x11-utils openbox fonts-dejavu-core xdotool
)
QUORVANE_PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream)
QUORVANE_FUZZ_PACKAGES=(clang libclang-rt-14-dev cmake ninja-build qt6-base-dev)
QUORVANE_BENCH_PACKAGES=(
  odbc-postgresql "postgresql-$QUORVANE_PG_MAJOR" odbc-mariadb mariadb-server mariadb-client libqt6sql6-odbc python3
)

say() { printf '%s\n' "$*"; }
warn() { printf '%s\n' "$*" >&2; }
die() {
  warn "error: $*"
  exit 1
}

# server_owner USER ARRAY: sets ARRAY to the command prefix that runs a
# throwaway database server as USER, a system user created on first use,
# when we run as root (the servers refuse root, or should not have it);
# empty otherwise.
server_owner() {
  local owner=$1
  local -n prefix=$2
  prefix=()
  [ "$(id -u)" -eq 0 ] || return 0
  if ! id -u "$owner" >/dev/null 2>&1; then
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
      --shell /usr/sbin/nologin "$owner" || die "could not create the user $owner"
  fi
  prefix=(runuser -u "$owner" --)
}

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    die "'$*' needs root rights and sudo is not installed"
  fi
}

# Prints the packages among the arguments that are not installed.
missing_packages() {
  local package status
  for package in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || printf '%s\n' "$package"
  done
}

_quorvane_apt_updated=0

# Installs whatever of the given packages is missing. apt-get update runs
# once, and only when something has to be installed.
ensure_packages() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || return 0
  if ! command -v dpkg-query >/dev/null 2>&1; then
    warn "note: not a Debian system; make sure these are installed: ${wanted[*]}"
    return 0
  fi
  local missing
  mapfile -t missing < <(missing_packages "${wanted[@]}")
  [ ${#missing[@]} -gt 0 ] || return 0
  say "Installing missing packages: ${missing[*]}"
  if [ "$_quorvane_apt_updated" -eq 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q || die "apt-get update failed"
    _quorvane_apt_updated=1
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    die "could not install: ${missing[*]}"
}

# The absolute path of an ODBC driver library shipped by Debian, for example
# libsqlite3odbc.so or psqlodbcw.so. Fails when it is not installed.
odbc_driver_path() {
  local name=$1 candidate multiarch
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch 2>/dev/null || true)
  for candidate in ${multiarch:+/usr/lib/$multiarch/odbc/$name} /usr/lib/*/odbc/"$name" /usr/lib/odbc/"$name" /usr/lib64/"$name"; do
    if [ -f "$candidate" ]; then
      printf '%s\n' "$candidate"
      return 0
    fi
  done
  return 1
}
