#!/usr/bin/env bash
# End-to-end throughput of the FASTA reading path: generates a protein database in FASTA form (fixed
# seed, at least 100 MB) and reports the MB/s at which lensplit reads it, splits it and writes both
# parts.
#
#   bench/fasta_throughput.sh [build_dir [size_mb [runs]]]
#
# build_dir  directory holding the built lensplit (default: build); use a Release build.
# size_mb    size of the generated database in MB of 10^6 bytes (default 120, at least 100).
# runs       number of timed runs (default 3); the best and every run are reported.
#
# The database is written to bench/data/ (git-ignored) and kept there for later runs; set
# QOR_BENCH_DATA to use another scratch directory. Nothing is written inside the tracked tree.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
size_mb=${2:-120}
runs=${3:-3}
seed=20050715

if [ "$size_mb" -lt 100 ]; then
  echo "fasta_throughput: size_mb must be at least 100 (got $size_mb)" >&2
  exit 1
fi
lensplit="$build/lensplit"
if [ ! -x "$lensplit" ]; then
  echo "fasta_throughput: no lensplit in $build (build it first, e.g. make build)" >&2
  exit 1
fi
lensplit=$(cd "$(dirname "$lensplit")" && pwd)/lensplit

data=${QOR_BENCH_DATA:-$here/data}
mkdir -p "$data"
db="$data/fasta_${seed}_${size_mb}mb.fa"

# Sequences of 50 to 1549 residues cut from a pool of random residues, 60 to a line, until the
# file holds size_mb * 10^6 bytes. awk's generator with a fixed seed makes the same file on every run.
if [ ! -s "$db" ]; then
  echo "generating $db (seed $seed, $size_mb MB) ..." >&2
  awk -v seed="$seed" -v target="$((size_mb * 1000000))" 'BEGIN {
    srand(seed);
    aa = "ACDEFGHIKLMNPQRSTVWY";
    pool = "";
    for (i = 0; i < 200000; i++) pool = pool substr(aa, int(rand() * 20) + 1, 1);
    pool = pool pool;
    bytes = 0;
    for (n = 1; bytes < target; n++) {
      len = 50 + int(rand() * 1500);
      start = int(rand() * 200000) + 1;
      s = substr(pool, start, len);
      header = sprintf(">seq%07d random protein %d", n, len);
      print header;
      bytes += length(header) + 1;
      for (p = 1; p <= len; p += 60) {
        line = substr(s, p, 60);
        print line;
        bytes += length(line) + 1;
      }
    }
  }' > "$db.tmp"
  mv "$db.tmp" "$db"
fi

bytes=$(wc -c < "$db")
work=$(mktemp -d "${TMPDIR:-/tmp}/qor_fasta_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

best=""
cd "$work"
for ((r = 1; r <= runs; r++)); do
  start=$(date +%s.%N)
  env -u QORRC HOME="$work" "$lensplit" bench -max_seq_length 800 -db "$db" > stdout.txt 2> stderr.txt
  end=$(date +%s.%N)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  mbps=$(awk -v n="$bytes" -v s="$secs" 'BEGIN { printf "%.1f", n / 1e6 / s }')
  echo "run $r: $secs s, $mbps MB/s"
  if [ -z "$best" ] || awk -v a="$mbps" -v b="$best" 'BEGIN { exit !(a > b) }'; then best=$mbps; fi
  rm -f benchA.seq benchB.seq
done
echo "database: $db ($bytes bytes, $(grep -c '^>' "$db") sequences)"
sed -n 's/^Found/Found/p' stdout.txt
echo "lensplit FASTA throughput: $best MB/s (best of $runs)"
