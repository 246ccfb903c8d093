#!/usr/bin/env bash
# Starts a program and waits until a window of that title and size is mapped
# on $DISPLAY, then stops the program. Exits 0 when the window showed, 1 when
# the program ended or the time ran out first.
# Usage: await-window.sh SECONDS TITLE WIDTHxHEIGHT PROGRAM [ARGUMENT...]
set -euo pipefail
seconds=$1 title=$2 size=$3
shift 3

"$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# The window and its client size as the X server has them.
shown() {
  local info
  info=$(xwininfo -name "$title" 2>/dev/null) || return 1
  grep -q 'Map State: IsViewable' <<<"$info" &&
    [ "$(sed -n 's/^ *Width: //p' <<<"$info")x$(sed -n 's/^ *Height: //p' <<<"$info")" = "$size" ]
}

deadline=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$deadline" ]; do
  if shown; then
    echo "The window \"$title\" ($size) is on the screen."
    exit 0
  fi
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" && status=0 || status=$?
    echo "$1 ended (exit status $status) before its window showed." >&2
    exit 1
  fi
  sleep 0.2
done
echo "No window \"$title\" of $size within ${seconds}s." >&2
exit 1
