#include "run/pause.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "io/console.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Standard input comes from a string and standard output goes to a string for each test.
class PauseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_in_ = std::cin.rdbuf(input_.rdbuf());
    saved_out_ = std::cout.rdbuf(output_.rdbuf());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("velk_pause_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::cin.rdbuf(saved_in_);
    std::cout.rdbuf(saved_out_);
    std::cin.clear();
    fs::remove_all(dir_);
  }

  void give_input(const std::string& text) { input_.str(text); }
  // What is left of the input after the pause.
  std::string rest_of_input() {
    std::ostringstream rest;
    rest << input_.rdbuf();
    return rest.str();
  }

  std::istringstream input_;
  std::ostringstream output_;
  std::streambuf* saved_in_ = nullptr;
  std::streambuf* saved_out_ = nullptr;
  fs::path dir_;
};

TEST_F(PauseTest, EmptyLineContinuesAndReadsOnlyThatLine) {
  give_input("\nnext answer\n");
  pause("singular matrix in gaussj");
  EXPECT_EQ(output_.str(), "singular matrix in gaussj\n");
  EXPECT_EQ(rest_of_input(), "next answer\n");
}

TEST_F(PauseTest, EndOfInputContinues) {
  give_input("");
  pause("x not in range in chebev");
  EXPECT_EQ(output_.str(), "x not in range in chebev\n");
}

TEST_F(PauseTest, BlankOrWindowsEmptyAnswerContinues) {
  give_input("  \t\r\nrest\n");
  pause("message");
  EXPECT_EQ(output_.str(), "message\n");
  EXPECT_EQ(rest_of_input(), "rest\n");

  output_.str("");
  give_input("\r\n");
  pause("message");
  EXPECT_EQ(output_.str(), "message\n");
}

TEST_F(PauseTest, MessageStandsAloneOnItsLine) {
  console_line("before");
  give_input("\n");
  pause("bessk series failed to converge");
  console_line("after");
  EXPECT_EQ(output_.str(), "before\nbessk series failed to converge\nafter\n");
}

TEST_F(PauseTest, NonEmptyAnswerIsRunByTheShellAndThePauseRepeats) {
  const fs::path first = dir_ / "first";
  const fs::path second = dir_ / "second";
  // The second command ends in a carriage return, which is not handed to the shell.
  give_input("touch '" + first.string() + "'\ntrue\ntouch '" + second.string() + "'\r\n\nleft\n");
  pause("cf2 failed in bessjy");
  EXPECT_EQ(output_.str(),
            "cf2 failed in bessjy\ncf2 failed in bessjy\ncf2 failed in bessjy\n"
            "cf2 failed in bessjy\n");
  EXPECT_TRUE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second));
  EXPECT_EQ(rest_of_input(), "left\n");
}

TEST_F(PauseTest, CommandThenEndOfInputContinues) {
  give_input("true");
  pause("lfit: no parameters to be fitted");
  EXPECT_EQ(output_.str(), "lfit: no parameters to be fitted\nlfit: no parameters to be fitted\n");
}

// A run hands every numerical failure to the pause: the handler of the run layer waits for its
// line, runs a command and offers the pause again, exactly as pause itself does.
TEST_F(PauseTest, TheRunsFailureHandlerIsThePause) {
  const fs::path ran = dir_ / "ran";
  give_input("touch '" + ran.string() + "'\n\nleft\n");
  const NumericalFailureHandler on_failure = run_failure_handler();
  on_failure("singular matrix in gaussj");
  EXPECT_EQ(output_.str(), "singular matrix in gaussj\nsingular matrix in gaussj\n");
  EXPECT_TRUE(fs::exists(ran));
  EXPECT_EQ(rest_of_input(), "left\n");
}

}  // namespace
}  // namespace velk
