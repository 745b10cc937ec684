// The fast search against the plain one, its oracle, every kernel at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/fast_match.h"
#include "analysis/fast_spectra.h"
#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/gain_runs.h"
#include "analysis/gain_search.h"
#include "analysis/kernel_limit.h"
#include "analysis/simd/bound_kernel.h"
#include "analysis/voice_match.h"
#include "demo_voice.h"
#include "table/fm_voice_model.h"
#include "formats/voice_table.h"
#include "job_fixtures.h"
#include "kernels_under_test.h"
#include "test_support.h"

namespace kelditra::fast {

namespace {

// A full-size voice table in memory, prepared for both searches.
class LiveTable {
 public:
  template <typename MakeEntry>
  explicit LiveTable(MakeEntry make_entry) {
    bytes_.reserve(kVoiceTableBytes);
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) AppendEntryBytes(make_entry(voice), &bytes_);
    prepared_ = std::make_unique<PreparedTable>(bytes_.data());
  }
  PreparedVoiceTable table() const { return prepared_->view(); }
  PreparedTable& prepared() const { return *prepared_; }

 private:
  std::vector<uint8_t> bytes_;
  std::unique_ptr<PreparedTable> prepared_;
};

const LiveTable& FmTable() {
  static const FmVoiceModel model;
  static const LiveTable live([](int32_t voice) { return model.Entry(voice); });
  return live;
}

const int32_t* Ladder() {
  static const std::vector<int32_t> ladder = [] {
    std::vector<int32_t> built(kGainSteps);
    BuildGainLadder(built.data());
    return built;
  }();
  return ladder.data();
}

auto Fields(const BestMatch& match) {
  return std::make_tuple(match.voice, match.gain_index, match.frequency, match.error);
}

// The plain ranked search picks exactly MatchFrame's winner (RankedMatch
// holds it to that), so it is the oracle of both fast searches.
RankedMatch Plain(const FrameSpectra& frame, const LiveTable& live) {
  return MatchFrameRanked(frame, live.table(), Ladder());
}

// Per kernel, a fast search and a ranked one, each with its own warm start.
class KernelSearches {
 public:
  KernelSearches(const LiveTable& live, const std::vector<SimdLevel>& kernels, int32_t threads) {
    for (const SimdLevel level : kernels) {
      best_.push_back(std::make_unique<FastSearch>(live.prepared(), FastSearchOptions{threads, level}));
      ranked_.push_back(std::make_unique<FastSearch>(live.prepared(), FastSearchOptions{threads, level}));
    }
  }

  void ExpectSame(const FrameSpectra& frame, const RankedMatch& plain, const std::string& what) {
    for (size_t k = 0; k < best_.size(); ++k) {
      const std::string where = what + ", " + SimdLevelName(best_[k]->simd_level());
      EXPECT_EQ(Fields(best_[k]->MatchFrame(frame, Ladder())), Fields(plain.best)) << where;
      const RankedMatch fast = ranked_[k]->MatchFrameRanked(frame, Ladder());
      EXPECT_EQ(Fields(fast.best), Fields(plain.best)) << where << ", ranked";
      EXPECT_EQ(fast.runner_up_error, plain.runner_up_error) << where << ", ranked";
    }
  }

  int64_t FramesGivenToReference() const {
    int64_t frames = 0;
    for (const auto* list : {&best_, &ranked_}) {
      for (const auto& search : *list) frames += search->frames_given_to_reference();
    }
    return frames;
  }

 private:
  std::vector<std::unique_ptr<FastSearch>> best_, ranked_;
};

// Hand-made spectra: bins 2j set from a shape, the sums free, since the sums
// alone decide the gain windows.
FrameSpectra MadeSpectra(int32_t fundamental, const std::vector<int32_t>& even_bins,
                         int32_t half_harmonic_sum, int32_t harmonic_sum) {
  FrameSpectra spectra{};
  spectra.fundamental = fundamental;
  for (int32_t j = 1; j < kPreparedEntryValues; ++j) {
    spectra.half_harmonic[2 * j] = even_bins[j];
    spectra.harmonic[2 * j] = even_bins[j] / 2;
  }
  spectra.half_harmonic_sum = half_harmonic_sum;
  spectra.harmonic_sum = harmonic_sum;
  return spectra;
}

// A raw entry with the given values in its even bins and odd in every odd one.
RawEntry MadeEntry(const std::vector<int32_t>& even_values, int32_t odd) {
  RawEntry entry(kRawEntryBins, static_cast<uint16_t>(odd));
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) entry[2 * j] = static_cast<uint16_t>(even_values[j]);
  return entry;
}

