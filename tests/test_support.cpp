#include "test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "job_fixtures.h"

namespace kelditra {

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

const std::string& LiveTablePath() {
  static const ScratchFolder folder;
  static const std::string path = [] {
    RawEntry live(128, 0);
    live[2] = 3000;
    live[4] = 1500;
    if (!WriteSparseTable(folder / "fm_table2.dat", {{100, live}})) std::abort();
    return folder / "fm_table2.dat";
  }();
  return path;
}

namespace {

std::string TextOf(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Starts program in folder, stdin from /dev/null, stdout into capture/out, stderr
// into err_fd or else capture/err. A traced child stops at its exec for Finish.
pid_t StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder, const ScratchFolder& capture,
                   const std::string& locale, bool traced = false, int err_fd = -1) {
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", locale.c_str(), 1);
    if (traced && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(127);
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(err_fd >= 0 ? err_fd : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return child;
}

// A traced child is held at its exit, its memory still mapped, while its
// resident size is read; other stops (the exec traps) are passed over.
ProcessResult Finish(pid_t child, const ScratchFolder& capture, bool traced = false) {
  ProcessResult result;
  int wait_status = 0;
  struct rusage usage {};
  if (traced) {
    waitpid(child, &wait_status, 0);
    ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
    ptrace(PTRACE_CONT, child, nullptr, nullptr);
  }
  for (;;) {
    wait4(child, &wait_status, 0, &usage);
    if (!WIFSTOPPED(wait_status)) break;
    long signal = WSTOPSIG(wait_status) == SIGTRAP ? 0 : WSTOPSIG(wait_status);
    if (wait_status >> 8 == (SIGTRAP | PTRACE_EVENT_EXIT << 8)) {
      std::ifstream status("/proc/" + std::to_string(child) + "/status");
      for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) result.resident_at_exit_kib = std::stol(line.substr(6));
      }
    }
    ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(signal));
  }
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  result.peak_kib = usage.ru_maxrss;
  result.out = TextOf(capture / "out");
  result.err = TextOf(capture / "err");
  return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, const std::string& locale) {
  ScratchFolder capture;
  return Finish(StartProcess(program, arguments, folder, capture, locale), capture);
}

std::string FindTool(const std::string& name) {
  const std::string found = RunProcess("/bin/sh", {"-c", "command -v \"$0\"", name}).out;
  return found.empty() ? "" : found.substr(0, found.size() - 1);
}

ProcessResult RunProcessMeasuringExit(const std::string& program,
                                      const std::vector<std::string>& arguments,
                                      const std::string& folder) {
  ScratchFolder capture;
  const pid_t child = StartProcess(program, arguments, folder, capture, kJapaneseLocale, true);
  return Finish(child, capture, true);
}

ProcessResult RunInterruptedAtFirstTick(const std::string& program,
                                        const std::vector<std::string>& arguments,
                                        const std::string& folder, const std::string& locale) {
  int terminal = -1, child_side = -1;
  ProcessResult result;
  result.err = "no pseudo-terminal to run on";
  if (openpty(&terminal, &child_side, nullptr, nullptr, nullptr) != 0) return result;
  ScratchFolder capture;
  const pid_t child = StartProcess(program, arguments, folder, capture, locale, false, child_side);
  close(child_side);
  // Everything the bar draws is read, so the child never blocks on a full
  // terminal; the read fails once the child has exited and closed its side.
  std::string drawn;
  bool interrupted = false;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
    drawn.append(buffer, static_cast<size_t>(got));
    if (!interrupted && drawn.find('%') != std::string::npos) {
      kill(child, SIGINT);
      interrupted = true;
    }
  }
  close(terminal);
  result = Finish(child, capture);
  result.err = drawn;
  return result;
}

}  // namespace kelditra
