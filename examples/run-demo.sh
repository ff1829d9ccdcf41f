#!/usr/bin/env bash
# The demo: aligns the 45 example globins to the 149-position globin model (demo/globins.a2m), then
# splits them by length into demo/globinsA.seq (at most 150 residues) and demo/globinsB.seq with the
# length statistics.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$build" && pwd)
out="$here/../$build/demo"
mkdir -p "$out"
cd "$out"
"$bin/fitseq" globins -model_file "$here/globins4.mod" -db "$here/globins45.fa"
echo "Wrote $out/globins.a2m ($(grep -c '^>' globins.a2m) aligned sequences)"
"$bin/lensplit" globins -max_seq_length 150 -db "$here/globins45.fa"
echo "Wrote $out/globinsA.seq and $out/globinsB.seq"