std::vector<int32_t> Shape(int32_t seed, int32_t level) {
  std::vector<int32_t> values(kPreparedEntryValues);
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    values[j] = j < 8 ? level * ((seed * 7 + j * 3) % 11 + 1) / 11 : level / (j + seed % 3);
  }
  return values;
}

class FastSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    kernels_ = KernelsUnderTest(&error);
    if (!error.empty()) GTEST_SKIP() << error;
  }

  std::vector<SimdLevel> kernels_;
};

// Loud, quiet and tonal frames at edge fundamentals take the best error past
// 2^22, where the kernels change scale; consecutive demo frames from silence
// into the phrase carry the warm start over as a conversion does.
TEST_F(FastSearchTest, RandomFramesAndTheDemoVoiceMatchThePlainSearch) {
  const LiveTable& live = FmTable();
  std::mt19937 random(20261206);
  std::vector<int32_t> fundamentals = {0, 1, 97, 220, 22050, 30000, 65535};
  while (fundamentals.size() < 12) fundamentals.push_back(static_cast<int32_t>(random() % 65536));
  std::vector<int16_t> noise(fundamentals.size() * kFrameLength);
  for (size_t n = 0; n < noise.size(); ++n) {
    const size_t k = n / kFrameLength;
    const int32_t amplitude = k % 3 == 0 ? 32767 : k % 3 == 1 ? 300 : 8000;
    double value = std::uniform_int_distribution<int32_t>(-amplitude, amplitude)(random);
    if (k % 3 == 2) value = amplitude * std::sin(0.07 * (k + 1) * (n % kFrameLength)) + 0.3 * value;
    noise[n] = static_cast<int16_t>(value);
  }
  const std::vector<uint8_t> noise_bytes = PcmBytes(noise);
  const DemoVoice voice = MakeDemoVoice(kDemoShortestSeconds);
  const std::vector<uint8_t> voice_bytes = PcmBytes(voice.samples);
  std::vector<FrameSpectra> frames;
  for (size_t k = 0; k < fundamentals.size(); ++k) {
    frames.push_back(ComputeFrameSpectra(noise_bytes.data(), static_cast<int32_t>(k), fundamentals[k]));
  }
  for (int32_t frame = kDemoSilentFrames - 4; frame < kDemoSilentFrames + 10; ++frame) {
    frames.push_back(ComputeFrameSpectra(voice_bytes.data(), frame, voice.fundamentals[frame]));
  }

  std::vector<KernelSearches> searches;
  for (int32_t threads : {1, 2, 3}) searches.emplace_back(live, kernels_, threads);
  for (size_t k = 0; k < frames.size(); ++k) {
    const RankedMatch plain = Plain(frames[k], live);
    for (size_t s = 0; s < searches.size(); ++s) {
      const std::string what = "frame " + std::to_string(k) + ", threads " + std::to_string(s + 1);
      searches[s].ExpectSame(frames[k], plain, what);
    }
  }
  for (const KernelSearches& search : searches) EXPECT_EQ(search.FramesGivenToReference(), 0);
}

