// The fast search and the shared spectra against the plain ones, which are
// the oracle: every case compares with what MatchFrame, MatchFrameRanked and
// ComputeFrameSpectra give for the same input (fast_spectra_test.cpp checks
// the spectra on their own). The ranked fast search gets a FastSearch of its
// own, so that its warm start comes from its own frames. The FastSearchTest
// cases run once per kernel forced by KELDITRA_SIMD (CTest labels portable,
// sse2, avx2, avx512), the rest once with the best kernel.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/fast_match.h"
#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/gain_runs.h"
#include "analysis/gain_search.h"
#include "analysis/simd/bound_kernel.h"
#include "analysis/voice_match.h"
#include "demo_voice.h"
#include "fixture_files.h"
#include "fm_voice_model.h"
#include "formats/voice_table.h"
#include "job/conversion_job.h"
#include "job/kept_voice_table.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace {

// A full-size voice table in memory, prepared for both searches.
class LiveTable {
 public:
  explicit LiveTable(const std::vector<uint8_t>& raw) : bytes_(raw) { Prepare(); }

  template <typename MakeEntry>
  explicit LiveTable(MakeEntry make_entry) : bytes_(kVoiceTableBytes) {
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
      const RawEntry entry = make_entry(voice);
      for (int32_t bin = 0; bin < kRawEntryBins; ++bin) {
        bytes_[256 * voice + 2 * bin] = static_cast<uint8_t>(entry[bin] & 0xFF);
        bytes_[256 * voice + 2 * bin + 1] = static_cast<uint8_t>(entry[bin] >> 8);
      }
    }
    Prepare();
  }

  PreparedVoiceTable table() const { return prepared_->view(); }
  PreparedTable& prepared() const { return *prepared_; }

 private:
  void Prepare() { prepared_ = std::make_unique<PreparedTable>(bytes_.data()); }

  std::vector<uint8_t> bytes_;
  std::unique_ptr<PreparedTable> prepared_;
};

// The synthetic FM table's raw bytes, made once for the whole suite.
const std::vector<uint8_t>& FmTableBytes() {
  static const std::vector<uint8_t> bytes = [] {
    const FmVoiceModel model;
    std::vector<uint8_t> out;
    out.reserve(kVoiceTableBytes);
    for (int32_t voice = 0; voice < kVoiceCount; ++voice)
      AppendEntryBytes(model.Entry(voice), &out);
    return out;
  }();
  return bytes;
}

std::vector<int32_t> Ladder() {
  std::vector<int32_t> ladder(kGainSteps);
  BuildGainLadder(ladder.data());
  return ladder;
}

std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  return bytes;
}

void ExpectSameMatch(const BestMatch& fast, const BestMatch& plain, const std::string& what) {
  EXPECT_EQ(fast.voice, plain.voice) << what;
  EXPECT_EQ(fast.gain_index, plain.gain_index) << what;
  EXPECT_EQ(fast.frequency, plain.frequency) << what;
  EXPECT_EQ(fast.error, plain.error) << what;
}

void ExpectSameRanked(const RankedMatch& fast, const RankedMatch& plain, const std::string& what) {
  ExpectSameMatch(fast.best, plain.best, what + ", ranked");
  EXPECT_EQ(fast.runner_up_error, plain.runner_up_error) << what << ", ranked";
}

// The plain search is nearly all of these tests' time. Its ranked form picks
// exactly MatchFrame's winner (the RankedMatch tests hold it to that), so
// one plain search is the oracle of both fast ones. Returns it.
RankedMatch ExpectBothMatchThePlainSearch(FastSearch& search, FastSearch& ranked,
                                   const FrameSpectra& spectra, const PreparedVoiceTable& table,
                                   const int32_t* ladder, const std::string& what) {
  const RankedMatch plain = MatchFrameRanked(spectra, table, ladder);
  ExpectSameMatch(search.MatchFrame(spectra, ladder), plain.best, what);
  ExpectSameRanked(ranked.MatchFrameRanked(spectra, ladder), plain, what);
  return plain;
}

