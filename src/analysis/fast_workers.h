#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kelditra::fast {

// Threads kept for the length of a job, so that a frame's work can be shared
// without starting a thread per frame. One step runs at a time: Run hands the
// same task to every member, the calling thread included as member 0. A
// helper that has not begun the step by the time member 0 is through with it
// stays out of it, so a helper the system has not scheduled yet never holds
// the step up; a task must therefore be able to finish all of the step's
// work with any set of members that includes member 0 (members share work by
// claiming pieces from a common counter). Run returns once every member that
// began has finished. Nothing is allocated per step.
//
// A task cannot throw: member 0 runs it on the caller's stack while helpers
// run it on the same context, so a throw out of member 0 would leave the
// helpers writing into a frame that no longer exists. Run is noexcept, and a
// task that throws all the same ends the program at that point instead.
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
  void Run(Task& task) noexcept {
    RunStep([](void* context, int32_t member) noexcept { (*static_cast<Task*>(context))(member); },
            &task);
  }

 private:
  using StepFunction = void (*)(void* context, int32_t member) noexcept;

  void RunStep(StepFunction function, void* context) noexcept;
  void HelperLoop(int32_t member) noexcept;

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

// The alignment for what one member writes while a step runs (its best so
// far, its counts): on cache lines of its own, as neighbouring members'
// state on one line would have every write of one member take the line away
// from the others (false sharing). 64 bytes is the line of every x86-64 and
// of most other processors; the standard library's interference size is not
// used, as it changes with the compiler's tuning and could then differ
// between two files of one program.
inline constexpr size_t kCacheLineBytes = 64;

// Every core the system reports, at least 1.
int32_t DefaultThreadCount();

}  // namespace kelditra::fast
