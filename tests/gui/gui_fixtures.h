#pragma once

#include <string>

namespace kelditra {

// Writes the files the Windows program is driven with into the folder that
// becomes its current directory; false when one could not be written.
//   fm_table2.dat   a full voice table, most entries searched
//   tone.wav/.dat   2 s of a gliding tone whose timbre changes: compared with the command line
//   short.wav/.dat  0.2 s: a quick conversion after a cancelled one
//   noise.wav/.dat  60 s of noise: long enough to stop halfway even with a much faster search
//   sub/tiny.wav/.dat  under one frame, in a folder without a voice table
bool WriteGuiFixtures(const std::string& folder);

}  // namespace kelditra