// Runs under the kernel KELDITRA_SIMD names, or the best one; a named kernel
// this processor cannot run skips the suite instead of testing another.
class FastSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    simd_ = ChooseSimdLevel("", &error);
    if (!error.empty()) GTEST_SKIP() << error;
  }

  FastSearchOptions Options(int32_t threads) const { return {threads, simd_}; }

  SimdLevel simd_ = SimdLevel::kPortable;
  const std::vector<int32_t> ladder_ = Ladder();
};

TEST_F(FastSearchTest, RandomFramesOnTheFmTableMatchThePlainSearch) {
  const LiveTable live(FmTableBytes());
  std::mt19937 random(20261206);
  // Fundamentals at the edges: none, the lowest, past the Nyquist frequency,
  // the largest a track can hold; then random ones.
  std::vector<int32_t> fundamentals = {0, 1, 97, 220, 22050, 30000, 65535};
  while (fundamentals.size() < 12) fundamentals.push_back(static_cast<int32_t>(random() % 65536));

  std::vector<std::unique_ptr<FastSearch>> searches;
  std::vector<std::unique_ptr<FastSearch>> ranked_searches;
  for (int32_t threads : {1, 2, 3}) {
    searches.push_back(std::make_unique<FastSearch>(live.prepared(), Options(threads)));
    ranked_searches.push_back(std::make_unique<FastSearch>(live.prepared(), Options(threads)));
  }
  for (size_t k = 0; k < fundamentals.size(); ++k) {
    // Loud and quiet noise, and a few strong partials, so that the best
    // error ranges from small to past 2^22, where the kernels change scale.
    const int32_t amplitude = k % 3 == 0 ? 32767 : k % 3 == 1 ? 300 : 8000;
    std::vector<int16_t> samples(kFrameLength);
    for (int32_t n = 0; n < kFrameLength; ++n) {
      double value = std::uniform_int_distribution<int32_t>(-amplitude, amplitude)(random);
      if (k % 3 == 2) value = amplitude * std::sin(0.07 * (k + 1) * n) + 0.3 * value;
      samples[n] = static_cast<int16_t>(value);
    }
    const std::vector<uint8_t> bytes = SampleBytes(samples);
    const FrameSpectra plain = ComputeFrameSpectra(bytes.data(), 0, fundamentals[k]);
    const RankedMatch expected_ranked = MatchFrameRanked(plain, live.table(), ladder_.data());
    for (size_t s = 0; s < searches.size(); ++s) {
      const std::string what =
          "frame " + std::to_string(k) + ", threads " + std::to_string(s + 1);
      const FrameSpectra shared = searches[s]->ComputeFrameSpectra(bytes.data(), 0, fundamentals[k]);
      ASSERT_EQ(std::memcmp(&shared, &plain, sizeof plain), 0) << "f0 " << fundamentals[k];
      ExpectSameMatch(searches[s]->MatchFrame(shared, ladder_.data()), expected_ranked.best, what);
      ExpectSameRanked(ranked_searches[s]->MatchFrameRanked(shared, ladder_.data()),
                       expected_ranked, what);
    }
  }
  for (const auto& search : searches) EXPECT_EQ(search->frames_given_to_reference(), 0);
  for (const auto& search : ranked_searches) EXPECT_EQ(search->frames_given_to_reference(), 0);
}

