#pragma once

// kelditra report [options] FILE.wav...: runs the search over the sound again
// and writes FILE.report.html, a page that shows how well each frame matched.
// argv[0] is "report".
int RunReportCommand(int argc, char** argv);
