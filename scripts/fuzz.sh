#!/bin/bash
# fuzz.sh [SECONDS] [FUZZER] [WORKDIR]: runs the decoder's libFuzzer target for
# SECONDS (default 300), starting from the committed seed corpus. New inputs
# are kept in WORKDIR/corpus across runs; a crashing input is written to
# WORKDIR/artifacts/ and the script fails. Turn a finding into a test case in
# tests/host/inflate_stream_test.cpp (and add it to tests/host/fuzz_corpus/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
fuzzer=${2:-$root/build/host/tests/host/decoder_fuzz}
work=${3:-$(dirname "$fuzzer")/fuzz_work}

[ -x "$fuzzer" ] || { echo "fuzz.sh: no fuzzer at $fuzzer (build the host tree first)" >&2; exit 1; }
mkdir -p "$work/corpus" "$work/artifacts"
echo "fuzz.sh: fuzzing the decoder for $seconds s (corpus: $work/corpus)"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$root/tests/host/fuzz_corpus" 2>"$work/fuzz.log" || {
    tail -n 60 "$work/fuzz.log"
    echo "fuzz.sh: the fuzzer found a failing input in $work/artifacts/" >&2
    exit 1
}
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' "$work/fuzz.log" || true
echo "fuzz.sh: no crash, leak or undefined behaviour found"
