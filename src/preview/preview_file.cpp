#include "preview/preview_file.h"

#include <memory>
#include <vector>

#include "formats/parameter_file.h"
#include "formats/sound_timing.h"
#include "formats/wave_writer.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "job/conversion_inputs.h"
#include "preview/preview_synthesis.h"

namespace kelditra {

namespace {

Failure Preview(const std::string& parameter_path, const std::string& preview_path,
                const std::string& voice_table_path, int64_t* clipped, int32_t* frames) {
  VoiceTableInput table;
  if (Failure failure = LoadVoiceTable(voice_table_path, nullptr, &table)) return failure;

  uint8_t* parameters = nullptr;
  int32_t parameters_length = 0;
  // A few spare bytes: an empty parameter file (a valid conversion of a very
  // short sound) must not ask the pool for nothing, which would release it.
  if (Failure failure =
          LoadFile(parameter_path, kRecordBytes, &parameters, &parameters_length)) {
    return InRole(failure, FileRole::kParameters);
  }

  std::unique_ptr<PreparedTable> prepared;
  PrepareLoadedTable(&table, &prepared);
  std::vector<uint8_t> wave;
  if (Failure failure = PreviewWaveBytes(parameters, parameters_length, prepared->view().entries,
                                         &wave, clipped)) {
    failure.path = parameter_path;
    return InRole(failure, FileRole::kParameters);
  }
  *frames = parameters_length / kRecordBytes;
  return SaveFile(wave.data(), static_cast<uint32_t>(wave.size()), preview_path);
}

}  // namespace

Failure PreviewWaveBytes(const uint8_t* parameters, int32_t length, const uint8_t* prepared_table,
                         std::vector<uint8_t>* wave, int64_t* clipped) {
  *clipped = 0;
  std::vector<ParameterRecord> records;
  if (Failure failure = DecodeParameterFile(parameters, length, &records)) return failure;
  *wave = MonoWaveBytes(SynthesizePreview(records, prepared_table, clipped), kSampleRate);
  return {};
}

Failure WritePreviewFile(const std::string& parameter_path, const std::string& preview_path,
                         const std::string& voice_table_path, int64_t* clipped, int32_t* frames) {
  *clipped = 0;
  *frames = 0;
  const Failure failure = Preview(parameter_path, preview_path, voice_table_path, clipped, frames);
  PoolAlloc(0);
  return failure;
}

}  // namespace kelditra
