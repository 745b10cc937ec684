#include "prepare/decoded_sound.h"

PrepareFailure DecodeRecording(const std::string& path, DecodedSound*) {
  PrepareFailure failure;
  failure.kind = PrepareFailureKind::kNotOnThisPlatform;
  failure.path = path;
  failure.reason = "this build has no decoder for recordings; prepare it on Linux, or with: sox "
                   "FILE -r 44100 -c 1 -b 16 FILE-44100.wav";
  return failure;
}
