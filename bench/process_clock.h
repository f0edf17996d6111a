// Clocks for timing on a shared machine. Wall time counts what other programs take of the cores
// (it once moved the floor sweep from 6.8 to 15.3 ns a point); the CPU time of the process counts
// only its own work, of every thread. A benchmark that divides a run by the floor sweep takes both
// by CPU time in the same process, and reports wall time beside it for the threaded runs, where
// the gain is in wall time.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace velk::bench {

// CPU seconds of this process so far, every thread counted.
inline double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

inline double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A whole program run as a child process: user + system CPU of the child (every thread) and the
// wall time from fork to its end.
struct ChildRun {
  int status = -1;  // the exit status, -1 when it did not exit normally
  double cpu_seconds = 0.0, wall_seconds = 0.0;
};

// Runs `program` with `arguments` in folder `cwd`, its standard output and error discarded.
inline ChildRun run_child(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& cwd) {
  ChildRun run;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const double start = wall_seconds();
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.wall_seconds = wall_seconds() - start;
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  run.cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

}  // namespace velk::bench