// Tables side by side, each search on its own table's layout: exact ties (the
// lowest voice, then the lowest gain wins whatever order the fast search
// visits them in, and the ranked runner-up equals the winner), no entry, and
// one. None falls back to the plain search.
TEST_F(FastSearchTest, TablesOfTiesOfNoEntryAndOfOneSideBySide) {
  const struct {
    const char* name;
    RawEntry (*make_entry)(int32_t voice);
  } cases[] = {
      {"every entry the same", [](int32_t) { return MadeEntry(Shape(1, 9000), 0); }},
      {"five entries repeated",
       [](int32_t voice) { return MadeEntry(Shape(voice % 5, 9000), voice % 2); }},
      // Values 1, 2 and 4 times a base: at gains 1..11 the ladder doubles
      // exactly, so (entry, gain) pairs of equal products tie.
      {"entries equal up to gain",
       [](int32_t voice) {
         std::vector<int32_t> values = Shape(voice % 2, 4000);
         for (int32_t& value : values) value <<= voice % 3;
         return MadeEntry(values, 0);
       }},
      // Sums that differ only through the odd bins spread the same values
      // over many gain windows.
      {"same values, windows spread by odd bins",
       [](int32_t voice) { return MadeEntry(Shape(3, 6000), voice % 40); }},
      // Odd bins that outweigh the even ones skip an entry.
      {"every entry skipped", [](int32_t) { return MadeEntry(std::vector<int32_t>(64, 10), 500); }},
      {"one entry",
       [](int32_t voice) {
         return voice == 70000 ? MadeEntry(Shape(1, 9000), 0) : MadeEntry(std::vector<int32_t>(64, 10), 500);
       }},
  };
  const FrameSpectra frames[] = {
      MadeSpectra(220, Shape(1, 9000), 60000, 30000),     // close to the shape
      MadeSpectra(220, Shape(2, 20), 300, 150),           // faint: low gains
      MadeSpectra(0, std::vector<int32_t>(64, 0), 0, 0),  // silent: error 0 at once
      MadeSpectra(440, Shape(4, 30000), 900000, 450000),  // loud: the top of the ladder
      MadeSpectra(221, Shape(0, 9000), 60000, 30000),
      MadeSpectra(220, Shape(1, 9000), 60000, 30000),
  };
  std::vector<LiveTable> tables;
  std::vector<KernelSearches> searches;
  for (const auto& c : cases) tables.emplace_back(c.make_entry);
  for (const LiveTable& live : tables) searches.emplace_back(live, kernels_, 2);
  for (const FrameSpectra& frame : frames) {
    for (size_t t = 0; t < tables.size(); ++t) {
      searches[t].ExpectSame(frame, Plain(frame, tables[t]), cases[t].name);
    }
  }
  for (const KernelSearches& search : searches) EXPECT_EQ(search.FramesGivenToReference(), 0);
}

// The kernel asked for runs, and no other; an unknown name falls back to the
// best one, with a warning.
TEST_F(FastSearchTest, TheChosenKernelIsTheOneThatRan) {
  const SimdChoice unknown = ChooseSimdLevel("mmx");
  EXPECT_EQ(unknown.level, BestSimdLevel());
  EXPECT_EQ(unknown.refusal, SimdRefusal::kUnknownName);
  const char* forced = std::getenv("KELDITRA_SIMD");
  EXPECT_EQ(SimdLevelName(ChooseSimdLevel("").level),
            std::string(forced != nullptr ? forced : SimdLevelName(BestSimdLevel())));
  for (const SimdLevel level : kernels_) {
    FastSearch search(FmTable().prepared(), {2, level});
    search.MatchFrame(MadeSpectra(220, Shape(1, 9000), 60000, 30000), Ladder());
    for (int32_t other = 0; other < kSimdLevelCount; ++other) {
      EXPECT_EQ(search.kernel_blocks(static_cast<SimdLevel>(other)) > 0, other == static_cast<int32_t>(level))
          << SimdLevelName(level) << " asked, " << SimdLevelName(static_cast<SimdLevel>(other));
    }
  }
}

// Over any window, the least error at the lowest gain giving it; quiet
// entries against a silent target tie at 0 over many gains.
TEST(GainSearch, FindsWhatScoringEveryGainFinds) {
  std::mt19937 random(11);
  for (int32_t trial = 0; trial < 300; ++trial) {
    std::vector<uint16_t> entry(kPreparedEntryValues);
    std::vector<int32_t> target(kSpectrumBins, 0);
    for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
      entry[j] = static_cast<uint16_t>(random() % (trial % 3 == 0 ? 60 : 65536));
      if (trial % 3 != 0) target[2 * j] = static_cast<int32_t>(random() % 40000);
    }
    const int32_t first = static_cast<int32_t>(random() % kGainSteps);
    const int32_t last = first + static_cast<int32_t>(random() % (kGainSteps - first));
    BestMatch expected;
    for (int32_t g = first; g <= last; ++g) {
      const int64_t error = MatchingError(entry.data(), Ladder()[g], target.data(), INT64_MAX);
      if (error < expected.error) expected = {error, 5, g, 440};
    }
    BestMatch found;
    int64_t ranges = 0;
    SearchGains({entry.data(), 5, 440, target.data()}, first, last, Ladder(), INT64_MAX, &found,
                &ranges);
    EXPECT_EQ(Fields(found), Fields(expected)) << "trial " << trial;
  }
}

