# Shared helpers of scripts/start and scripts/test. Source it; it sets nothing
# but functions and QUORVANE_ROOT.
# shellcheck shell=bash

# shellcheck disable=SC2034  # used by the scripts that source this file
QUORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The Debian packages that building, running and testing need.
QUORVANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-odbc
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql
  postgresql-15 sqlite3
  fonts-liberation xvfb xauth imagemagick
  clang libclang-rt-14-dev
)

say() { printf '%s\n' "$*"; }
warn() { printf '%s\n' "$*" >&2; }
die() {
  warn "error: $*"
  exit 1
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

# Installs whatever of QUORVANE_PACKAGES (or the given packages) is missing.
# apt-get update runs once, and only when something has to be installed.
ensure_packages() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${QUORVANE_PACKAGES[@]}")
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
