#!/usr/bin/env bash
# make_speech.sh OUT_BASE KELDITRA
# A spoken-voice recording for the benchmarks: OUT_BASE.wav (espeak-ng, made
# 44100 Hz 16-bit mono by sox) and its pitch track OUT_BASE.dat from
# kelditra pitch.
set -euo pipefail
source "$(dirname "$0")/../scripts/require_tools.sh"
require_tools scripts/install-deps.sh espeak-ng sox
base=$1
kelditra=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

espeak-ng -s 150 -w "$scratch/raw.wav" \
  "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow.
   The rainbow is a division of white light into many beautiful colours. These take the
   shape of a long round arch, with its path high above, and its two ends apparently
   beyond the horizon. There is, according to legend, a boiling pot of gold at one end."
sox "$scratch/raw.wav" -r 44100 -b 16 -c 1 "$base.wav"

"$kelditra" pitch --force "$base.wav" > /dev/null
