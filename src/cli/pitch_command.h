#pragma once

#include <cstdio>

// kelditra pitch [options] FILE.wav...: writes the pitch track FILE.dat that
// the conversion reads, for users who have only the recording. argv[0] is
// "pitch".
int RunPitchCommand(int argc, char** argv);

// The lines that point from the converter's help to this command.
void PrintPitchCommandSummary(std::FILE* stream);
