#include "io/console.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "io/formatted_output.h"

namespace velk {
namespace {

// Standard output and standard error go to strings for each test; the console starts and ends
// each test in its default, talkative mode.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_out_ = std::cout.rdbuf(output_.rdbuf());
    saved_err_ = std::cerr.rdbuf(errors_.rdbuf());
  }
  void TearDown() override {
    set_console_quiet(false);
    std::cout.rdbuf(saved_out_);
    std::cerr.rdbuf(saved_err_);
  }

  std::ostringstream output_, errors_;
  std::streambuf* saved_out_ = nullptr;
  std::streambuf* saved_err_ = nullptr;
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

TEST_F(ConsoleTest, MessagesGoWithTheProgressLinesByDefault) {
  console_line("reading velk.inf");
  console_message("Umin >  Umax");
  EXPECT_EQ(output_.str(), "reading velk.inf\nUmin >  Umax\n");
  EXPECT_EQ(errors_.str(), "");
}

TEST_F(ConsoleTest, QuietDropsProgressAndSendsMessagesToStandardError) {
  set_console_quiet(true);
  console_line("reading velk.inf");
  FreeLine line;
  line << "OK";
  console_line(line);
  console_message("Umin >  Umax");
  EXPECT_EQ(output_.str(), "");
  EXPECT_EQ(errors_.str(), "Umin >  Umax\n");
  // The switch goes back: a test or a second run in the same process talks again.
  set_console_quiet(false);
  console_line("reading velk.inf");
  EXPECT_EQ(output_.str(), "reading velk.inf\n");
}

}  // namespace
}  // namespace velk
