#pragma once

#include <cstddef>
#include <cstdint>

namespace kelditra {

// Signs that a recording was cut short, which the decoders themselves take
// for a shorter recording.

// How far from either end of a file these look.
inline constexpr int64_t kEndLooked = 65536;

// tail: the last bytes of an Ogg stream (Vorbis, Opus). Whether its last page
// is there whole and marks the end of its stream.
bool OggTailEndsStream(const uint8_t* tail, size_t size);

// head: the first head_length bytes of a file of file_length bytes. Whether a
// WAV file holds all the data its header declares. A recorder that died
// before it could write the length leaves 0 or 0xFFFFFFFF there: such a
// file holds what it holds, and counts as whole, as does one that is no WAV.
bool WaveHeadHoldsItsData(const uint8_t* head, int64_t head_length, int64_t file_length);

}  // namespace kelditra
