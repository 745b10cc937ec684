#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

inline constexpr int32_t kPitchRecordBytes = 66;
inline constexpr int32_t kPitchFundamentalOffset = 2;
inline constexpr uint32_t kPitchTrackExtraBytes = 4096;

// The fundamental of frame `frame`, in whole Hz, from a track of track_length
// bytes. Bytes of the field past the end of the track read as 0, however far
// past it the frame lies, so a short track never leads outside its block.
int32_t FrameFundamental(const uint8_t* track, int32_t track_length, int32_t frame);

// The records of a track holding these fundamentals (whole Hz, 0 unvoiced),
// every other byte 0: track.size() * kPitchRecordBytes bytes at records.
void StoreFundamentals(const std::vector<uint16_t>& track, uint8_t* records);

}  // namespace kelditra
