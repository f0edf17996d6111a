// The transition-moment table: its reading, its errors and its interpolation.
#include "props/moment_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk::props {
namespace {

std::string message_of(const std::string& path) {
  try {
    MomentTable::read(path);
  } catch (const InputError& error) {
    return error.what();
  }
  return "no error";
}

TEST(MomentTable, ReadsPointsSplinesThemAndHoldsTheEnds) {
  test::TempDir dir("props_moment");
  const std::string path = (dir / "tdm.txt").string();
  // A moment linear in R: the natural spline through it is the line itself.
  std::ofstream(path) << "# R (A)  M (debye)\n\n2.0 1.0\n3.0, 3.0\r\n  4.0\t5.0\n";
  const MomentTable M = MomentTable::read(path);
  EXPECT_EQ(M.size(), 3u);
  EXPECT_NEAR(M(2.5), 2.0, 1e-14);
  EXPECT_NEAR(M(3.7), 4.4, 1e-14);
  EXPECT_EQ(M(1.0), 1.0);  // held at the end values outside the table
  EXPECT_EQ(M(9.0), 5.0);
}

TEST(MomentTable, BadFilesNameTheFileAndTheLine) {
  test::TempDir dir("props_moment");
  const std::string path = (dir / "tdm.txt").string();
  EXPECT_NE(message_of(path).find("tdm.txt: cannot open"), std::string::npos);
  std::ofstream(path) << "2.0 1.0\n3.0 x\n";
  EXPECT_NE(message_of(path).find("tdm.txt: line 2: expected two numbers"), std::string::npos);
  std::ofstream(path) << "2.0 1.0\n3.0 1.0 7\n";
  EXPECT_NE(message_of(path).find("line 2: expected two numbers"), std::string::npos);
  std::ofstream(path) << "# header\n2.0 1.0\n2.0 1.5\n";
  EXPECT_NE(message_of(path).find("line 3: the radii must increase"), std::string::npos);
  std::ofstream(path) << "2.0 1.0\n";
  EXPECT_NE(message_of(path).find("expected 2 to 500 points"), std::string::npos);
}

}  // namespace
}  // namespace velk::props
