#include "io/console.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "io/formatted_output.h"

namespace velk {
namespace {

// Standard output goes to a string for each test.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_out_ = std::cout.rdbuf(output_.rdbuf()); }
  void TearDown() override { std::cout.rdbuf(saved_out_); }

  std::ostringstream output_;
  std::streambuf* saved_out_ = nullptr;
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

}  // namespace
}  // namespace velk
