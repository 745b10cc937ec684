#pragma once

#include <string>

namespace kelditra {

// What `kelditra prepare` names the sound it makes of a recording: the
// recording's name with its extension replaced by ".wav" (take.ogg ->
// take.wav, take -> take.wav), or "-44100.wav" added in place of ".wav" when
// the recording is a WAV file itself (take.wav -> take-44100.wav), so that
// the made file can never take the recording's own name. Beside the
// recording, or in output_folder when one is named.
std::string PreparedWavePath(const std::string& recording_path, const std::string& output_folder);

}  // namespace kelditra
