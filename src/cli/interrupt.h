#pragma once

namespace kelditra {

// Ctrl-C. The first press asks the running work to stop (a conversion after
// its current frame, the other commands after their current file); the files
// not reached are then only named. A second press ends the process at once.
void InstallInterruptHandler();

// A press not yet taken up by the running work.
bool InterruptPending();

// Takes the press up: the run is interrupted from now on.
void TakeInterrupt();

// Whether the run has been interrupted, taken up or not.
bool Interrupted();

}  // namespace kelditra
