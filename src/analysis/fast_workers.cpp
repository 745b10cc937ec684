#include "analysis/fast_workers.h"

#include <system_error>

namespace kelditra::fast {

WorkerCrew::WorkerCrew(int32_t thread_count) {
  const int32_t helpers = thread_count > 1 ? thread_count - 1 : 0;
  helpers_.reserve(helpers);
  for (int32_t member = 1; member <= helpers; ++member) {
    // A system out of threads gets a smaller crew, which does the same work:
    // any set of members that includes the caller finishes every step.
    try {
      helpers_.emplace_back([this, member] { HelperLoop(member); });
    } catch (const std::system_error&) {
      break;
    }
  }
}

WorkerCrew::~WorkerCrew() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  step_posted_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void WorkerCrew::RunStep(StepFunction function, void* context) noexcept {
  if (helpers_.empty()) {
    function(context, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    function_ = function;
    context_ = context;
    step_open_ = true;
    ++step_;
  }
  step_posted_.notify_all();
  function(context, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  step_open_ = false;
  step_finished_.wait(lock, [this] { return helpers_running_ == 0; });
}

void WorkerCrew::HelperLoop(int32_t member) noexcept {
  uint64_t seen = 0;
  for (;;) {
    StepFunction function;
    void* context;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      step_posted_.wait(lock, [&] { return closing_ || (step_open_ && step_ != seen); });
      if (closing_) return;
      seen = step_;
      function = function_;
      context = context_;
      ++helpers_running_;
    }
    function(context, member);
    bool last;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      last = --helpers_running_ == 0;
    }
    if (last) step_finished_.notify_one();
  }
}

int32_t DefaultThreadCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int32_t>(cores);
}

}  // namespace kelditra::fast
