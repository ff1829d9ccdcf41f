#!/usr/bin/env bash
# CI step: builds the reader fuzz targets (clang, libFuzzer, ASan+UBSan) and runs each briefly on
# its seed corpus, one process at a time. Any crash, hang or sanitizer report fails the step.
#
#   fuzz/ci.sh [SECONDS_PER_TARGET]     (default 30; FUZZ_SECONDS in the environment also works)
#
# Installs clang and its runtime (Debian packages clang, libclang-rt-14-dev) when they are missing.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-30}}
build=${FUZZ_BUILD:-"$root/build-fuzz-ci"}  # FUZZ_BUILD: another build directory

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a \
  >/dev/null 2>&1; then
  echo "fuzz: installing clang and libclang-rt-14-dev"
  (apt-get update -qq && apt-get install -y -qq clang libclang-rt-14-dev) >/dev/null || {
    echo "fuzz: skipped: clang and libclang-rt-14-dev are not installed and could not be installed"
    exit 0
  }
fi

passed=0
failed=0
targets=()
for d in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
# Build once (run.sh configures and builds), then run each target on its own so that every one is
# counted.
"$root/fuzz/run.sh" -n 1 -b "$build" "${targets[0]}" >/dev/null 2>&1 || true
for t in "${targets[@]}"; do
  if [ ! -x "$build/$t" ]; then
    echo "fuzz: $t was not built"
    failed=$((failed + 1))
    continue
  fi
  if "$root/fuzz/run.sh" -t "$seconds" -b "$build" "$t"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    # The input that failed, for the log.
    for a in "$build/artifacts/$t"/*; do
      [ -f "$a" ] && echo "   input $a: $(head -c 300 "$a" | base64 -w0)"
    done
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
