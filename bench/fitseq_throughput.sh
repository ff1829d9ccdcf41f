#!/usr/bin/env bash
# End-to-end throughput of fitseq in its default mode (local, SW 2; Viterbi alignment, adpstyle 1):
# emits 2000 sequences of about 280 residues from the 260-position protein kinase model
# bench/Pkinase.mod (fixed seed), aligns them with fitseq and reports million DP cells per second
# (residues x model length / seconds) and the peak resident memory. A second measurement aligns one
# sequence of about 50,000 residues (the emitted domain between long flanks) to show the memory
# bound on a long sequence.
#
#   bench/fitseq_throughput.sh [build_dir [runs [long_length]]]
#
# build_dir    a Release build configured with -DQOR_BENCH=ON, holding fitseq and emit_sequences
#              (default: build-bench, what `make bench` builds).
# runs         number of timed runs of the 2000 sequences (default 3); the best is reported.
# long_length  about how many residues the long sequence has (default 50000).
#
# FITSEQ_OPTIONS, when set, adds options to every fitseq run, e.g. FITSEQ_OPTIONS="-adpstyle 4" for
# the posterior-decoded alignment or FITSEQ_OPTIONS="-pptrim 0.5" for the posterior outputs.
#
# The long sequence passes the DP engine's infinity (100000 nats) in the default mode; the engine
# renormalises its rows, so it aligns within maxmem plus the minimum row store.
#
# bench/Pkinase.mod is the protein kinase domain profile (260 positions) converted from a public
# profile-HMM tutorial; only its header lines were changed. The databases are written to bench/data/
# (git-ignored) and kept for later runs; set QOR_BENCH_DATA to use another scratch directory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-bench}
runs=${2:-3}
long_length=${3:-50000}
seed=20050715
count=2000
long_flank=$(((long_length - 280) / 2))  # residues on each side of the long sequence's domain
if [ "$long_flank" -lt 0 ]; then long_flank=0; fi

for prog in fitseq emit_sequences; do
  if [ ! -x "$build/$prog" ]; then
    echo "fitseq_throughput: no $prog in $build (build with -DQOR_BENCH=ON first, e.g. make bench)" >&2
    exit 1
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "fitseq_throughput: /usr/bin/time is needed for the peak memory (Debian package time)" >&2
  exit 1
fi
bin=$(cd "$build" && pwd)
model="$here/Pkinase.mod"
model_length=$(awk '/^ *[0-9]+ *$/ { n++ } END { print n }' "$model")

data=${QOR_BENCH_DATA:-$here/data}
mkdir -p "$data"
db="$data/fitseq_pkinase_${seed}_${count}.fa"
long="$data/fitseq_pkinase_${seed}_long${long_length}.fa"
if [ ! -s "$db" ]; then
  "$bin/emit_sequences" "$model" "$count" "$seed" > "$db.tmp" 2> /dev/null
  mv "$db.tmp" "$db"
fi
if [ ! -s "$long" ]; then
  "$bin/emit_sequences" "$model" 1 "$seed" "$long_flank" > "$long.tmp" 2> /dev/null
  mv "$long.tmp" "$long"
fi
residues_of() { awk '!/^>/ { n += length($0) } END { print n }' "$1"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qor_fitseq_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# One timed run of fitseq on database $1: sets secs and rss_kb (peak resident set, KB); returns
# fitseq's exit status.
run_fitseq() {
  local start end status=0
  start=$(date +%s.%N)
  env -u QORRC HOME="$work" /usr/bin/time -v -o time.txt "$bin/fitseq" bench -model_file "$model" -db "$1" ${FITSEQ_OPTIONS:-} \
    > stdout.txt 2> stderr.txt || status=$?
  end=$(date +%s.%N)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  rss_kb=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' time.txt)
  return $status
}
mcells() { awk -v r="$1" -v l="$model_length" -v s="$2" 'BEGIN { printf "%.1f", r * l / s / 1e6 }'; }

residues=$(residues_of "$db")
best="" peak=0
for ((r = 1; r <= runs; r++)); do
  if ! run_fitseq "$db"; then
    echo "fitseq_throughput: fitseq failed:" >&2
    cat stderr.txt >&2
    exit 1
  fi
  echo "run $r: $secs s, $(mcells "$residues" "$secs") million DP cells/s, peak RSS $rss_kb KB"
  if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$secs; fi
  if [ "$rss_kb" -gt "$peak" ]; then peak=$rss_kb; fi
done
records=$(grep -c '^>' bench.a2m)
echo "database: $db ($count sequences, $residues residues; $records aligned)"
echo "fitseq ${FITSEQ_OPTIONS:-default mode}: $(mcells "$residues" "$best") million DP cells/s (best of $runs;" \
  "model length $model_length), peak RSS $peak KB"

long_residues=$(residues_of "$long")
if run_fitseq "$long"; then
  echo "one sequence of $long_residues residues: $secs s, $(mcells "$long_residues" "$secs") million DP" \
    "cells/s, peak RSS $rss_kb KB"
else
  echo "one sequence of $long_residues residues: refused after $secs s, peak RSS $rss_kb KB:" \
    "$(grep '^Error' stderr.txt)"
fi
