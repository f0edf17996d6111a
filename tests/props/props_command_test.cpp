// The arguments of velk-props and the names of its outputs.
#include "props/props_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "props/state_table.h"

namespace velk::props {
namespace {

PropsRequest parse(std::vector<std::string> arguments) {
  return parse_props_arguments(arguments);
}

TEST(PropsCommand, ParsesOptionsInAnyOrderAndRefusesWhatDoesNotFit) {
  const PropsRequest a = parse({"--wavefunctions", "B", "--file", "BstateQ.dat"});
  EXPECT_TRUE(a.target == "B" && a.wavefunctions && a.level_file == "BstateQ.dat");
  EXPECT_TRUE(a.refusal.empty() && !a.usage_error);
  EXPECT_EQ(parse({"transitions", "--moment=tdm.txt"}).moment_file, "tdm.txt");
  EXPECT_TRUE(parse({"A", "B"}).usage_error);
  EXPECT_TRUE(parse({"C"}).usage_error);
  EXPECT_NE(parse({"A", "--bogus"}).refusal.find("unknown option '--bogus'"), std::string::npos);
  EXPECT_NE(parse({"A", "--moment", "m.txt"}).refusal.find("--moment goes with transitions"),
            std::string::npos);
  EXPECT_NE(parse({"transitions", "--wavefunctions"}).refusal.find("go with A or B"),
            std::string::npos);
  EXPECT_NE(parse({"A", "--file"}).refusal.find("--file wants a file name"), std::string::npos);
  EXPECT_EQ(props_file_name("runs/x.y/levels"), "runs/x.y/levels_props.csv");
  EXPECT_EQ(wavefunction_file_name("BstateQ.dat"), "BstateQ_wf.csv");
}

}  // namespace
}  // namespace velk::props
