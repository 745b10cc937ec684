#pragma once

#include <string>

// The files the Windows program is driven with, written into a scratch
// folder that becomes its current directory:
//   fm_table2.dat   a full voice table, most entries searched
//   tone.wav/.dat   2 s, a gliding tone whose timbre changes: the conversion
//                   whose output is compared with the command line's
//   short.wav/.dat  0.2 s: a quick conversion after a cancelled one
//   noise.wav/.dat  60 s of noise: jobs long enough to stop halfway even
//                   with a much faster search
//   sub/tiny.wav/.dat  under one frame, in a folder without a voice table
// Returns false when a file could not be written.
bool WriteGuiFixtures(const std::string& folder);
