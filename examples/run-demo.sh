#!/usr/bin/env bash
# The demo: splits the 45 example globins by length into demo/globinsA.seq (at most 150 residues)
# and demo/globinsB.seq, and prints the length statistics.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$build" && pwd)
out="$here/../$build/demo"
mkdir -p "$out"
cd "$out"
"$bin/lensplit" globins -max_seq_length 150 -db "$here/globins45.fa"
echo "Wrote $out/globinsA.seq and $out/globinsB.seq"
