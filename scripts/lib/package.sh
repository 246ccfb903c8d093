# The Debian package: built with CPack from the release tree, checked with
# lintian, desktop-file-validate and appstreamcli, and started from a
# throwaway root under a virtual display.
# shellcheck shell=bash

# package_build: builds the release tree and the package, moves it to
# build/quorvane-table-desk_<version>_<arch>.deb and sets package_file.
package_build() {
  local tree=$QUORVANE_ROOT/build/release out=$QUORVANE_ROOT/build/cpack
  build_tree "$tree" Release -DQUORVANE_TESTS=OFF
  rm -rf "$out"
  say "Packaging ..."
  cpack --config "$tree/CPackConfig.cmake" -B "$out" >"$tree/cpack.log" 2>&1 || {
    cat "$tree/cpack.log" >&2
    die "cpack failed"
  }
  local built
  built=$(find "$out" -maxdepth 1 -name 'quorvane-table-desk_*.deb' | head -n 1)
  [ -n "$built" ] || die "cpack made no package; see $tree/cpack.log"
  package_file=$QUORVANE_ROOT/build/$(basename "$built")
  mv -f "$built" "$package_file"
  rm -rf "$out"
  say "Package: $package_file"
}

# package_check FILE SCRATCH: lintian without errors, and the desktop entry
# and the AppStream file valid. Returns non-zero on a failure.
package_check() {
  local file=$1 root=$2/check-root failed=0
  mkdir -p "$2"
  say "Checking the package ..."
  # lintian exits non-zero for errors only with --fail-on error.
  lintian --fail-on error --tag-display-limit 0 "$file" || failed=1
  rm -rf "$root"
  dpkg -x "$file" "$root"
  desktop-file-validate "$root"/usr/share/applications/*.desktop || failed=1
  appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml || failed=1
  # Software centres show and fetch what the AppStream file names: no
  # made-up address (RFC 2606's example domains) may stand there.
  if grep -nE '\.example\b|\bexample\.(com|org|net)\b' "$root"/usr/share/metainfo/*.metainfo.xml; then
    say "The AppStream file names placeholder addresses (above)."
    failed=1
  fi
  [ -s "$root/usr/share/doc/quorvane-table-desk/README.md.gz" ] || {
    say "The package has no README in /usr/share/doc/quorvane-table-desk."
    failed=1
  }
  return "$failed"
}

# package_start FILE SCRATCH: unpacks the package into a throwaway root and
# starts the installed program on a virtual display, with private settings
# and ODBC files, until its connection page is on the screen; then stops it.
package_start() {
  local file=$1 scratch=$2
  local root=$scratch/start-root
  mkdir -p "$scratch"
  rm -rf "$root"
  dpkg -x "$file" "$root"
  mkdir -p "$scratch/home" "$scratch/odbc"
  : >"$scratch/odbc/odbc.ini"
  : >"$scratch/odbc/odbcinst.ini"
  say "Starting the installed program from ${root} ..."
  env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY -u LD_PRELOAD \
    HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
    ODBCINI="$scratch/odbc/odbc.ini" ODBCSYSINI="$scratch/odbc" \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    "$QUORVANE_ROOT/scripts/tools/await-window.sh" 30 "Quorvane Table Desk Suite" 536x146 \
    "$root/usr/bin/quorvane-table-desk"
}
