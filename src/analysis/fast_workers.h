#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Threads kept for the length of a job, so that a frame's work can be shared
// without starting a thread per frame. One step runs at a time: Run hands the
// same task to every member, the calling thread included as member 0. A
// helper that has not begun the step by the time member 0 is through with it
// stays out of it, so a helper the system has not scheduled yet never holds
// the step up; a task must therefore be able to finish all of the step's
// work with any set of members that includes member 0 (members share work by
// claiming pieces from a common counter). Run returns once every member that
// began has finished. Nothing is allocated per step.
class WorkerCrew {
 public:
  // thread_count members in all, the caller among them; below 1 counts as 1.
  explicit WorkerCrew(int32_t thread_count);
  ~WorkerCrew();
  WorkerCrew(const WorkerCrew&) = delete;
  WorkerCrew& operator=(const WorkerCrew&) = delete;

  int32_t size() const { return static_cast<int32_t>(helpers_.size()) + 1; }

  // task(member) on the members that take part; member runs from 0 to
  // size() - 1.
  template <typename Task>
  void Run(Task& task) {
    RunStep([](void* context, int32_t member) { (*static_cast<Task*>(context))(member); }, &task);
  }

 private:
  using StepFunction = void (*)(void* context, int32_t member);

  void RunStep(StepFunction function, void* context);
  void HelperLoop(int32_t member);

  std::vector<std::thread> helpers_;
  std::mutex mutex_;
  std::condition_variable step_posted_;
  std::condition_variable step_finished_;
  StepFunction function_ = nullptr;
  void* context_ = nullptr;
  uint64_t step_ = 0;
  bool step_open_ = false;  // helpers may still join the step
  int32_t helpers_running_ = 0;
  bool closing_ = false;
};

// Every core the system reports, at least 1.
int32_t DefaultThreadCount();
