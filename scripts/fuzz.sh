#!/usr/bin/env bash
# Fuzzes the WAV reader, the pitch-track reads, the whole conversion job, the
# preview and the decoding of recordings for prepare (libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer, clang), starting from
# recordings that sox and espeak-ng make on the spot and from parameter files
# made alongside them.
#
#   scripts/fuzz.sh                      each target for 15 seconds (CI)
#   scripts/fuzz.sh 3600                 each target for an hour
#   scripts/fuzz.sh 600 wave_reader      one target for ten minutes
#
# Targets: wave_reader, pitch_track, conversion_job, preview, prepare. What a
# target finds is kept in build-asan/findings/; the corpus grows in build-asan/corpus/ from
# one run to the next. The script fails when any target finds something.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/require_tools.sh
require_tools scripts/install-deps.sh clang++ sox espeak-ng

seconds=${1:-15}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
((${#targets[@]} > 0)) || targets=(wave_reader pitch_track conversion_job preview prepare)
# The sanitizer build of scripts/sanitize.sh, with the fuzz targets in it.
build=${KELDITRA_FUZZ_BUILD:-build-asan}
jobs=${KELDITRA_JOBS:-$(nproc)}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKELDITRA_SANITIZE=ON -DKELDITRA_FUZZ=ON >/dev/null
cmake --build "$build" -j"$jobs" --target make_fuzz_seeds "${targets[@]/%/_fuzzer}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The job target keeps its voice table and inputs under TMPDIR, so even a
# crashed run leaves nothing behind.
export TMPDIR=$work

# Recordings as real tools write them: the accepted layout, and the ones the
# reader must refuse (other rates, widths, channel counts, encodings, the
# extensible header, a fact chunk).
rec=$work/recordings
mkdir -p "$rec"
synth() { sox -n "$@" 2>/dev/null; }
synth -r 44100 -b 16 -c 1 "$rec/tone.wav" synth 0.12 sine 220
synth -r 44100 -b 16 -c 1 "$rec/pluck.wav" synth 0.1 pluck 330
synth -r 44100 -b 16 -c 1 "$rec/glide.wav" synth 0.1 square 110-440
synth -r 44100 -b 16 -c 1 "$rec/noise.wav" synth 0.05 whitenoise
synth -r 44100 -b 16 -c 1 "$rec/blip.wav" synth 0.001 sine 220
synth -r 44100 -b 16 -c 1 --comment "take one" "$rec/comment.wav" synth 0.05 sine 220
synth -r 48000 -b 16 -c 1 "$rec/rate48k.wav" synth 0.05 sine 220
synth -r 44100 -b 16 -c 2 "$rec/stereo.wav" synth 0.05 sine 220
synth -r 44100 -b 8 -c 1 "$rec/eight.wav" synth 0.05 sine 220
synth -r 44100 -b 24 -c 1 "$rec/extensible.wav" synth 0.05 sine 220
synth -r 44100 -b 16 -c 3 "$rec/three.wav" synth 0.02 sine 220
synth -r 44100 -e floating-point -b 32 -c 1 "$rec/float.wav" synth 0.05 sine 220
synth -r 44100 -e a-law -c 1 "$rec/alaw.wav" synth 0.05 sine 220
espeak-ng -w "$rec/speech22k.wav" "kelditra"
sox "$rec/speech22k.wav" -r 44100 "$rec/speech.wav" trim 0.1 0.15
"$build/tests/fuzz/make_fuzz_seeds" "$work/seeds" "$rec"/*.wav
# Recordings in every form prepare reads, a tenth of a second each.
mkdir -p "$work/seeds/prepare"
cp "$rec"/*.wav "$work/seeds/prepare/"
for format in flac ogg mp3 aiff; do
  synth -r 48000 -c 2 "$work/seeds/prepare/tone.$format" synth 0.1 sine 220
done

# A preview input of 32 records sounds more than half a second.
declare -A max_len=([wave_reader]=65536 [pitch_track]=70000 [conversion_job]=6144 [preview]=512
  [prepare]=32768)
declare -A seeds=([wave_reader]=wave [pitch_track]=pitch [conversion_job]=job [preview]=preview
  [prepare]=prepare)
# One target per core at a time, each with its own log, printed in order.
fuzz() {
  local target=$1
  mkdir -p "$build/corpus/$target" "$build/findings"
  if "$build/tests/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=30 \
    -max_len="${max_len[$target]}" -rss_limit_mb=3072 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$build/corpus/$target" \
    "$work/seeds/${seeds[$target]}" >"$work/$target.log" 2>&1; then
    echo clean >"$work/$target.status"
  fi
}
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n; done
  echo "== fuzzing $target for ${seconds}s"
  fuzz "$target" &
done
wait
status=0
for target in "${targets[@]}"; do
  echo "== $target"
  if [[ ! -e $work/$target.status ]]; then
    status=1
    tail -n 60 "$work/$target.log"
  fi
  grep -E "^Done|stat::number_of_executed_units|stat::new_units_added" "$work/$target.log" || true
done
exit $status
