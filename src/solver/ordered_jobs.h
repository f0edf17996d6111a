// Jobs computed ahead on worker threads and taken up in order on the calling thread.
//
// Jobs are computed apart (for the levels of successive J, see "Attempts apart" in level_driver.h),
// but what a run prints must come out in J order. Workers take the next job as they become free;
// the calling thread takes the results one after another, in order, and hands them on. What a job
// prints is recorded by the pool itself, so that no job can write out of turn. Workers stay at most
// `ahead` jobs beyond the one last taken, so that a run that stops early has not spent much in
// vain.
#pragma once

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "io/console.h"
#include "io/output_recording.h"
#include "io/warning.h"

namespace velk {

// While alive, threads made by this thread leave SIGINT and SIGTERM to it: a new thread inherits
// the signal mask of its maker. The thread that writes the outputs must be the one interrupted,
// so that its interrupt handler removes the temporaries of the outputs it has open and ends the
// run before it can finish or begin another one.
class SignalsKeptFromNewThreads {
 public:
  SignalsKeptFromNewThreads() {
    sigset_t interrupts;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous_);
  }
  ~SignalsKeptFromNewThreads() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsKeptFromNewThreads(const SignalsKeptFromNewThreads&) = delete;
  SignalsKeptFromNewThreads& operator=(const SignalsKeptFromNewThreads&) = delete;

 private:
  sigset_t previous_;
};

// What a job produced, with what it printed (console lines and warnings) while producing it.
template <class Result>
struct RecordedJob {
  Result result;
  std::vector<OutputRecording::Entry> output;
};

// Computes produce(k, worker, recording) for k = 0 .. count-1 and calls take(k, job) for each, in
// order of k, on the calling thread, until take returns false: the run ends there, and jobs
// computed beyond it are dropped unseen. Whatever produce prints goes to the recording the pool
// made for it, whatever thread it runs on, and reaches take in job.output: take decides whether
// and when it is written (replay_output), and produce may place marks in it for take to act on.
// With fewer than two workers everything runs on the calling thread, one job after the other;
// otherwise `workers` threads produce (worker = 0 .. workers-1), at most `ahead` jobs beyond the
// one last taken. Only those `ahead` results are held at once, so `count` may be a bound far
// beyond the jobs a run whose end shows in its results will take. produce must not throw. An
// exception from take stops the workers and is passed on once they have ended.
template <class Result>
void run_in_order_until(
    int count, int workers, int ahead,
    const std::function<Result(int job, int worker, OutputRecording& output)>& produce,
    const std::function<bool(int job, RecordedJob<Result>& job_done)>& take) {
  const auto produce_recorded = [&](int k, int worker) {
    OutputRecording recording;
    Result result = produce(k, worker, recording);
    return RecordedJob<Result>{std::move(result), recording.take()};
  };
  if (workers < 2) {
    for (int k = 0; k < count; ++k) {
      RecordedJob<Result> job = produce_recorded(k, 0);
      if (!take(k, job)) return;
    }
    return;
  }
  ahead = std::max(ahead, 1);
  std::mutex mutex;
  std::condition_variable changed;
  // Job k waits in slot k mod ahead: a worker starts job k only once job k - ahead is taken.
  std::vector<std::optional<RecordedJob<Result>>> results(static_cast<std::size_t>(ahead));
  const auto slot = [&](int k) -> std::optional<RecordedJob<Result>>& {
    return results[static_cast<std::size_t>(k % ahead)];
  };
  int next = 0;
  int taken = 0;
  bool stop = false;
  const auto work = [&](int worker) {
    for (;;) {
      int k = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || next >= count || next < taken + ahead; });
        if (stop || next >= count) return;
        k = next++;
      }
      RecordedJob<Result> job = produce_recorded(k, worker);
      {
        std::lock_guard lock(mutex);
        slot(k) = std::move(job);
      }
      changed.notify_all();
    }
  };
  const auto stop_workers = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
  };
  std::vector<std::jthread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  {
    const SignalsKeptFromNewThreads interrupts_stay_here;
    for (int w = 0; w < workers; ++w) threads.emplace_back(work, w);
  }
  try {
    for (int k = 0; k < count; ++k) {
      std::optional<RecordedJob<Result>> job;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return slot(k).has_value(); });
        job = std::move(slot(k));
        slot(k).reset();
        taken = k + 1;
      }
      changed.notify_all();
      if (!take(k, *job)) break;
    }
  } catch (...) {
    stop_workers();
    threads.clear();
    throw;
  }
  stop_workers();
}

// run_in_order_until for a run that takes every job.
template <class Result>
void run_in_order(
    int count, int workers, int ahead,
    const std::function<Result(int job, int worker, OutputRecording& output)>& produce,
    const std::function<void(int job, RecordedJob<Result>& job_done)>& take) {
  run_in_order_until<Result>(count, workers, ahead, produce, [&](int k, RecordedJob<Result>& job) {
    take(k, job);
    return true;
  });
}

// Writes recorded output as it would have come: console lines to the console, warnings to the
// warning sink, and each mark handed to on_mark at its place among them.
inline void replay_output(std::span<const OutputRecording::Entry> output,
                          const std::function<void(int mark)>& on_mark) {
  for (const OutputRecording::Entry& entry : output) {
    switch (entry.kind) {
      case OutputRecording::Kind::console:
        console_line(entry.text);
        break;
      case OutputRecording::Kind::warning:
        warn(entry.text);
        break;
      case OutputRecording::Kind::mark:
        on_mark(entry.mark);
        break;
    }
  }
}

}  // namespace velk