TEST_F(FastSearchTest, ConsecutiveFramesOfTheDemoVoiceMatchThePlainSearch) {
  const LiveTable live(FmTableBytes());
  const DemoVoice voice = MakeDemoVoice(kDemoShortestSeconds);
  const std::vector<uint8_t> bytes = SampleBytes(voice.samples);
  FastSearch search(live.prepared(), Options(2));
  FastSearch ranked(live.prepared(), Options(2));
  // From the silence at the start into the sung phrase: the warm start
  // carries over from frame to frame as in a conversion or a report.
  for (int32_t frame = kDemoSilentFrames - 4; frame < kDemoSilentFrames + 10; ++frame) {
    const FrameSpectra plain = ComputeFrameSpectra(bytes.data(), frame, voice.fundamentals[frame]);
    const FrameSpectra shared =
        search.ComputeFrameSpectra(bytes.data(), frame, voice.fundamentals[frame]);
    ASSERT_EQ(std::memcmp(&shared, &plain, sizeof plain), 0) << "frame " << frame;
    ExpectBothMatchThePlainSearch(search, ranked, shared, live.table(), ladder_.data(),
                                  "frame " + std::to_string(frame));
  }
}

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

// Raw entry with the given even bins (0..63 for bins 0..126) and odd bins
// all equal to odd.
RawEntry MadeEntry(const std::vector<int32_t>& even_values, int32_t odd) {
  RawEntry entry(kRawEntryBins, 0);
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    entry[2 * j] = static_cast<uint16_t>(even_values[j]);
    entry[2 * j + 1] = static_cast<uint16_t>(odd);
  }
  return entry;
}

std::vector<int32_t> Shape(int32_t seed, int32_t level) {
  std::vector<int32_t> values(kPreparedEntryValues);
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    values[j] = j < 8 ? level * ((seed * 7 + j * 3) % 11 + 1) / 11 : level / (j + seed % 3);
  }
  return values;
}

struct TieCase {
  const char* name;
  RawEntry (*make_entry)(int32_t voice);
};

// Tables full of exact ties: whatever order the fast search visits them in,
// the lowest voice index and then the lowest gain index must win.
const TieCase kTieCases[] = {
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
};

TEST_F(FastSearchTest, TiesGoToTheLowestVoiceThenTheLowestGain) {
  const std::vector<int32_t> ladder = ladder_;
  for (const TieCase& tie_case : kTieCases) {
    const LiveTable live(tie_case.make_entry);
    FastSearch search(live.prepared(), Options(2));
    // Ranked, ties leave the warm start's winner in several members at once,
    // and the runner-up equal to the winner's error.
    FastSearch ranked(live.prepared(), Options(3));
    const std::vector<FrameSpectra> frames = {
        MadeSpectra(220, Shape(1, 9000), 60000, 30000),     // close to the shape
        MadeSpectra(220, Shape(2, 20), 300, 150),           // faint: low gains
        MadeSpectra(0, std::vector<int32_t>(64, 0), 0, 0),  // silent: error 0 at once
        MadeSpectra(440, Shape(4, 30000), 900000, 450000),  // loud: the top of the ladder
        MadeSpectra(220, Shape(1, 9000), 60000, 30000),
    };
    for (size_t k = 0; k < frames.size(); ++k) {
      const std::string what = std::string(tie_case.name) + ", frame " + std::to_string(k);
      ExpectBothMatchThePlainSearch(search, ranked, frames[k], live.table(), ladder.data(), what);
    }
  }
}

