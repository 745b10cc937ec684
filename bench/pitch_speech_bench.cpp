// How closely `kelditra pitch` follows real speech. espeak-ng speaks a
// sentence in a male and a female voice, sox makes it 44100 Hz 16-bit mono,
// and each pitch method's track is set against aubio's time-domain YIN, run
// through aubio's own command-line tool: a detector that shares no code with
// ours. Figures, not verdicts: per voice and method, the share of frames both
// call voiced, and the share of those that agree within a semitone.
//   pitch_speech_bench [KELDITRA]
// espeak-ng, sox and aubiopitch come from scripts/install-deps.sh.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pitch_track.h"

namespace {

constexpr const char* kSentence =
    "Every morning the old sailor sang a gentle melody. Would you like to hear it again?";

// Runs a shell command; its standard output, and whether it exited with 0.
bool Run(const std::string& command, std::string* out = nullptr) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  if (out != nullptr) *out = text;
  return pclose(pipe) == 0;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// One fundamental per 735-sample hop; 0 where aubio hears none or names one
// outside our default range. Row r analyses the 2048 samples that end with
// hop r, so row j + 1 is centred 79 samples after our frame j's centre.
std::vector<double> AubioYinTrack(const std::string& wave) {
  std::string out;
  if (!Run("aubiopitch -i " + Quoted(wave) + " -p yin -B 2048 -H 735 -s -90", &out)) return {};
  std::vector<double> rows;
  std::stringstream lines(out);
  for (double seconds, hz; lines >> seconds >> hz;) rows.push_back(hz >= 60 && hz <= 1000 ? hz : 0);
  if (!rows.empty()) rows.erase(rows.begin());
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kelditra = argc > 1 ? argv[1] : KELDITRA_CLI_PATH;
  if (!Run("command -v espeak-ng sox aubiopitch > /dev/null")) {
    std::fputs("needs espeak-ng, sox and aubiopitch: run scripts/install-deps.sh\n", stderr);
    return 1;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "kelditra-bench-XXXXXX").string();
  const std::string folder = mkdtemp(pattern.data());
  const std::string wave = folder + "/speech.wav";
  int status = 0;
  for (const char* voice : {"en+m3", "en+f3"}) {
    if (!Run("espeak-ng -v " + std::string(voice) + " -w " + Quoted(folder + "/raw.wav") + " " +
             Quoted(kSentence)) ||
        !Run("sox " + Quoted(folder + "/raw.wav") + " -r 44100 -b 16 -c 1 " + Quoted(wave))) {
      std::fprintf(stderr, "%s: could not make the sentence\n", voice);
      status = 1;
      continue;
    }
    const std::vector<double> reference = AubioYinTrack(wave);
    for (const char* method : {"yinfft", "yin"}) {
      if (!Run("cd " + Quoted(folder) + " && " + Quoted(kelditra) + " pitch --force --method " +
               method + " speech.wav > /dev/null 2>&1")) {
        std::printf("%s, %s: not in this build\n", voice, method);
        continue;
      }
      std::ifstream in(folder + "/speech.dat", std::ios::binary);
      const std::vector<uint8_t> track{std::istreambuf_iterator<char>(in), {}};
      const int32_t length = static_cast<int32_t>(track.size());
      const size_t frames = std::min<size_t>(track.size() / kPitchRecordBytes, reference.size());
      int both_voiced = 0, within_semitone = 0;
      for (size_t frame = 0; frame < frames; ++frame) {
        const int32_t ours = FrameFundamental(track.data(), length, static_cast<int32_t>(frame));
        if (ours == 0 || reference[frame] == 0) continue;
        ++both_voiced;
        within_semitone += std::abs(1200 * std::log2(ours / reference[frame])) <= 100 ? 1 : 0;
      }
      std::printf("%s, %s: %zu frames, both voiced %.1f%%, within a semitone %.1f%% of those\n",
                  voice, method, frames, 100.0 * both_voiced / std::max<size_t>(frames, 1),
                  100.0 * within_semitone / std::max(both_voiced, 1));
    }
  }
  std::filesystem::remove_all(folder);
  return status;
}
