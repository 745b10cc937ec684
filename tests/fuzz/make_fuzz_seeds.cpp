// make_fuzz_seeds OUT WAV...: seeds for the fuzz targets. OUT/wave gets each
// recording as it is, OUT/pitch tracks of its length and around a record's
// edges, OUT/job it with a track under some of the job fuzzer's flags, and
// OUT/preview parameter files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fixture_files.h"
#include "formats/parameter_file.h"

namespace kelditra {

namespace {

// A track of one record per frame (and one more), with a gliding
// fundamental, cut to length bytes.
std::vector<uint8_t> GlidingTrack(size_t frames, size_t length) {
  std::vector<uint8_t> track((frames + 1) * 66, 0x5A);
  for (size_t r = 0; r <= frames; ++r) {
    const auto fundamental = static_cast<uint16_t>(110 + 7 * r % 400);
    track[66 * r + 2] = static_cast<uint8_t>(fundamental);
    track[66 * r + 3] = static_cast<uint8_t>(fundamental >> 8);
  }
  track.resize(length, 0);
  return track;
}

std::vector<uint8_t> Concatenated(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

}  // namespace kelditra

using namespace kelditra;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: make_fuzz_seeds OUT WAV...\n", stderr);
    return 2;
  }
  const std::filesystem::path out = argv[1];
  for (const char* folder : {"wave", "pitch", "job", "preview"}) {
    std::filesystem::create_directories(out / folder);
  }

  // Parameter files as conversions write them, and at the edges of each field.
  RecordArray phrase;
  ClearRecordArray(phrase, 12);
  for (int32_t frame = 0; frame < 12; ++frame) {
    StoreRecord(phrase, frame, 0x1234 + 257 * frame, frame % 4 == 0 ? 440 : 220, 4036 + frame);
  }
  const RecordArray edges = {
      {0, 0, 0, 0}, {16383, 131070, 7922, 15}, {0, 22050, 65535, 0}, {16383, 1, 65535, 15}};
  bool written = true;
  for (const auto& [name, records] :
       {std::pair{"empty", RecordArray{}}, {"phrase", phrase}, {"edges", edges}}) {
    const std::string base = (out / "preview" / name).string();
    written &= !WriteParameterFile(records, base, static_cast<int32_t>(records.size()));
  }
  for (int i = 2; i < argc; ++i) {
    const std::string name = std::filesystem::path(argv[i]).stem().string();
    const std::vector<uint8_t> wave = ReadBytes(argv[i]);
    const size_t frames = wave.size() / (2 * 735);
    written &= WriteBytes((out / "wave" / name).string(), wave);

    const size_t full = (frames + 1) * 66;
    for (size_t length : {full, full / 2, size_t{0}, size_t{3}, size_t{65}, size_t{67}}) {
      const std::vector<uint8_t> count = {static_cast<uint8_t>(frames + 70),
                                          static_cast<uint8_t>((frames + 70) >> 8), 0};
      written &= WriteBytes((out / "pitch" / (name + "-" + std::to_string(length))).string(),
                            Concatenated({count, GlidingTrack(frames, length)}));
    }

    // One whole-job seed per recording, each under other flags (the first
    // byte). The track's length is two bytes; a longer recording gets a cut track.
    const size_t whole_track = std::min<size_t>(full, 65535);
    const std::pair<uint8_t, size_t> variants[] = {{0x00, whole_track}, {0x10, whole_track},
                                                   {0x08, whole_track}, {0x03, 0},
                                                   {0x20, 65},          {0x00, 3}};
    const auto [flags, length] = variants[static_cast<size_t>(i - 2) % std::size(variants)];
    const std::vector<uint8_t> head = {flags, static_cast<uint8_t>(length),
                                       static_cast<uint8_t>(length >> 8)};
    written &= WriteBytes((out / "job" / name).string(),
                          Concatenated({head, GlidingTrack(frames, length), wave}));
  }
  return written ? 0 : 1;
}