// Runs cover each class without a gap and carry each entry's own window, for
// targets from silent to louder than any entry and a ladder starting at 0s.
TEST(GainRuns, EveryEntryGetsItsOwnWindow) {
  const FastSearchLayout& layout = *FmTable().prepared().Layout();
  const std::vector<int32_t> ladder_values(Ladder(), Ladder() + kGainSteps);
  std::vector<int32_t> zero_start = ladder_values;
  std::fill(zero_start.begin(), zero_start.begin() + 3, 0);
  for (const std::vector<int32_t>& ladder : {ladder_values, zero_start}) {
    for (int32_t target_sum : {0, 1, 977, 150000, 1 << 21, 4000000, 1 << 30}) {
      for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
        fast::Run runs[kMaxRuns];
        const int32_t run_count =
            BuildRuns(layout, class_index, target_sum, ladder.data(), runs);
        const int32_t* sums = layout.SumsOf(class_index);
        int32_t next = 0;
        int32_t wrong = 0;
        for (int32_t r = 0; r < run_count; ++r) {
          ASSERT_EQ(runs[r].begin, next) << "target " << target_sum;
          for (int32_t i = runs[r].begin; i < runs[r].end; ++i) {
            const GainWindow window = GainWindowFor(sums[i], target_sum, ladder.data());
            wrong += window.lower != runs[r].lower || window.upper != runs[r].upper;
          }
          next = runs[r].end;
        }
        EXPECT_EQ(next, layout.class_spans[class_index].count) << "target " << target_sum;
        EXPECT_EQ(wrong, 0) << "target " << target_sum << ", class " << class_index;
      }
    }
  }
}

// The plain ranked search, the fast one's oracle for the runner-up, against
// every entry's own best error with no early exit at all.
TEST(RankedMatch, WinnerIsThePlainSearchsAndRunnerUpIsTheNextBestEntry) {
  const PreparedVoiceTable table = FmTable().table();
  const DemoVoice voice = MakeDemoVoice(1.0);
  const std::vector<uint8_t> sound = PcmBytes(voice.samples);
  std::mt19937 random(7);
  std::vector<uint8_t> noise(kFrameLength * 2);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  for (const FrameSpectra& spectra :
       {ComputeFrameSpectra(sound.data(), 20, voice.fundamentals[20]),
        ComputeFrameSpectra(sound.data(), 45, voice.fundamentals[45]),
        ComputeFrameSpectra(noise.data(), 0, 31000)}) {
    const BestMatch plain = MatchFrame(spectra, table, Ladder());
    const RankedMatch ranked = MatchFrameRanked(spectra, table, Ladder());
    EXPECT_EQ(Fields(ranked.best), Fields(plain));
    int64_t runner_up = INT64_MAX;
    for (int32_t v = 0; v < kVoiceCount; ++v) {
      if (table.skip_flags[v] != 0 || v == plain.voice) continue;
      const bool harmonic = MatchesHarmonicSpectrum(v);
      const GainWindow window = GainWindowFor(
          table.entry_sums[v], harmonic ? spectra.harmonic_sum : spectra.half_harmonic_sum, Ladder());
      for (int32_t g = window.lower; g <= window.upper; ++g) {
        runner_up = std::min(runner_up, MatchingError(PreparedEntry(table.entries, v), Ladder()[g],
                                                      harmonic ? spectra.harmonic : spectra.half_harmonic,
                                                      INT64_MAX));
      }
    }
    EXPECT_EQ(ranked.runner_up_error, runner_up);
  }
}

// Pieces claimed from a shared counter: whichever members take part in a
// step, every piece is done exactly once and the step is over when Run
// returns, step after step.
TEST(WorkerCrews, EveryPieceOfEveryStepIsDoneOnceBeforeRunReturns) {
  for (int32_t threads : {1, 2, 3, 5}) {
    WorkerCrew crew(threads);
    ASSERT_EQ(crew.size(), threads);
    std::vector<std::atomic<int32_t>> done(64);
    for (int32_t step = 0; step < 2000; ++step) {
      std::atomic<int32_t> next{0}, bad_member{0};
      auto task = [&](int32_t member) {
        if (member < 0 || member >= threads) bad_member = 1;
        for (int32_t piece; (piece = next.fetch_add(1)) < 64;) done[piece].fetch_add(1);
      };
      crew.Run(task);
      ASSERT_EQ(bad_member.load(), 0);
      for (int32_t piece = 0; piece < 64; ++piece) {
        ASSERT_EQ(done[piece].exchange(0), 1) << threads << " threads, step " << step;
      }
    }
  }
}

