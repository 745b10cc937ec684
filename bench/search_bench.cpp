// search_bench [options] SOUND.wav
// Times the plain and the shared spectra on every frame of one recording, and
// the plain and the fast search with their ranked forms (the report's, with
// the runner-up) on some of its frames, in one run; checks that every result
// agrees, and times whole conversions by the kelditra program.
//
//   --table PATH     voice table (default: fm_table2.dat)
//   --frames N       frames to search, in runs of 10 consecutive ones spread over
//                    the sound (default 60; the plain search takes ~0.1 s each)
//   --threads LIST   thread counts of the fast paths (default: 1 and every core)
//   --simd LIST      kernels of the fast paths (default: every one this processor runs)
//   --no-ranked      skip the ranked searches
//   --no-convert     skip the whole conversions

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/fast_match.h"
#include "analysis/fast_spectra.h"
#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/voice_match.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "formats/wave_reader.h"
#include "io/platform_file.h"
#include "io/pool.h"
#include "io/whole_file.h"

namespace kelditra {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kRunFrames = 10;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
  std::string table = "fm_table2.dat";
  std::string sound;
  int32_t frames = 60;
  std::vector<int32_t> threads;
  std::vector<SimdLevel> simd;
  bool ranked = true;
  bool convert = true;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool has_value = i + 1 < argc;
    if (argument == "--table" && has_value) {
      options->table = argv[++i];
    } else if (argument == "--frames" && has_value) {
      options->frames = std::atoi(argv[++i]);
    } else if (argument == "--threads" && has_value) {
      const std::string list = argv[++i];
      for (size_t at = 0; at < list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        const int32_t threads = std::atoi(list.substr(at, comma - at).c_str());
        if (threads < 1) return false;
        options->threads.push_back(threads);
        at = comma + 1;
      }
    } else if (argument == "--simd" && has_value) {
      const std::string list = argv[++i];
      for (size_t at = 0; at < list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        SimdLevel level;
        if (!ParseSimdLevel(list.substr(at, comma - at), &level)) return false;
        options->simd.push_back(level);
        at = comma + 1;
      }
    } else if (argument == "--no-ranked") {
      options->ranked = false;
    } else if (argument == "--no-convert") {
      options->convert = false;
    } else if (options->sound.empty() && argument[0] != '-') {
      options->sound = argument;
    } else {
      return false;
    }
  }
  return !options->sound.empty() && options->frames > 0;
}

bool Chosen(const Options& options, SimdLevel simd) {
  return options.simd.empty() ||
         std::find(options.simd.begin(), options.simd.end(), simd) != options.simd.end();
}

// Runs of consecutive frames spread evenly over the sound, as a conversion
// meets them: the fast search carries its warm start from frame to frame.
std::vector<int32_t> ChooseFrames(int32_t frame_count, int32_t wanted) {
  std::vector<int32_t> frames;
  if (wanted >= frame_count) {
    for (int32_t f = 0; f < frame_count; ++f) frames.push_back(f);
    return frames;
  }
  const int32_t runs = std::max(1, wanted / kRunFrames);
  for (int32_t r = 0; r < runs; ++r) {
    const int32_t length = r + 1 < runs ? kRunFrames : wanted - kRunFrames * (runs - 1);
    const int64_t first = int64_t{frame_count - length} * (2 * r + 1) / (2 * runs);
    for (int32_t k = 0; k < length; ++k) frames.push_back(static_cast<int32_t>(first + k));
  }
  return frames;
}

bool SameRecord(const BestMatch& a, const BestMatch& b) {
  return a.voice == b.voice && a.gain_index == b.gain_index && a.frequency == b.frequency;
}

bool SameRanking(const RankedMatch& a, const RankedMatch& b) {
  return SameRecord(a.best, b.best) && a.best.error == b.best.error &&
         a.runner_up_error == b.runner_up_error;
}

// Seconds of wall time of one `kelditra` conversion; negative on failure.
double TimeConversion(const Options& options, int32_t threads) {
  const std::string command = std::string("\"") + KELDITRA_CLI_PATH + "\" --quiet --table \"" +
                              options.table + "\" --threads " + std::to_string(threads) + " \"" +
                              options.sound + "\" > /dev/null";
  const Clock::time_point start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = MillisecondsSince(start) / 1000.0;
  return status == 0 ? seconds : -1.0;
}

}  // namespace

}  // namespace kelditra

