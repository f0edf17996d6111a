// The wave-function table of velk-props --wavefunctions, as velk-plot reads it back.
#include "plot/wavefunction_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk::plot {
namespace {

std::string error_of(const std::string& path) {
  try {
    read_wavefunction_table(path);
  } catch (const InputError& error) {
    return error.what();
  }
  return "no error";
}

TEST(WaveFunctionTable, ReadsQuotedLevelNamesAndEmptyCells) {
  test::TempDir dir("plot_wf");
  const std::string path = (dir / "Astate_wf.csv").string();
  std::ofstream(path) << "R,\"v=0,J=10,p=1\",\"v=1,J=10,p=0\"\r\n1.5,0.25,\n1.75,-1e-3,\n";
  const WaveFunctionTable table = read_wavefunction_table(path);
  ASSERT_EQ(table.R.size(), 2u);
  EXPECT_EQ(table.R[1], 1.75);
  ASSERT_EQ(table.columns.size(), 2u);
  EXPECT_EQ(table.columns[1].v, 1);
  EXPECT_EQ(table.columns[1].J, 10);
  EXPECT_EQ(table.columns[1].p, 0);
  EXPECT_EQ(table.columns[0].psi[1], -1e-3);
  EXPECT_TRUE(std::isnan(table.columns[1].psi[0]));  // a level not found
  EXPECT_EQ(table.find(1, 10, 0), &table.columns[1]);
  EXPECT_EQ(table.find(1, 10, 1), nullptr);
}

TEST(WaveFunctionTable, NamesTheFileAndLineOfAFault) {
  test::TempDir dir("plot_wf");
  const std::string path = (dir / "Bstate_wf.csv").string();
  EXPECT_NE(error_of(path).find("run velk-props with --wavefunctions first"), std::string::npos);
  std::ofstream(path) << "R,\"v=0,J=0\"\n1.0,0.5\n1.1,x\n";
  EXPECT_NE(error_of(path).find("Bstate_wf.csv: line 3: expected a number in column 2"),
            std::string::npos);
}

}  // namespace
}  // namespace velk::plot
