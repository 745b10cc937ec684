#pragma once

#include <cstdint>
#include <vector>

#include "formats/parameter_file.h"

namespace kelditra {

// Sounds a parameter file without the target hardware: each frame plays the
// chosen entry's compared values, scaled by the record's gain as the search
// scaled them, as sinusoids at j * frequency Hz. A tone's amplitude is twice
// the value, since a pure tone of amplitude A measures A / 2 in the frame
// spectra, so the preview analyses back to what the search compared.
// Components at or above half the sample rate, and the 0 Hz component, are
// left out. Phases run on across frames and amplitudes move linearly between
// frame centres, so neither a new frame nor a new voice clicks; a voice after
// a frame at 0 Hz (no pitch) fades in over 3 ms.
//
// prepared_table is a table after PrepareVoiceTable; every record names a
// voice in it and holds no negative field (PreviewWaveBytes refuses the files
// that do). Returns 735 samples per record; *clipped counts samples that had
// to be limited to 16 bits.
std::vector<int16_t> SynthesizePreview(const std::vector<ParameterRecord>& records,
                                       const uint8_t* prepared_table, int64_t* clipped);

}  // namespace kelditra
