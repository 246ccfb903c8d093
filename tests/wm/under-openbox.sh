#!/usr/bin/env bash
# Runs a command on a fresh 1280x800 virtual display managed by openbox with
# its stock configuration, and stops both afterwards.
# Usage: under-openbox.sh COMMAND [ARGUMENT...]
set -euo pipefail

if [ -z "${QUORVANE_UNDER_OPENBOX:-}" ]; then
  exec env QUORVANE_UNDER_OPENBOX=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

# A private configuration folder, so that no openbox settings of the user apply.
config=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-openbox.XXXXXX")
XDG_CONFIG_HOME=$config openbox --sm-disable >"$config/openbox.log" 2>&1 &
openbox_pid=$!
trap 'kill "$openbox_pid" 2>/dev/null; wait "$openbox_pid" 2>/dev/null; rm -rf "$config"' EXIT

# The window manager is ready once it names its check window on the root.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || {
  cat "$config/openbox.log" >&2
  echo "openbox did not start" >&2
  exit 1
}
"$@"
