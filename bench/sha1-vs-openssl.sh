#!/usr/bin/env bash
# Compares the throughput of our SHA-1 with OpenSSL's on this processor, both
# measured in this run over 16 KiB updates. Builds nothing: give it the built
# sha1_speed binary. Units: MB/s with MB = 10^6 bytes (openssl's "k" is 1000 bytes).
# Usage: bench/sha1-vs-openssl.sh [--smoke] [path/to/sha1_speed]
# --smoke measures briefly, only to show that the benchmark works.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=2
smoke=()
if [[ ${1:-} == --smoke ]]; then
  export BENCH_SMOKE=1
  seconds=1
  smoke=(--smoke)
  shift
fi
# shellcheck source=bench/payload.sh
. "$root/bench/payload.sh"
speed=${1:-build/native/bench/sha1_speed}
[[ -x $speed ]] || bench_missing "sha1-vs-openssl: no benchmark binary at $speed (build the native preset first)"
command -v openssl >/dev/null || bench_missing "sha1-vs-openssl: openssl not found (Debian package openssl)"

# The sha1 row holds the rate for the one block size asked for, e.g. "sha1  1691344.90k".
openssl_k=$(openssl speed -evp sha1 -bytes 16384 -seconds "$seconds" 2>/dev/null |
  awk '$1 == "sha1" { value = $NF } END { sub(/k$/, "", value); print value }')
if [[ -z $openssl_k ]]; then
  echo "sha1-vs-openssl: could not read openssl speed's output" >&2
  exit 2
fi

ours_output=$("$speed" "${smoke[@]}")
accelerated=$(awk '$1 == "accelerated" { print $2 }' <<<"$ours_output")
portable=$(awk '$1 == "portable" { print $2 }' <<<"$ours_output")
path=accelerated
ours=$accelerated
if [[ -z $ours ]]; then
  path=portable
  ours=$portable
fi
if [[ -z $ours ]]; then
  echo "sha1-vs-openssl: could not read $speed's output: $ours_output" >&2
  exit 1
fi

awk -v ours="$ours" -v k="$openssl_k" -v path="$path" -v portable="$portable" 'BEGIN {
  theirs = k / 1000
  printf "sha1: ours %.0f MB/s, openssl %.0f MB/s, ratio %.2f (target >= 0.90)\n", ours, theirs, ours / theirs
  printf "sha1: path %s; portable path %.0f MB/s\n", path, portable
}'
