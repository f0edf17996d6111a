// The worker pool that computes levels ahead: jobs taken in order, what each printed replayed in
// order, workers bounded by `ahead`, and stopped by an exception in take.
#include "solver/ordered_jobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "io/console.h"
#include "io/warning.h"
#include "support/console_capture.h"

namespace velk {
namespace {

struct PoolShape {
  int count, workers, ahead;
};

class OrderedJobsTest : public ::testing::TestWithParam<PoolShape> {};

// Each job prints a line, warns, places a mark and prints again; the jobs that take replays must
// reach the console and the warning sink exactly as if they had run one after the other, and
// the jobs it does not replay must leave no trace.
TEST_P(OrderedJobsTest, TakesInOrderAndReplaysWhatEachJobPrinted) {
  const PoolShape shape = GetParam();
  std::atomic<int> taken_so_far = 0;
  std::atomic<bool> beyond_ahead = false, bad_worker = false;
  std::vector<int> taken, marks;
  WarningCapture warnings;
  test::ConsoleCapture console;
  run_in_order<long>(
      shape.count, shape.workers, shape.ahead,
      [&](int k, int worker, OutputRecording& recording) {
        // The pool marks a job as taken just before take sees it, hence the one beyond ahead.
        if (k > taken_so_far + shape.ahead) beyond_ahead = true;
        if (worker < 0 || worker >= std::max(1, shape.workers)) bad_worker = true;
        console_line("job " + std::to_string(k) + " begins");
        warn("job " + std::to_string(k));
        recording.mark(100 + k);
        console_line("job " + std::to_string(k) + " ends");
        return long{k} * k;
      },
      [&](int k, RecordedJob<long>& job) {
        taken.push_back(k);
        ++taken_so_far;
        EXPECT_EQ(job.result, long{k} * k);
        if (k % 3 == 2) return;  // an attempt dropped: its output goes nowhere
        replay_output(job.output, [&](int mark) {
          marks.push_back(mark);
          console_line("mark " + std::to_string(mark));
        });
      });
  std::string expected_console;
  std::vector<std::string> expected_warnings;
  std::vector<int> expected_taken, expected_marks;
  for (int k = 0; k < shape.count; ++k) {
    expected_taken.push_back(k);
    if (k % 3 == 2) continue;
    const std::string job = "job " + std::to_string(k);
    expected_console += job + " begins\nmark " + std::to_string(100 + k) + "\n" + job + " ends\n";
    expected_warnings.push_back(std::string(kWarningPrefix) + job);
    expected_marks.push_back(100 + k);
  }
  EXPECT_EQ(taken, expected_taken);
  EXPECT_EQ(marks, expected_marks);
  EXPECT_EQ(console.text(), expected_console);
  EXPECT_EQ(warnings.lines(), expected_warnings);
  EXPECT_FALSE(beyond_ahead);
  EXPECT_FALSE(bad_worker);
}

INSTANTIATE_TEST_SUITE_P(Shapes, OrderedJobsTest,
                         ::testing::Values(PoolShape{7, 1, 4}, PoolShape{0, 3, 2},
                                           PoolShape{40, 3, 2}, PoolShape{40, 2, 1},
                                           PoolShape{3, 4, 8}),
                         [](const auto& info) {
                           return std::to_string(info.param.count) + "jobs" +
                                  std::to_string(info.param.workers) + "workers" +
                                  std::to_string(info.param.ahead) + "ahead";
                         });

TEST(OrderedJobs, OneWorkerRunsEveryJobOnTheCallingThreadInTurn) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::string> events;
  run_in_order<int>(
      3, 1, 4,
      [&](int k, int, OutputRecording&) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        events.push_back("produce " + std::to_string(k));
        return k;
      },
      [&](int k, RecordedJob<int>&) { events.push_back("take " + std::to_string(k)); });
  EXPECT_EQ(events, (std::vector<std::string>{"produce 0", "take 0", "produce 1", "take 1",
                                              "produce 2", "take 2"}));
}

// A stop in take ends the run: the workers finish the jobs they hold and start no more than
// `ahead` beyond the last one taken, and are gone when the exception arrives.
TEST(OrderedJobs, AnExceptionInTakeStopsTheWorkersAndIsPassedOn) {
  constexpr int kAhead = 4, kStopAt = 3;
  std::atomic<int> produced = 0;
  EXPECT_THROW(run_in_order<int>(
                   1000, 3, kAhead,
                   [&](int k, int, OutputRecording&) {
                     ++produced;
                     return k;
                   },
                   [&](int k, RecordedJob<int>&) {
                     if (k == kStopAt) throw std::runtime_error("stop");
                   }),
               std::runtime_error);
  const int at_return = produced;
  EXPECT_LE(at_return, kStopAt + 1 + kAhead);
  EXPECT_GE(at_return, kStopAt + 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(produced, at_return);
}

// A run whose end shows in its results: take ends it, nothing after that job is taken, and the
// count can be a bound far beyond the jobs taken (only the jobs ahead are held).
TEST(OrderedJobs, TakeEndsTheRunWhereItsResultsEnd) {
  for (const int workers : {1, 3}) {
    constexpr int kAhead = 4, kLast = 57;
    std::atomic<int> produced = 0;
    std::vector<int> taken;
    run_in_order_until<int>(
        std::numeric_limits<int>::max() - 1, workers, kAhead,
        [&](int k, int, OutputRecording&) {
          ++produced;
          return 2 * k;
        },
        [&](int k, RecordedJob<int>& job) {
          EXPECT_EQ(job.result, 2 * k);
          taken.push_back(k);
          return k < kLast;
        });
    ASSERT_EQ(taken.size(), static_cast<std::size_t>(kLast + 1)) << workers << " workers";
    EXPECT_EQ(taken.back(), kLast);
    EXPECT_LE(produced, kLast + 1 + kAhead) << workers << " workers";
  }
}

}  // namespace
}  // namespace velk
