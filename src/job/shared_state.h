#pragma once

#include <cstdint>

namespace kelditra {

// A window of the front end, as the job sees it: only stored and handed back.
using WindowHandle = void*;

// The state a running job shares with its user interface. One thread touches
// it: the window handlers run nested inside the job's message pumping, so
// plain variables serve and no lock is needed.
extern int32_t gBusyFlag;             // 1 from the progress window's opening to the job's end
extern int32_t gCancelFlag;           // 1 once the user asked the job to stop
extern double gProgressPercent;       // read by the progress window's refresh
extern WindowHandle gProgressWindow;  // nullptr while there is no progress window

}  // namespace kelditra
