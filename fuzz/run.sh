#!/usr/bin/env bash
# Runs the reader fuzz targets, one process at a time, each on a copy of its seed corpus.
#
#   fuzz/run.sh [-t SECONDS | -n RUNS] [-b BUILD_DIR] [TARGET...]
#
# Default: every target for 60 seconds. Builds the targets first (clang, -DQOR_FUZZ=ON) in BUILD_DIR
# (default build-fuzz/clang). New inputs that add coverage go to BUILD_DIR/corpus/<target>; the seed
# corpus fuzz/corpus/<target> is only read. A crash, hang or sanitizer report leaves its input in
# BUILD_DIR/artifacts/<target>/ and makes the script exit 1 after the remaining targets have run.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz/clang"
seconds=60
runs=
while getopts "t:n:b:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-t seconds | -n runs] [-b build_dir] [target...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

# Configure and build. While the top-level CMakeLists.txt does not add fuzz/ itself, it is read
# through CMAKE_PROJECT_INCLUDE.
extra=()
grep -q 'add_subdirectory(fuzz)' "$root/CMakeLists.txt" || extra=(-DCMAKE_PROJECT_INCLUDE="$root/fuzz/standalone.cmake")
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -DQOR_FUZZ=ON -DQOR_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null || exit 1
cmake --build "$build" --target fuzz -j2 >/dev/null || { cmake --build "$build" --target fuzz -j1; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in "$root"/fuzz/corpus/*/; do
    t=$(basename "$d")
    [ -x "$build/$t" ] && targets+=("$t")
  done
fi

# Fatal errors end a read early and leave what it had allocated: leak detection is off. Messages
# of the readers (stderr, stdout of the target) are not shown: -close_fd_mask=3.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:quarantine_size_mb=16:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  art="$build/artifacts/$t"
  mkdir -p "$work" "$art"
  echo "== $t"
  # A time budget is spent in pieces of at most 60 s, each a fresh process that goes on from the
  # corpus so far: what aborted reads leave allocated is then given back at every piece.
  if [ -n "$runs" ]; then pieces=(-runs="$runs"); else pieces=(); left=$seconds
    while [ "$left" -gt 0 ]; do p=$((left > 60 ? 60 : left)); pieces+=(-max_total_time=$p); left=$((left - p)); done
  fi
  : >"$build/$t.log"
  total=0
  rc=0
  for piece in "${pieces[@]}"; do
    "$build/$t" "$work" "$root/fuzz/corpus/$t" "$piece" -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=2048 \
      -max_len=200000 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$art/" >>"$build/$t.log" 2>&1
    rc=$?
    n=$(grep -E '^stat::number_of_executed_units' "$build/$t.log" | tail -1 | awk '{print $2}')
    total=$((total + ${n:-0}))
    [ $rc -ne 0 ] && break
  done
  grep -E '^#[0-9]+.*(DONE|INITED)' "$build/$t.log" | tail -1
  echo "   executions: $total  peak rss: $(grep -E '^stat::peak_rss_mb' "$build/$t.log" | awk '{print $2}' | sort -n | tail -1) MB"
  if [ $rc -ne 0 ]; then
    echo "   FAILED (exit $rc): see $build/$t.log and $art/"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$build/$t.log" | head -5
    failed=1
  fi
done
exit $failed
