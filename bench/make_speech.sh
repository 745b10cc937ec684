#!/usr/bin/env bash
# make_speech.sh OUT_BASE
# A spoken-voice recording for the benchmarks: OUT_BASE.wav (espeak-ng, made
# 44100 Hz 16-bit mono by sox) and its pitch track OUT_BASE.dat from aubio's
# YIN-FFT, one 66-byte record per 735-sample frame, the fundamental in whole
# Hz at offset 2 (0 where aubio hears no pitch).
set -euo pipefail
source "$(dirname "$0")/../scripts/require_tools.sh"
require_tools scripts/install-deps.sh espeak-ng sox aubiopitch perl
base=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

espeak-ng -s 150 -w "$scratch/raw.wav" \
  "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow.
   The rainbow is a division of white light into many beautiful colours. These take the
   shape of a long round arch, with its path high above, and its two ends apparently
   beyond the horizon. There is, according to legend, a boiling pot of gold at one end."
sox "$scratch/raw.wav" -r 44100 -b 16 -c 1 "$base.wav"

aubiopitch -i "$base.wav" -r 44100 -B 2048 -H 735 -p yinfft -u Hz -T samples -s -50 |
  perl -ne '
    my ($at, $hz) = split;
    $hz = 0 if $hz < 0;
    $hz = 65535 if $hz > 65535;
    print pack("v v v31", 0, int($hz), (0) x 31);
  ' > "$base.dat"
