// Jobs computed ahead on worker threads and taken up in order on the calling thread.
//
// The levels of successive J are independent given the curve, but what a run prints must come out
// in J order. Workers take the next job as they become free; the calling thread takes the results
// one after another, in order, and hands them on. Workers stay at most `ahead` jobs beyond the one
// last taken, so that a run that stops early has not spent much in vain.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <csignal>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

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

// Computes produce(k, worker) for k = 0 .. count-1 and calls take(k, result) for each, in order of
// k, on the calling thread. With fewer than two workers everything runs on the calling thread, one
// job after the other; otherwise `workers` threads produce (worker = 0 .. workers-1). produce must
// not throw. An exception from take stops the workers and is passed on once they have ended.
template <class Result>
void run_in_order(int count, int workers, int ahead,
                  const std::function<Result(int job, int worker)>& produce,
                  const std::function<void(int job, Result& result)>& take) {
  if (workers < 2) {
    for (int k = 0; k < count; ++k) {
      Result result = produce(k, 0);
      take(k, result);
    }
    return;
  }
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<Result>> results(static_cast<std::size_t>(count));
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
      Result result = produce(k, worker);
      {
        std::lock_guard lock(mutex);
        results[static_cast<std::size_t>(k)] = std::move(result);
      }
      changed.notify_all();
    }
  };
  std::vector<std::jthread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  {
    const SignalsKeptFromNewThreads interrupts_stay_here;
    for (int w = 0; w < workers; ++w) threads.emplace_back(work, w);
  }
  try {
    for (int k = 0; k < count; ++k) {
      std::optional<Result> result;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return results[static_cast<std::size_t>(k)].has_value(); });
        result = std::move(results[static_cast<std::size_t>(k)]);
        results[static_cast<std::size_t>(k)].reset();
        taken = k + 1;
      }
      changed.notify_all();
      take(k, *result);
    }
  } catch (...) {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    threads.clear();
    throw;
  }
}

}  // namespace velk
