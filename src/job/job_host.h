#pragma once

#include <cstdint>
#include <string>

#include "io/failure.h"
#include "job/shared_state.h"

namespace kelditra {

// What a conversion job needs from its front end: the dialog, the command
// line, or a test's script. The job itself never touches a platform API.
class JobHost {
 public:
  virtual ~JobHost() = default;

  // Whether a high-resolution performance counter exists.
  virtual bool HasPerformanceCounter() = 0;

  // The whole text of the path field, as UTF-8.
  virtual std::string PathFieldText() = 0;

  // Shows the outcome (kind kNone: finished); returns once the user has
  // dismissed it.
  virtual void ShowOutcome(const Failure& outcome) = 0;

  // Told when the loads begin: the table, the pitch track and the sound are
  // read and the table prepared, which takes a moment and pumps nothing.
  virtual void InputsLoading() {}

  // Told once the input is accepted, just before the progress window opens;
  // a front end may use it to show rates and time left.
  virtual void FrameLoopStarting(int32_t /*frame_count*/) {}

  // The modeless progress window; nullptr when it cannot be created.
  virtual WindowHandle CreateProgressWindow() = 0;
  // Synchronous: the window has redrawn gProgressPercent when this returns.
  virtual void RefreshProgressWindow(WindowHandle window) = 0;
  virtual void DestroyProgressWindow(WindowHandle window) = 0;

  // Wall-clock milliseconds since the process started.
  virtual int64_t ProcessClockMs() = 0;

  // Whether any message waits for any window of the thread (not removed).
  virtual bool HasPendingMessage() = 0;
  // Handles one message; false when it was the quit message.
  virtual bool PumpOneMessage() = 0;
  virtual void PostQuit() = 0;
};

}  // namespace kelditra
