#include "io/console.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "io/formatted_output.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Standard input comes from a string and standard output goes to a string for each test.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_in_ = std::cin.rdbuf(input_.rdbuf());
    saved_out_ = std::cout.rdbuf(output_.rdbuf());
  }
  void TearDown() override {
    std::cin.rdbuf(saved_in_);
    std::cout.rdbuf(saved_out_);
    std::cin.clear();
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
  test::TempDir dir_{"velk_console"};
};

TEST_F(ConsoleTest, ConsoleLineEndsTheLine) {
  console_line("reading velk.inf");
  console_line("");
  EXPECT_EQ(output_.str(), "reading velk.inf\n\n");
}

TEST_F(ConsoleTest, ConsoleLineWritesEveryLineOfAFreeFormatWrite) {
  FreeLine line;
  for (int i = 1; i <= 7; ++i) line << i;
  console_line(line);
  console_line(FreeLine());
  EXPECT_EQ(output_.str(),
            "           1           2           3           4           5           6\n"
            "           7\n"
            " \n");
}

TEST_F(ConsoleTest, EmptyLineContinuesAndReadsOnlyThatLine) {
  give_input("\nnext answer\n");
  pause("singular matrix in gaussj");
  EXPECT_EQ(output_.str(), "singular matrix in gaussj\n");
  EXPECT_EQ(rest_of_input(), "next answer\n");
}

TEST_F(ConsoleTest, EndOfInputContinues) {
  give_input("");
  pause("x not in range in chebev");
  EXPECT_EQ(output_.str(), "x not in range in chebev\n");
}

TEST_F(ConsoleTest, BlankOrWindowsEmptyAnswerContinues) {
  give_input("  \t\r\nrest\n");
  pause("message");
  EXPECT_EQ(output_.str(), "message\n");
  EXPECT_EQ(rest_of_input(), "rest\n");

  output_.str("");
  give_input("\r\n");
  pause("message");
  EXPECT_EQ(output_.str(), "message\n");
}

TEST_F(ConsoleTest, MessageStandsAloneOnItsLine) {
  console_line("before");
  give_input("\n");
  pause("bessk series failed to converge");
  console_line("after");
  EXPECT_EQ(output_.str(), "before\nbessk series failed to converge\nafter\n");
}

TEST_F(ConsoleTest, NonEmptyAnswerIsRunByTheShellAndThePauseRepeats) {
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

TEST_F(ConsoleTest, CommandThenEndOfInputContinues) {
  give_input("true");
  pause("lfit: no parameters to be fitted");
  EXPECT_EQ(output_.str(), "lfit: no parameters to be fitted\nlfit: no parameters to be fitted\n");
}

}  // namespace
}  // namespace velk