using namespace kelditra;
// The benchmark times the fast search's parts one by one.
using namespace kelditra::fast;

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: search_bench [--table PATH] [--frames N] [--threads 1,2] "
                 "[--simd avx2,sse2] [--no-ranked] [--no-convert] SOUND.wav\n");
    return 2;
  }
  if (options.threads.empty()) {
    options.threads.push_back(1);
    if (DefaultThreadCount() > 1) options.threads.push_back(DefaultThreadCount());
  }

  uint8_t* table_block = nullptr;
  uint8_t* track = nullptr;
  uint8_t* wave = nullptr;
  int32_t table_length = 0;
  int32_t track_length = 0;
  int32_t wave_length = 0;
  WaveSamples samples;
  const std::string base = options.sound.substr(0, options.sound.size() - 4);
  Failure failure = LoadFile(options.table, 0, &table_block, &table_length);
  if (!failure && table_length < kVoiceTableBytes) {
    failure = FileFailure(FailureKind::kBadVoiceTableSize, options.table);
  }
  if (!failure) failure = LoadFile(base + ".dat", kPitchTrackExtraBytes, &track, &track_length);
  if (!failure) failure = LoadFile(options.sound, kWaveExtraBytes, &wave, &wave_length);
  if (!failure) failure = ReadWave(wave, wave_length, &samples);
  if (failure) {
    std::fprintf(stderr, "search_bench: %s: refused (failure kind %d)\n",
                 failure.path.empty() ? options.sound.c_str() : failure.path.c_str(),
                 static_cast<int>(failure.kind));
    return 1;
  }

  const int32_t frame_count = samples.count / kFrameLength;
  const std::vector<int32_t> frames = ChooseFrames(frame_count, options.frames);
  std::printf("sound: %s, %.2f s, %d frames; table: %s; %d cores\n", options.sound.c_str(),
              static_cast<double>(frame_count) / kFramesPerSecond, frame_count,
              options.table.c_str(), DefaultThreadCount());
  std::printf("searched: %zu frames, in runs of up to %d consecutive ones\n\n", frames.size(),
              kRunFrames);

  Clock::time_point start = Clock::now();
  PreparedTable prepared(table_block, {AllocateLarge, FreeLarge});
  const double prepare_ms = MillisecondsSince(start);
  const PreparedVoiceTable table = prepared.view();
  start = Clock::now();
  prepared.Layout();
  std::printf("table preparation %.1f ms, fast search layout %.1f ms (once per job)\n\n",
              prepare_ms, MillisecondsSince(start));

  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);

  // The spectra of every frame, so that the rare bins the certificate cannot
  // decide get counted: each shared contender takes a frame right after the
  // plain spectra took it, so that a busy machine slows them alike.
  struct SpectraContender {
    SimdLevel simd;
    std::unique_ptr<WorkerCrew> crew;
    double ms = 0.0;
    int32_t same = 0;
    int64_t plain_bins = 0;
  };
  std::vector<SpectraContender> spectra_contenders;
  for (int32_t level = kSimdLevelCount - 1; level >= 0; --level) {
    const SimdLevel simd = static_cast<SimdLevel>(level);
    if (!SimdLevelRuns(simd) || !Chosen(options, simd)) continue;
    for (int32_t threads : options.threads) {
      spectra_contenders.push_back({simd, std::make_unique<WorkerCrew>(threads)});
    }
  }
  std::vector<FrameSpectra> plain_spectra;
  double plain_spectra_ms = 0.0;
  for (int32_t frame = 0; frame < frame_count; ++frame) {
    const int32_t fundamental = FrameFundamental(track, track_length, frame);
    start = Clock::now();
    plain_spectra.push_back(ComputeFrameSpectra(samples.data, frame, fundamental));
    plain_spectra_ms += MillisecondsSince(start);
    for (SpectraContender& contender : spectra_contenders) {
      int32_t plain_bins = 0;
      start = Clock::now();
      const FrameSpectra shared = ComputeFrameSpectraShared(samples.data, frame, fundamental,
                                                            *contender.crew, contender.simd,
                                                            &plain_bins);
      contender.ms += MillisecondsSince(start);
      contender.same += std::memcmp(&shared, &plain_spectra.back(), sizeof shared) == 0;
      contender.plain_bins += plain_bins;
    }
  }
  bool all_match = true;
  std::printf("%-34s %9.3f ms/frame   (every frame)\n", "spectra, plain",
              plain_spectra_ms / frame_count);
  for (const SpectraContender& contender : spectra_contenders) {
    all_match = all_match && contender.same == frame_count;
    char label[64];
    std::snprintf(label, sizeof label, "spectra, %s, %d thread%s", SimdLevelName(contender.simd),
                  contender.crew->size(), contender.crew->size() == 1 ? "" : "s");
    std::printf("%-34s %9.3f ms/frame %7.2fx   %d/%d identical   %lld bins recomputed plain\n",
                label, contender.ms / frame_count, plain_spectra_ms / contender.ms,
                contender.same, frame_count, static_cast<long long>(contender.plain_bins));
  }
  std::printf("\n");

  // The contenders take each run of consecutive frames right after the plain
  // search took it, so that a busy machine slows them alike and the ratios
  // hold, while within a run each keeps its data in cache as in a
  // conversion.
  struct Contender {
    std::unique_ptr<FastSearch> search;
    bool ranked = false;
    double search_ms = 0.0;
    int32_t same_records = 0;
  };
  std::vector<Contender> contenders;
  for (int32_t level = kSimdLevelCount - 1; level >= 0; --level) {
    const SimdLevel simd = static_cast<SimdLevel>(level);
    if (!SimdLevelRuns(simd) || !Chosen(options, simd)) continue;
    for (int32_t threads : options.threads) {
      contenders.push_back({std::make_unique<FastSearch>(prepared, FastSearchOptions{threads, simd})});
    }
  }
  if (options.ranked) {
    const size_t unranked = contenders.size();
    for (size_t c = 0; c < unranked; ++c) {
      const FastSearch& search = *contenders[c].search;
      contenders.push_back({std::make_unique<FastSearch>(
                                prepared, FastSearchOptions{search.thread_count(), search.simd_level()}),
                            true});
    }
  }
  double reference_ms = 0.0;
  double ranked_reference_ms = 0.0;
  std::vector<BestMatch> run_reference;
  std::vector<RankedMatch> run_ranked_reference;
  for (size_t run_start = 0; run_start < frames.size();) {
    size_t run_end = run_start + 1;
    while (run_end < frames.size() && frames[run_end] == frames[run_end - 1] + 1) ++run_end;
    run_reference.clear();
    run_ranked_reference.clear();
    for (size_t i = run_start; i < run_end; ++i) {
      const FrameSpectra& spectra = plain_spectra[frames[i]];
      start = Clock::now();
      run_reference.push_back(MatchFrame(spectra, table, ladder));
      reference_ms += MillisecondsSince(start);
      if (options.ranked) {
        start = Clock::now();
        run_ranked_reference.push_back(MatchFrameRanked(spectra, table, ladder));
        ranked_reference_ms += MillisecondsSince(start);
      }
    }
    for (Contender& contender : contenders) {
      for (size_t i = run_start; i < run_end; ++i) {
        const FrameSpectra& spectra = plain_spectra[frames[i]];
        if (contender.ranked) {
          start = Clock::now();
          const RankedMatch ranked = contender.search->MatchFrameRanked(spectra, ladder);
          contender.search_ms += MillisecondsSince(start);
          contender.same_records += SameRanking(ranked, run_ranked_reference[i - run_start]);
          continue;
        }
        start = Clock::now();
        const BestMatch best = contender.search->MatchFrame(spectra, ladder);
        contender.search_ms += MillisecondsSince(start);
        contender.same_records += SameRecord(best, run_reference[i - run_start]);
      }
    }
    run_start = run_end;
  }

  const double n = static_cast<double>(frames.size());
  const int32_t frame_total = static_cast<int32_t>(frames.size());
  std::printf("%-34s %9.3f ms/frame\n", "search, plain (reference)", reference_ms / n);
  if (options.ranked) {
    std::printf("%-34s %9.3f ms/frame\n", "ranked, plain (reference)", ranked_reference_ms / n);
  }
  for (int32_t level = kSimdLevelCount - 1; level >= 0; --level) {
    const SimdLevel simd = static_cast<SimdLevel>(level);
    if (!SimdLevelRuns(simd)) {
      std::printf("search, fast, %-20s (not run: this processor lacks it)\n", SimdLevelName(simd));
    }
  }
  for (const Contender& contender : contenders) {
    const FastSearch& search = *contender.search;
    all_match = all_match && contender.same_records == frame_total;
    char label[64];
    std::snprintf(label, sizeof label, "%s, fast, %s, %d thread%s",
                  contender.ranked ? "ranked" : "search", SimdLevelName(search.simd_level()),
                  search.thread_count(), search.thread_count() == 1 ? "" : "s");
    // The ranked searches against the plain ranked one.
    std::printf(
        "%-34s %9.3f ms/frame %7.1fx   %d/%d %s match   "
        "(%.0f entries, %.0f ranges scored exactly per frame)\n",
        label, contender.search_ms / n,
        (contender.ranked ? ranked_reference_ms : reference_ms) / contender.search_ms,
        contender.same_records, frame_total, contender.ranked ? "rankings" : "records",
        search.counts().entries_scored / n, search.counts().ranges_scored / n);
  }
  PoolAlloc(0);

  if (options.convert) {
    std::printf("\nwhole conversions by kelditra (table load and preparation included):\n");
    for (int32_t threads : options.threads) {
      const double seconds = TimeConversion(options, threads);
      if (seconds < 0) {
        std::printf("  %d thread%s: the conversion failed\n", threads, threads == 1 ? "" : "s");
        all_match = false;
        continue;
      }
      std::printf("  %d thread%s: %.2f s of sound in %.2f s, %.1fx real time\n", threads,
                  threads == 1 ? "" : "s", frame_count / 60.0, seconds,
                  frame_count / 60.0 / seconds);
    }
  }
  std::printf("\n%s\n", all_match ? "every result matched the plain search"
                                  : "MISMATCH: some result differs from the plain search");
  return all_match ? 0 : 1;
}
