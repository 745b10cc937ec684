#include "prepare/prepared_names.h"

#include "formats/paths.h"
#include "io/platform_file.h"

namespace kelditra {

std::string PreparedWavePath(const std::string& recording_path, const std::string& output_folder) {
  if (HasWaveExtension(recording_path)) {
    return MadeFilePath(recording_path, output_folder, "-44100.wav");
  }
  const size_t name_start = recording_path.find_last_of(kFolderSeparators) + 1;  // npos + 1 == 0
  const size_t dot = recording_path.find_last_of('.');
  // A leading dot names a hidden file rather than starting an extension.
  const bool has_extension = dot != std::string::npos && dot > name_start;
  const std::string stem = has_extension ? recording_path.substr(0, dot) : recording_path;
  // MadeFilePath takes the place of a four-byte ".wav" that the stem lacks.
  return MadeFilePath(stem + ".wav", output_folder, ".wav");
}

}  // namespace kelditra