// Every kernel keeps the portable one's lanes, and a dropped lane's least
// error over the window lies above the limit (scaled by the extra shift) or,
// with exact ties, reaches it for a voice after the tie voice.
// Below 2^22 the kernels compare exactly and an equal bound goes to the
// lower voice; from there up, every 3 bits of error shift the distances one
// bit, and a tie at the coarse scale proves nothing.
TEST(KernelLimits, ScaleCapAndTieRuleFollowTheError) {
  const struct {
    int64_t error;
    KernelLimit expected;  // cap: the least c with c * c * c above the limit
  } rows[] = {
      {0, {3, 1, 0, true}},
      {8, {3, 3, 8, true}},
      {(1 << 22) - 1, {3, 162, (1 << 22) - 1, true}},
      {1 << 22, {4, 81, 1 << 19, false}},
      {(int64_t{1} << 25) - 1, {4, 162, (1 << 22) - 1, false}},
      {int64_t{1} << 25, {5, 81, 1 << 19, false}},
      {int64_t{1} << 40, {10, 81, 1 << 19, false}},
  };
  for (const auto& row : rows) {
    const KernelLimit got = KernelLimitFor(row.error);
    EXPECT_EQ(got.shift, row.expected.shift) << row.error;
    EXPECT_EQ(got.cap, row.expected.cap) << row.error;
    EXPECT_EQ(got.limit, row.expected.limit) << row.error;
    EXPECT_EQ(got.ties_exact, row.expected.ties_exact) << row.error;
  }
}

TEST(BoundKernels, AgreeAndNeverDropALaneThatCouldWin) {
  const std::pair<SimdLevel, uint32_t (*)(const BoundBlockArgs&)> kernels[] = {
#if defined(__x86_64__)
      {SimdLevel::kSse2, BoundBlockSse2},
      {SimdLevel::kAvx2, BoundBlockAvx2},
      {SimdLevel::kAvx512, BoundBlockAvx512},
#endif
      {SimdLevel::kPortable, BoundBlockPortable}};
  const int32_t* ladder = Ladder();
  std::mt19937 random(7);
  std::vector<uint16_t> values(kBoundGroups * kBlockGroupValues);
  int32_t voices[kBlockLanes];
  int64_t kept = 0, dropped = 0;
  for (int32_t trial = 0; trial < 300; ++trial) {
    // Values from the whole range, near the target and at the extremes.
    for (uint16_t& value : values) {
      const uint32_t kind = random() % 8;
      value = kind == 0 ? 0 : kind == 1 ? 65535 : static_cast<uint16_t>(random() % (kind < 5 ? 4000 : 65536));
    }
    for (int32_t& voice : voices) voice = static_cast<int32_t>(random() % 1000);
    int32_t target128[2 * kPreparedEntryValues] = {};
    uint32_t target_pairs[kPreparedEntryValues / 2] = {};
    uint32_t target_plus7_pairs[kPreparedEntryValues / 2] = {7};
    for (int32_t j = 1; j < kPreparedEntryValues; ++j) {
      const uint32_t target = random() % (trial % 2 == 0 ? 3000 : 65529);
      target128[2 * j] = static_cast<int32_t>(target);
      target_pairs[j / 2] |= target << (16 * (j % 2));
      target_plus7_pairs[j / 2] |= (target + 7) << (16 * (j % 2));
    }
    int32_t lower = static_cast<int32_t>(random() % kGainSteps);
    int32_t upper = static_cast<int32_t>(random() % kGainSteps);
    if (lower > upper) std::swap(lower, upper);
    const int32_t extra = static_cast<int32_t>(random() % 4);
    const int32_t limit = static_cast<int32_t>(random() % (trial % 3 == 0 ? 1000 : 4000000));
    int32_t cap = 1;
    while (int64_t{cap} * cap * cap <= limit) ++cap;

    BoundBlockArgs args;
    args.values = values.data();
    args.group_stride = kBlockGroupValues;
    args.voices = voices;
    args.low_multiplier = static_cast<uint16_t>((ladder[lower] & 4095) << 4);
    args.low_mask = ladder[lower] >= 4096 ? 0xFFFF : 0;
    args.high_multiplier = static_cast<uint16_t>((ladder[upper] & 4095) << 4);
    args.high_mask = ladder[upper] >= 4096 ? 0xFFFF : 0;
    args.target_pairs = target_pairs;
    args.target_plus7_pairs = target_plus7_pairs;
    args.shift = 3 + extra;
    args.cap = static_cast<uint16_t>(cap);
    args.limit = limit;
    args.ties_exact = extra == 0 && trial % 2 == 0;
    args.tie_voice = 500;
    args.lanes = trial % 5 == 0 ? static_cast<uint32_t>(random()) : ~uint32_t{0};

    const uint32_t portable = BoundBlockPortable(args);
    for (const auto& [level, kernel] : kernels) {
      if (SimdLevelRuns(level)) {
        EXPECT_EQ(kernel(args), portable) << SimdLevelName(level) << ", trial " << trial;
      }
    }
    for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
      const uint32_t bit = uint32_t{1} << lane;
      if ((args.lanes & bit) == 0) {
        EXPECT_EQ(portable & bit, 0u) << "lane outside the mask kept";
        continue;
      }
      if ((portable & bit) != 0) {
        ++kept;
        continue;
      }
      ++dropped;
      int64_t least = INT64_MAX;  // of the lane over every gain of the window
      uint16_t entry[kPreparedEntryValues];
      for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
        entry[j] = values[(j / kGroupBins) * kBlockGroupValues + BoundValueOffset(j, lane)];
      }
      for (int32_t g = lower; g <= upper; ++g) {
        least = std::min(least, MatchingError(entry, ladder[g], target128, INT64_MAX));
      }
      const bool above = least >= (int64_t{limit} + 1) << (3 * extra);
      const bool tie_lost = args.ties_exact && voices[lane] > args.tie_voice && least >= limit;
      EXPECT_TRUE(above || tie_lost) << "trial " << trial << ", lane " << lane << ": least error "
                                     << least << ", limit " << limit << ", extra shift " << extra;
    }
  }
  // Both outcomes must occur, or the limits chosen test nothing.
  EXPECT_GT(kept, 100);
  EXPECT_GT(dropped, 100);
}

