#pragma once

// kelditra preview [options] FILE.wav...: sounds FILE.bin as FILE.preview.wav
// from the voice table, so a conversion can be heard without the target
// hardware. argv[0] is "preview".
int RunPreviewCommand(int argc, char** argv);
