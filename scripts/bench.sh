#!/bin/bash
# make bench: figures printed side by side in one run. Run after the trees are
# built (make does that first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
host=${HOST_BUILD:-$root/build/host}
book=${BOOK:-$root/book}

echo "== Decoder throughput (native, into memory) =="
"$host/tests/bench/decoder_bench" "$book"

echo
"$root/scripts/headless" "$root/scripts/bench_installer.sh"