// Through the program: one parameter file and one report page whatever the
// threads or search; a kernel this processor lacks is refused, not replaced.
TEST(FastSearchEndToEnd, ThreadCountsAndThePlainSearchWriteIdenticalFiles) {
  ScratchFolder folder;
  const FmVoiceModel model;
  ASSERT_TRUE(WriteVoiceTable(folder / "fm_table2.dat", [&](int32_t v) { return model.Entry(v); }));
  const DemoVoice voice = MakeDemoVoice(kDemoShortestSeconds);
  ASSERT_TRUE(WriteMonoWave(folder / "voice.wav", voice.samples));
  ASSERT_TRUE(WritePitchTrack(folder / "voice.dat", voice.fundamentals));
  std::vector<std::vector<uint8_t>> outputs, pages;
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {"--reference"}, {"--threads", "1"}, {"--threads", "2"}, {"--threads", "3"}}) {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--quiet", "voice.wav"});
    ProcessResult result = RunProcess(KelditraPath(), arguments, folder.path());
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    outputs.push_back(ReadBytes(folder / "voice.bin"));
    if (options[0] == "--reference") continue;  // once is enough of the slow search
    arguments.insert(arguments.begin(), "report");
    result = RunProcess(KelditraPath(), arguments, folder.path());
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    pages.push_back(ReadBytes(folder / "voice.report.html"));
  }
  ASSERT_EQ(outputs[0].size(), voice.samples.size() / kFrameLength * 16);
  for (size_t k = 1; k < outputs.size(); ++k) EXPECT_EQ(outputs[k], outputs[0]) << "run " << k;
  for (size_t k = 1; k < pages.size(); ++k) EXPECT_EQ(pages[k], pages[0]) << "report " << k;

  std::vector<std::vector<std::string>> usage_errors = {
      {"--threads", "257", "x.wav"}, {"--threads", "2x", "x.wav"}, {"--threads"}, {"--simd"},
      {"report", "--threads", "0", "x.wav"}};
  for (int32_t level = 0; level < kSimdLevelCount; ++level) {
    const SimdLevel simd = static_cast<SimdLevel>(level);
    if (!SimdLevelRuns(simd)) usage_errors.push_back({"--simd", SimdLevelName(simd), "x.wav"});
  }
  for (const std::vector<std::string>& arguments : usage_errors) {
    EXPECT_EQ(RunProcess(KelditraPath(), arguments).status, 2)
        << arguments[0] << " " << (arguments.size() > 1 ? arguments[1] : "");
  }
}

}  // namespace

}  // namespace kelditra::fast
