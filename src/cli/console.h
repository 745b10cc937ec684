#pragma once

#include <string>

namespace kelditra {

// Everything the command line shows is UTF-8 inside the program. On Windows a
// console gets it as UTF-16, so that it reads right whatever the console's
// code page; a file or a pipe gets the UTF-8 bytes.
void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

// Whether stderr goes to a terminal, where a bar redrawn in place makes sense.
bool StderrIsTerminal();

// The width of the terminal stderr shows on, asked anew each time so that a
// resized window is followed; 80 when it cannot be told.
int TerminalColumns();

}  // namespace kelditra
