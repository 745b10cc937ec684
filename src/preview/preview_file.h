#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/failure.h"

namespace kelditra {

// Reads the parameter file and the voice table, and writes the preview.
// Every block it loads is back in the pool when it returns. *clipped counts
// the samples that had to be limited to 16 bits, *frames the records sounded.
Failure WritePreviewFile(const std::string& parameter_path, const std::string& preview_path,
                         const std::string& voice_table_path, int64_t* clipped, int32_t* frames);
// The preview's WAV file bytes for the bytes of a parameter file, any bytes
// at all: a file that is not whole records, or that has a record the preview
// cannot sound, is refused (kBadParameterFile, saying what is wrong and
// where) and gets no bytes. prepared_table is a table after PrepareVoiceTable.
Failure PreviewWaveBytes(const uint8_t* parameters, int32_t length, const uint8_t* prepared_table,
                         std::vector<uint8_t>* wave, int64_t* clipped);

}  // namespace kelditra
