#include "gui_fixtures.h"

#include <direct.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "fixture_files.h"

namespace kelditra {

namespace {

constexpr int kRate = 44100;
constexpr int kFrame = 735;

// Magnitudes falling with the bin. Odd bins stay empty in 7 entries of 8, so
// those are searched (the preparation skips entries strong in odd bins) and
// a frame costs nearly a full search.
RawEntry TableEntry(int32_t voice) {
  std::minstd_rand random(voice + 1);
  RawEntry entry(128);
  for (int bin = 0; bin < 128; ++bin) {
    const bool silent = bin % 2 == 1 && voice % 8 != 0;
    entry[bin] = silent ? 0 : static_cast<uint16_t>(random() % (40000u / (bin + 2)));
  }
  return entry;
}

// A tone gliding from 150 Hz to 450 Hz while its upper harmonics fade in, so
// the frames pick different voices; the pitch track follows the glide.
bool WriteTone(const std::string& base, int frames) {
  std::vector<int16_t> samples(frames * kFrame);
  std::vector<uint16_t> fundamentals(frames);
  std::minstd_rand random(99);
  double phase = 0.0;
  for (int frame = 0; frame < frames; ++frame) {
    const double f0 = 150.0 + 300.0 * frame / frames;
    fundamentals[frame] = static_cast<uint16_t>(f0);
    const double brightness = static_cast<double>(frame) / frames;
    for (int i = 0; i < kFrame; ++i) {
      phase += 2.0 * std::numbers::pi * f0 / kRate;
      double value = 0.0;
      for (int harmonic = 1; harmonic <= 8; ++harmonic) {
        const double weight = harmonic == 1 ? 1.0 : brightness / harmonic;
        value += weight * std::sin(harmonic * phase);
      }
      const int noise = static_cast<int>(random() % 1001) - 500;
      samples[frame * kFrame + i] = static_cast<int16_t>(value * 7000.0 + noise);
    }
  }
  return WriteMonoWave(base + ".wav", samples) && WritePitchTrack(base + ".dat", fundamentals);
}

bool WriteNoise(const std::string& base, int frames) {
  std::vector<int16_t> samples(frames * kFrame);
  std::minstd_rand random(7);
  for (int16_t& sample : samples) sample = static_cast<int16_t>(int(random() % 20001) - 10000);
  return WriteMonoWave(base + ".wav", samples) &&
         WritePitchTrack(base + ".dat", std::vector<uint16_t>(frames, 200));
}

}  // namespace

bool WriteGuiFixtures(const std::string& folder) {
  const std::string sub = folder + "/sub";
  _mkdir(sub.c_str());
  return WriteVoiceTable(folder + "/fm_table2.dat", TableEntry) &&
         WriteTone(folder + "/tone", 120) && WriteTone(folder + "/short", 12) &&
         WriteNoise(folder + "/noise", 3600) &&
         WriteMonoWave(sub + "/tiny.wav", std::vector<int16_t>(100, 0)) &&
         WritePitchTrack(sub + "/tiny.dat", {});
}

}  // namespace kelditra
