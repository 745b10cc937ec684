#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "job/job_host.h"
#include "resources/outcome_messages.h"

namespace kelditra {

// A front end that follows a script: a clock that advances by a fixed step
// per reading, window messages queued by the test, and a record of
// everything the job asked of it, in order.
class ScriptedHost : public JobHost {
 public:
  struct Shown {
    std::string text;
    int style;
  };

  bool has_counter = true;
  std::string path_text;
  int64_t clock_ms = 0;
  int64_t clock_step_ms = 0;
  bool create_window_fails = false;

  // Run when the job pumps; return false to stand for the quit message.
  std::deque<std::function<bool()>> pending;
  // Run after each refresh request, with the tick's number (from 1).
  std::function<void(int)> on_refresh;

  std::vector<Shown> shown;
  std::vector<std::string> events;
  std::vector<double> refreshed_percents;

  bool HasPerformanceCounter() override { return has_counter; }
  std::string PathFieldText() override { return path_text; }
  // As the dialog would show it.
  void ShowOutcome(const Failure& outcome) override {
    const OutcomeMessage message = DialogMessage(outcome);
    shown.push_back({message.text, message.style});
    events.push_back("message");
  }
  WindowHandle CreateProgressWindow() override {
    events.push_back("create");
    return create_window_fails ? nullptr : &window_;
  }
  void RefreshProgressWindow(WindowHandle) override {
    events.push_back("refresh");
    refreshed_percents.push_back(gProgressPercent);
    if (on_refresh) on_refresh(static_cast<int>(refreshed_percents.size()));
  }
  void DestroyProgressWindow(WindowHandle) override { events.push_back("destroy"); }
  int64_t ProcessClockMs() override { return std::exchange(clock_ms, clock_ms + clock_step_ms); }
  bool HasPendingMessage() override { return !pending.empty(); }
  bool PumpOneMessage() override {
    events.push_back("pump");
    auto action = std::move(pending.front());
    pending.pop_front();
    return action();
  }
  void PostQuit() override { events.push_back("quit"); }

  // What a progress window's cancel button does.
  static bool CancelAndClose() {
    gCancelFlag = 1;
    gProgressWindow = nullptr;
    return true;
  }

 private:
  int window_;
};

}  // namespace kelditra
