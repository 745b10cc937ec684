// make_demo_sound OUT_BASE [SECONDS]
// Writes OUT_BASE.wav, a synthetic sung phrase (44100 Hz, 16-bit, mono), and
// OUT_BASE.dat, its exact pitch track. Three seconds unless told otherwise.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_voice.h"
#include "fixture_files.h"

namespace kelditra {

}  // namespace kelditra

using namespace kelditra;

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make_demo_sound OUT_BASE [SECONDS]\n");
    return 2;
  }
  const std::string base = argv[1];
  double seconds = 3.0;
  if (argc == 3) {
    char* end = nullptr;
    seconds = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0') seconds = -1.0;
  }
  const DemoVoice voice = MakeDemoVoice(seconds);
  if (voice.samples.empty()) {
    std::fprintf(stderr, "make_demo_sound: SECONDS must lie between %g and %g\n",
                 kDemoShortestSeconds, kDemoLongestSeconds);
    return 2;
  }
  if (!WriteMonoWave(base + ".wav", voice.samples) ||
      !WritePitchTrack(base + ".dat", voice.fundamentals)) {
    std::fprintf(stderr, "make_demo_sound: cannot write %s.wav or %s.dat\n", base.c_str(),
                 base.c_str());
    return 1;
  }
  return 0;
}