// Two entries with the same compared values, voice 1040 and voice 70000,
// whose sums differ only through their odd bins, so that their gain windows
// differ. A target sum that keeps the best gain out of the earlier entry's
// window makes the later one win; on the next frame a sum that lets both
// reach it must hand the win to the earlier entry, against the warm start.
// Once with the earlier entry's sum the larger, once the smaller, so that it
// lies on either side of the later one in the fast search's sorted order.
TEST_F(FastSearchTest, AnEarlierEntryThatTiesTheWarmStartReplacesIt) {
  // Bin 0 is compared with 0, so a zero there lets the best gain score 0.
  std::vector<int32_t> values = Shape(2, 20000);
  values[0] = 0;
  constexpr int32_t kEarlier = 1040;
  constexpr int32_t kLater = 70000;
  for (const int32_t earlier_odd : {40, 1}) {
    const int32_t later_odd = 41 - earlier_odd;
    const LiveTable live([&](int32_t voice) {
      if (voice == kEarlier) return MadeEntry(values, earlier_odd);
      if (voice == kLater) return MadeEntry(values, later_odd);
      return MadeEntry(std::vector<int32_t>(64, 65535), 0);  // never close to anything
    });
    const PreparedVoiceTable table = live.table();
    const int32_t best_gain = 200;
    std::vector<int32_t> target(kPreparedEntryValues);
    for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
      target[j] = (PreparedEntry(table.entries, kEarlier)[j] * ladder_[best_gain]) >> 12;
    }
    auto holds = [&](int32_t voice, int32_t sum) {
      const GainWindow window = GainWindowFor(table.entry_sums[voice], sum, ladder_.data());
      return window.lower <= best_gain && best_gain <= window.upper;
    };
    int32_t only_later = -1;
    int32_t both = -1;
    for (int32_t sum = 1000; sum < 4000000 && (only_later < 0 || both < 0); sum += 97) {
      if (holds(kLater, sum) && !holds(kEarlier, sum)) only_later = sum;
      if (holds(kLater, sum) && holds(kEarlier, sum)) both = sum;
    }
    ASSERT_GT(only_later, 0);
    ASSERT_GT(both, 0);

    FastSearch search(live.prepared(), Options(2));
    FastSearch ranked(live.prepared(), Options(2));
    for (int32_t sum : {only_later, both, only_later, both, both}) {
      const FrameSpectra frame = MadeSpectra(300, target, sum, 0);
      const std::string what =
          "odd bins " + std::to_string(earlier_odd) + ", target sum " + std::to_string(sum);
      // The warm start's entry comes round again in the scan and is still one
      // entry: with both reaching the best gain, the runner-up is the loser's.
      const RankedMatch plain =
          ExpectBothMatchThePlainSearch(search, ranked, frame, table, ladder_.data(), what);
      // The case must really swap winners, or it tests nothing.
      EXPECT_EQ(plain.best.voice, sum == both ? kEarlier : kLater);
    }
  }
}

// The exact gain search on its own: over any window, the least error and the
// lowest gain index giving it, as scoring every gain one by one finds them.
// Quiet entries against a silent target tie at 0 over many gains.
TEST(GainSearch, FindsWhatScoringEveryGainFinds) {
  std::mt19937 random(11);
  const std::vector<int32_t> ladder = Ladder();
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
      const int64_t error = MatchingError(entry.data(), ladder[g], target.data(), INT64_MAX);
      if (error < expected.error) expected = {error, 5, g, 440};
    }
    BestMatch found;
    int64_t ranges = 0;
    SearchGains({entry.data(), 5, 440, target.data()}, first, last, ladder.data(), INT64_MAX,
                &found, &ranges);
    EXPECT_EQ(found.error, expected.error) << "trial " << trial;
    EXPECT_EQ(found.gain_index, expected.gain_index) << "trial " << trial;
  }
}

