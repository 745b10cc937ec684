// make_voice_table [--stats] OUT_PATH
// Writes the synthetic 262,144-entry voice table of the FM model in
// fm_voice_model.h. With --stats it reports on stderr how many entries the
// program's skip rule will set aside and how long the generation took.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "fixture_files.h"
#include "fm_voice_model.h"

namespace {

constexpr int32_t kVoices = 262144;

struct SkipCounts {
  int32_t skipped = 0;
  int32_t half_modulator = 0;          // entries with bits 4..7 == 0
  int32_t half_modulator_kept = 0;
};

// The preparation's rule: odd bins, weighted by 16, outweigh bins 2, 4, .., 126.
bool Skipped(const RawEntry& entry) {
  int32_t odd = 0;
  int32_t even = 0;
  for (int bin = 1; bin < 128; ++bin) (bin % 2 == 1 ? odd : even) += entry[bin];
  return 16 * odd > even;
}

int Usage() {
  std::fprintf(stderr, "usage: make_voice_table [--stats] OUT_PATH\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool stats = false;
  std::string out_path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--stats") == 0) {
      stats = true;
    } else if (out_path.empty()) {
      out_path = argv[i];
    } else {
      return Usage();
    }
  }
  if (out_path.empty()) return Usage();

  const auto start = std::chrono::steady_clock::now();
  const FmVoiceModel model;
  SkipCounts counts;
  const bool written = WriteVoiceTable(out_path, [&](int32_t voice) {
    RawEntry entry = model.Entry(voice);
    if (stats) {
      const bool skipped = Skipped(entry);
      counts.skipped += skipped;
      if (((voice >> 4) & 15) == 0) {
        ++counts.half_modulator;
        counts.half_modulator_kept += !skipped;
      }
    }
    return entry;
  });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!written) {
    std::fprintf(stderr, "make_voice_table: cannot write %s\n", out_path.c_str());
    return 1;
  }
  if (stats) {
    std::fprintf(stderr, "generated in %.2f s\n", seconds);
    std::fprintf(stderr, "skipped: %d of %d (%.1f%%)\n", counts.skipped, kVoices,
                 100.0 * counts.skipped / kVoices);
    std::fprintf(stderr, "kept with modulator code 0: %d of %d (%.1f%%)\n",
                 counts.half_modulator_kept, counts.half_modulator,
                 100.0 * counts.half_modulator_kept / counts.half_modulator);
  }
  return 0;
}
