# Configures and builds one build tree of the project.
# shellcheck shell=bash

# build_tree DIR BUILD_TYPE [CMAKE_ARGUMENT...]
build_tree() {
  local dir=$1 type=$2
  shift 2
  local jobs=${QUORVANE_JOBS:-$(nproc 2>/dev/null || echo 2)}
  say "Building ($type) in ${dir#"$QUORVANE_ROOT"/} ..."
  mkdir -p "$dir"
  cmake -S "$QUORVANE_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >"$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log" >&2
    die "configuring $dir failed"
  }
  cmake --build "$dir" --parallel "$jobs" || die "building $dir failed"
}