// The runs split each class's sorted entries with no gap, and every entry's
// run carries the entry's own gain window: silent, quiet and loud targets,
// one so loud that every entry passes each test, and a ladder whose first
// gains are 0.
TEST(GainRuns, EveryEntryGetsItsOwnWindow) {
  LiveTable live(FmTableBytes());
  const FastSearchLayout& layout = *live.prepared().Layout();
  std::vector<int32_t> zero_start = Ladder();
  std::fill(zero_start.begin(), zero_start.begin() + 3, 0);
  for (const std::vector<int32_t>& ladder : {Ladder(), zero_start}) {
    for (int32_t target_sum : {0, 1, 977, 150000, 1 << 21, 4000000, 1 << 30}) {
      for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
        ::Run runs[kMaxRuns];
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

// Each prepared table owns its layout, so searches over two tables can live
// side by side, and neither falls back to the plain search.
TEST_F(FastSearchTest, TwoTablesInOneProcessAreEachSearchedFast) {
  const LiveTable first([](int32_t voice) { return MadeEntry(Shape(voice % 7, 5000), voice % 3); });
  const LiveTable second([](int32_t voice) { return MadeEntry(Shape(voice % 5 + 3, 9000), 0); });
  FastSearch first_search(first.prepared(), Options(2));
  FastSearch second_search(second.prepared(), Options(2));
  for (int32_t k = 0; k < 4; ++k) {
    const FrameSpectra frame = MadeSpectra(220 + k, Shape(k, 9000), 60000, 30000);
    const std::string what = "frame " + std::to_string(k);
    ExpectSameMatch(first_search.MatchFrame(frame, ladder_.data()),
                    MatchFrame(frame, first.table(), ladder_.data()), what + ", first table");
    ExpectSameMatch(second_search.MatchFrame(frame, ladder_.data()),
                    MatchFrame(frame, second.table(), ladder_.data()), what + ", second table");
  }
  EXPECT_EQ(first_search.frames_given_to_reference(), 0);
  EXPECT_EQ(second_search.frames_given_to_reference(), 0);
}

// No entry at all leaves the starting match; one entry leaves no runner-up.
TEST_F(FastSearchTest, TablesOfNoEntryOrOneLeaveTheStartingMatchOrNoRunnerUp) {
  for (const int32_t kept_voice : {-1, 70000}) {
    // Odd bins that outweigh the even ones set the skip flag.
    const LiveTable live([&](int32_t voice) {
      return voice == kept_voice ? MadeEntry(Shape(1, 9000), 0)
                                 : MadeEntry(std::vector<int32_t>(64, 10), 500);
    });
    FastSearch search(live.prepared(), Options(2));
    FastSearch ranked(live.prepared(), Options(2));
    const std::string what = "kept voice " + std::to_string(kept_voice);
    for (int32_t frame_index = 0; frame_index < 2; ++frame_index) {
      const FrameSpectra frame = MadeSpectra(220, Shape(frame_index, 9000), 60000, 30000);
      ExpectBothMatchThePlainSearch(search, ranked, frame, live.table(), ladder_.data(), what);
    }
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
      std::atomic<int32_t> next{0};
      std::atomic<int32_t> bad_member{0};
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

using BoundKernel = uint32_t (*)(const BoundBlockArgs&);

struct KernelEntry {
  SimdLevel level;
  BoundKernel kernel;
};

// The lowest error of one lane over every gain of the window, by brute force.
int64_t LeastError(const uint16_t* values, int32_t lane, int32_t lower, int32_t upper,
                   const int32_t* ladder, const int32_t* target128) {
  uint16_t entry[kPreparedEntryValues];
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    entry[j] = values[(j / kGroupBins) * kBlockGroupValues + BoundValueOffset(j, lane)];
  }
  int64_t least = INT64_MAX;
  for (int32_t g = lower; g <= upper; ++g) {
    least = std::min(least, MatchingError(entry, ladder[g], target128, INT64_MAX));
  }
  return least;
}

// Every kernel this processor runs keeps the same lanes as the portable one,
// and none drops a lane that could still win: its least error over the window
// must lie above the limit (scaled back by the extra shift), or, with exact
// ties, reach it for a voice after the tie voice.
TEST(BoundKernels, AgreeAndNeverDropALaneThatCouldWin) {
  std::vector<KernelEntry> kernels = {{SimdLevel::kPortable, BoundBlockPortable}};
#if defined(__x86_64__)
  kernels.push_back({SimdLevel::kSse2, BoundBlockSse2});
  kernels.push_back({SimdLevel::kAvx2, BoundBlockAvx2});
  kernels.push_back({SimdLevel::kAvx512, BoundBlockAvx512});
#endif
  const std::vector<int32_t> ladder = Ladder();
  std::mt19937 random(7);
  std::vector<uint16_t> values(kBoundGroups * kBlockGroupValues);
  int32_t voices[kBlockLanes];
  int64_t kept = 0;
  int64_t dropped = 0;
  for (int32_t trial = 0; trial < 300; ++trial) {
    // Values from the whole range, near the target and at the extremes.
    for (uint16_t& value : values) {
      const uint32_t kind = random() % 8;
      value = kind == 0   ? 0
              : kind == 1 ? 65535
                          : static_cast<uint16_t>(random() % (kind < 5 ? 4000 : 65536));
    }
    for (int32_t& voice : voices) voice = static_cast<int32_t>(random() % 1000);
    int32_t target128[2 * kPreparedEntryValues] = {};
    uint32_t target_pairs[kPreparedEntryValues / 2] = {};
    uint32_t target_plus7_pairs[kPreparedEntryValues / 2] = {};
    for (int32_t j = 1; j < kPreparedEntryValues; ++j) {
      const uint32_t target = random() % (trial % 2 == 0 ? 3000 : 65529);
      target128[2 * j] = static_cast<int32_t>(target);
      target_pairs[j / 2] |= target << (16 * (j % 2));
      target_plus7_pairs[j / 2] |= (target + 7) << (16 * (j % 2));
    }
    target_plus7_pairs[0] |= 7;
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
    for (const KernelEntry& kernel : kernels) {
      if (!SimdLevelRuns(kernel.level)) continue;
      EXPECT_EQ(kernel.kernel(args), portable)
          << SimdLevelName(kernel.level) << ", trial " << trial;
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
      const int64_t least = LeastError(values.data(), lane, lower, upper, ladder.data(), target128);
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

TEST_F(FastSearchTest, TheChosenKernelIsTheOneThatRan) {
  const LiveTable live([](int32_t voice) { return MadeEntry(Shape(voice % 9, 5000), 0); });
  FastSearch search(live.prepared(), Options(2));
  const char* forced = std::getenv("KELDITRA_SIMD");
  EXPECT_EQ(SimdLevelName(search.simd_level()),
            std::string(forced != nullptr ? forced : SimdLevelName(BestSimdLevel())));
  search.MatchFrame(MadeSpectra(220, Shape(1, 9000), 60000, 30000), ladder_.data());
  for (int32_t level = 0; level < kSimdLevelCount; ++level) {
    const SimdLevel other = static_cast<SimdLevel>(level);
    if (other == search.simd_level()) {
      EXPECT_GT(search.kernel_blocks(other), 0) << SimdLevelName(other);
    } else {
      EXPECT_EQ(search.kernel_blocks(other), 0) << SimdLevelName(other);
    }
  }
}

TEST(SimdLevels, NamesParseAndUnknownOrMissingOnesFallBackToTheBest) {
  for (int32_t level = 0; level < kSimdLevelCount; ++level) {
    SimdLevel parsed;
    ASSERT_TRUE(ParseSimdLevel(SimdLevelName(static_cast<SimdLevel>(level)), &parsed));
    EXPECT_EQ(static_cast<int32_t>(parsed), level);
  }
  std::string error;
  EXPECT_EQ(ChooseSimdLevel("mmx", &error), BestSimdLevel());
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(ChooseSimdLevel("portable", &error), SimdLevel::kPortable);
  EXPECT_TRUE(error.empty());
  EXPECT_TRUE(SimdLevelRuns(BestSimdLevel()));
}

// Through the program: the same parameter file and the same report page from
// every thread count and from the plain search.
TEST(FastSearchEndToEnd, ThreadCountsAndThePlainSearchWriteIdenticalFiles) {
  ScratchFolder folder;
  const FmVoiceModel model;
  ASSERT_TRUE(WriteVoiceTable(folder / "fm_table2.dat", [&](int32_t v) { return model.Entry(v); }));
  const DemoVoice voice = MakeDemoVoice(kDemoShortestSeconds);
  ASSERT_TRUE(WriteMonoWave(folder / "voice.wav", voice.samples));
  ASSERT_TRUE(WritePitchTrack(folder / "voice.dat", voice.fundamentals));

  std::vector<std::vector<uint8_t>> outputs;
  std::vector<std::vector<uint8_t>> pages;
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {"--reference"}, {"--threads", "1"}, {"--threads", "2"}, {"--threads", "3"}}) {
    std::vector<std::string> arguments = options;
    arguments.push_back("--quiet");
    arguments.push_back("voice.wav");
    ProcessResult result = RunProcess(KelditraPath(), arguments, folder.path());
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    outputs.push_back(ReadBytes(folder / "voice.bin"));
    arguments.insert(arguments.begin(), "report");
    result = RunProcess(KelditraPath(), arguments, folder.path());
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    pages.push_back(ReadBytes(folder / "voice.report.html"));
  }
  ASSERT_EQ(outputs[0].size(), voice.samples.size() / kFrameLength * 16);
  for (size_t k = 1; k < outputs.size(); ++k) {
    EXPECT_EQ(outputs[k], outputs[0]) << "run " << k;
    EXPECT_EQ(pages[k], pages[0]) << "report " << k;
  }
}

// A batch keeps its prepared table between jobs, and the fast search keeps
// its layout with it. When the table file changes under a job of the plain
// search, the next fast job must not use the layout of the old table.
TEST(FastSearchInABatch, ATableChangedUnderAPlainJobIsLaidOutAnew) {
  ScratchFolder folder;
  auto entry = [](uint16_t low, uint16_t high) {
    RawEntry raw(kRawEntryBins, 0);
    raw[2] = low;
    raw[4] = high;
    return raw;
  };
  ASSERT_TRUE(WriteSparseTable(folder / "fm_table2.dat",
                               {{100, entry(3000, 500)}, {200, entry(500, 3000)}}));
  ASSERT_TRUE(WriteMonoWave(folder / "a.wav", HarmonicSound(6, 220, {5000, 2500})));
  ASSERT_TRUE(WritePitchTrack(folder / "a.dat", std::vector<uint16_t>(6, 220)));
  KeptVoiceTable kept;
  auto convert = [&](bool reference) {
    gBusyFlag = 0;
    ScriptedHost host;
    host.path_text = folder / "a.wav";
    JobSettings settings;
    settings.voice_table_path = folder / "fm_table2.dat";
    settings.kept_table = &kept;
    settings.search.reference_search = reference;
    RunConversionJob(host, settings);
    EXPECT_EQ(host.shown.at(0).text, utf8::kFinished);
    return ReadBytes(folder / "a.bin");
  };
  const std::vector<uint8_t> old_table = convert(false);
  EXPECT_EQ(convert(false), old_table);  // from the kept table

  // Entry 100 moves to 300: only a layout of the new table holds its values.
  ASSERT_TRUE(WriteSparseTable(folder / "fm_table2.dat",
                               {{200, entry(500, 3000)}, {300, entry(3000, 500)}}));
  const std::vector<uint8_t> new_table = convert(true);
  const std::vector<Record> records = ReadRecords(folder / "a.bin");
  ASSERT_FALSE(records.empty());
  ASSERT_EQ(records[0].voice_high * 16 + records[0].voice_low, 300);
  EXPECT_EQ(convert(false), new_table);
}

TEST(SearchOptionsOnTheCommandLine, BadValuesAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--threads", "0", "x.wav"},  {"--threads", "257", "x.wav"},
      {"--threads", "2x", "x.wav"}, {"--threads"},
      {"--simd", "mmx", "x.wav"},   {"--simd"},
      {"report", "--threads", "0", "x.wav"}, {"report", "--simd", "mmx", "x.wav"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    const ProcessResult result = RunProcess(KelditraPath(), arguments);
    EXPECT_EQ(result.status, 2) << arguments[0] << " "
                                << (arguments.size() > 1 ? arguments[1] : "");
  }
  for (int32_t level = 0; level < kSimdLevelCount; ++level) {
    const SimdLevel simd = static_cast<SimdLevel>(level);
    if (SimdLevelRuns(simd)) continue;
    // A kernel this processor lacks is refused rather than quietly replaced.
    EXPECT_EQ(RunProcess(KelditraPath(), {"--simd", SimdLevelName(simd), "x.wav"}).status, 2);
  }
}

}  // namespace
