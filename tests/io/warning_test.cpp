#include "io/warning.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace velk {
namespace {

// Standard error as a string for the length of a test.
class StderrCapture {
 public:
  StderrCapture() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~StderrCapture() { std::cerr.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* old_;
};

TEST(Warning, GoesToStandardErrorWithItsPrefixOncePerText) {
  StderrCapture err;
  // Texts no other test of this program gives, since standard error remembers what it was given.
  warn("warning test: first");
  warn("warning test: second");
  warn("warning test: first");
  EXPECT_EQ(err.text(),
            "velk: warning: warning test: first\nvelk: warning: warning test: second\n");
}

TEST(Warning, ACaptureKeepsTheLinesAndTheInnermostOneReceivesThem) {
  StderrCapture err;
  WarningCapture outer;
  warn("a");
  {
    WarningCapture inner;
    warn("b");
    warn("b");
    EXPECT_EQ(inner.lines(), std::vector<std::string>{"velk: warning: b"});
  }
  warn("c");
  EXPECT_EQ(outer.lines(), (std::vector<std::string>{"velk: warning: a", "velk: warning: c"}));
  EXPECT_EQ(err.text(), "");
}

}  // namespace
}  // namespace velk
