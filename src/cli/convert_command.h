#pragma once

// kelditra [options] FILE.wav...: one conversion job per file, as the
// dialog's convert button runs it.
int RunConvertCommand(int argc, char** argv);
