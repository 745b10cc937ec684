#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <string>

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelditra-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "job_fixtures.h"

const std::string& LiveTablePath() {
  static const ScratchFolder folder;
  static const std::string path = folder / "fm_table2.dat";
  static const bool written = [] {
    RawEntry live(128, 0);
    live[2] = 3000;
    live[4] = 1500;
    return WriteSparseTable(path, {{100, live}});
  }();
  if (!written) std::abort();
  return path;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, int interrupt_after_ms,
                         const std::string& locale) {
  ScratchFolder capture;
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  const pid_t child = fork();
  if (child == 0) {
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", locale.c_str(), 1);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (interrupt_after_ms >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(interrupt_after_ms));
    kill(child, SIGINT);
  }
  int wait_status = 0;
  struct rusage usage {};
  wait4(child, &wait_status, 0, &usage);
  ProcessResult result;
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  result.peak_kib = usage.ru_maxrss;
  const std::vector<uint8_t> out = ReadBytes(out_path);
  const std::vector<uint8_t> err = ReadBytes(err_path);
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}
