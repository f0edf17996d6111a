#include "run/control_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// The records of a control file, one string per line, every value distinct so that a value
// landing in the wrong field shows.
std::vector<std::string> full_records() {
  return {
      "title line",           // 1
      "stateA.dat",           // 2
      "d",                    // 3
      "2",                    // 4
      "stateB.pot",           // 5
      "x",                    // 6
      "3",                    // 7
      "grid heading",         // 8
      "1.25 6.5 40000",       // 9
      "1.75 9.0 50000",       // 10
      "37",                   // 11
      "2.5E-4",               // 12
      "n",                    // 13
      "level-table heading",  // 14
      "y",                    // 15
      "2",                    // 16
      "1 4 5 9 0 2",          // 17
      "one-level heading",    // 18
      "y",                    // 19
      "3 7 1",                // 20
      "2 6 3 2",              // 21
      "known-level heading",  // 22
      "n",                    // 23
      "1",                    // 24
      "4 8 0 12345.678",      // 25
      "0 5 2 3",              // 26
      "window heading",       // 27
      "y",                    // 28
      "1500.5 2.5D4",         // 29
      "0 3 10 12 1 1",        // 30
      "1 9 3",                // 31
      "LIF heading",          // 32
      "n",                    // 33
  };
}

class ControlFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_ / "velk.inf").string(); }

  void write(const std::vector<std::string>& records) {
    std::ofstream out(path_, std::ios::binary);
    for (const auto& line : records) out << line << '\n';
  }

  // Reads the control file and returns what it printed.
  std::string read(RunControl& control) {
    ::testing::internal::CaptureStdout();
    try {
      control = read_control_file(path_);
    } catch (...) {
      ::testing::internal::GetCapturedStdout();
      throw;
    }
    return ::testing::internal::GetCapturedStdout();
  }

  RunControl read_records(const std::vector<std::string>& records) {
    write(records);
    RunControl control;
    read(control);
    return control;
  }

  template <class E>
  std::string error_of(const std::vector<std::string>& records) {
    write(records);
    RunControl control;
    try {
      read(control);
    } catch (const E& error) {
      return error.what();
    }
    return "";
  }

  test::TempDir dir_{"velk_control"};
  std::string path_;
};

TEST_F(ControlFileTest, EveryRecordLandsInItsField) {
  RunControl c;
  write(full_records());
  const std::string printed = read(c);
  EXPECT_EQ(printed, " reading velk.inf\n OKy\n");

  EXPECT_EQ(c.A.file, "stateA.dat  ");
  EXPECT_EQ(c.A.kind, 'd');
  EXPECT_EQ(c.A.mass_index, 2);
  EXPECT_EQ(c.B.file, "stateB.pot  ");
  EXPECT_EQ(c.B.kind, 'x');
  EXPECT_EQ(c.B.mass_index, 3);
  EXPECT_EQ(c.A.Rmin, 1.25);
  EXPECT_EQ(c.A.Rmax, 6.5);
  EXPECT_EQ(c.A.N, 40000);
  EXPECT_EQ(c.B.Rmin, 1.75);
  EXPECT_EQ(c.B.Rmax, 9.0);
  EXPECT_EQ(c.B.N, 50000);
  EXPECT_EQ(c.maxit, 37);
  EXPECT_EQ(c.tol, 2.5E-4);
  EXPECT_EQ(c.revflag, 'n');

  const auto& t = c.level_table;
  EXPECT_EQ(t.switch_flag, 'y');
  EXPECT_EQ(t.state, 2);
  EXPECT_EQ(t.vmin, 1);
  EXPECT_EQ(t.vmax, 4);
  EXPECT_EQ(t.Jmin, 5);
  EXPECT_EQ(t.Jmax, 9);
  EXPECT_EQ(t.pmin, 0);
  EXPECT_EQ(t.pmax, 2);

  const auto& o = c.one_level;
  EXPECT_EQ(o.switch_flag, 'y');
  EXPECT_EQ(o.v, 3);
  EXPECT_EQ(o.J, 7);
  EXPECT_EQ(o.p, 1);
  EXPECT_EQ(o.vbmin, 2);
  EXPECT_EQ(o.vbmax, 6);
  EXPECT_EQ(o.branch, 3);
  EXPECT_EQ(o.dJ, 2);

  const auto& k = c.known_level;
  EXPECT_EQ(k.switch_flag, 'n');
  EXPECT_EQ(k.state, 1);
  EXPECT_EQ(k.v, 4);
  EXPECT_EQ(k.J, 8);
  EXPECT_EQ(k.p, 0);
  EXPECT_EQ(k.E, 12345.678);
  EXPECT_EQ(k.vbmin, 0);
  EXPECT_EQ(k.vbmax, 5);
  EXPECT_EQ(k.branch, 2);
  EXPECT_EQ(k.dJ, 3);

  const auto& w = c.window;
  EXPECT_EQ(w.switch_flag, 'y');
  EXPECT_EQ(w.emin, 1500.5);
  EXPECT_EQ(w.emax, 25000.0);
  EXPECT_EQ(w.vmin, 0);
  EXPECT_EQ(w.vmax, 3);
  EXPECT_EQ(w.Jmin, 10);
  EXPECT_EQ(w.Jmax, 12);
  EXPECT_EQ(w.pmin, 1);
  EXPECT_EQ(w.pmax, 1);
  EXPECT_EQ(w.vbmin, 1);
  EXPECT_EQ(w.vbmax, 9);
  EXPECT_EQ(w.branch, 3);

  EXPECT_EQ(c.lifflag, 'n');
}

TEST_F(ControlFileTest, FileMayEndAfterRecord31) {
  auto records = full_records();
  records.resize(31);
  const RunControl c = read_records(records);
  EXPECT_EQ(c.lifflag, ' ');
  EXPECT_EQ(c.window.branch, 3);
}

TEST_F(ControlFileTest, FileMayEndAfterRecord32) {
  auto records = full_records();
  records.resize(32);
  EXPECT_EQ(read_records(records).lifflag, ' ');
}

TEST_F(ControlFileTest, LastLineWithoutLineEndIsRead) {
  auto records = full_records();
  {
    std::ofstream out(path_, std::ios::binary);
    for (std::size_t i = 0; i < records.size(); ++i) {
      out << records[i] << (i + 1 < records.size() ? "\n" : "");
    }
  }
  RunControl c;
  read(c);
  EXPECT_EQ(c.lifflag, 'n');
}

TEST_F(ControlFileTest, LifFlagStopsBeforeThePointCheck) {
  auto records = full_records();
  records[8] = "1.0 5.0 60000";
  records[32] = "y";
  EXPECT_EQ(error_of<StopRun>(records), "Velk3: LIF simulation not supported.");
}

TEST_F(ControlFileTest, OnlyLowerCaseYIsALifFlag) {
  auto records = full_records();
  records[32] = "Y";
  EXPECT_EQ(read_records(records).lifflag, 'Y');
}

TEST_F(ControlFileTest, FiftyThousandPointsAreAcceptedOneMoreIsNot) {
  auto records = full_records();
  records[8] = "1.0 5.0 50000";
  records[9] = "1.0 5.0 50000";
  EXPECT_EQ(read_records(records).A.N, 50000);

  records[8] = "1.0 5.0 50001";
  EXPECT_EQ(error_of<StopRun>(records), "number of points must be less than 50000");
  records[8] = "1.0 5.0 50000";
  records[9] = "1.0 5.0 50001";
  EXPECT_EQ(error_of<StopRun>(records), "number of points must be less than 50000");
}

TEST_F(ControlFileTest, StopsComeBeforeTheOkLine) {
  auto records = full_records();
  records[9] = "1.0 5.0 50001";
  write(records);
  ::testing::internal::CaptureStdout();
  RunControl control;
  EXPECT_THROW(control = read_control_file(path_), StopRun);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), " reading velk.inf\n");
}

TEST_F(ControlFileTest, LongNameIsCutToTwelveCharactersQuotesAreKept) {
  auto records = full_records();
  records[1] = "dunA.dat.longer.name";
  records[4] = "'dunB.dat'";
  const RunControl c = read_records(records);
  EXPECT_EQ(c.A.file, "dunA.dat.lon");
  EXPECT_EQ(c.B.file, "'dunB.dat'  ");
}

TEST_F(ControlFileTest, OneCharacterTextsAreTakenAsTheyStand) {
  auto records = full_records();
  records[2] = "D  upper case: not a Dunham file";
  records[14] = "Y";
  records[18] = "";  // an empty line reads as a blank switch
  records[27] = "yes";
  const RunControl c = read_records(records);
  EXPECT_EQ(c.A.kind, 'D');
  EXPECT_EQ(c.level_table.switch_flag, 'Y');
  EXPECT_EQ(c.one_level.switch_flag, ' ');
  EXPECT_EQ(c.window.switch_flag, 'y');
}

TEST_F(ControlFileTest, OkLineCarriesTheOneLevelSwitchAsItStands) {
  auto records = full_records();
  records[18] = "Y";
  write(records);
  RunControl c;
  EXPECT_EQ(read(c), " reading velk.inf\n OKY\n");
}

TEST_F(ControlFileTest, TrailingCommentsAndRecordsOverTwoLines) {
  auto records = full_records();
  records[8] = "1.25 6.5 40000   ! grid of state A";
  records[10] = "37  iterations";
  // Record 17 spread over two lines; record 18 (a heading) is then the line after them.
  records[16] = "1 4 5";
  records.insert(records.begin() + 17, "9 0 2   rest of the ranges");
  const RunControl c = read_records(records);
  EXPECT_EQ(c.A.N, 40000);
  EXPECT_EQ(c.maxit, 37);
  EXPECT_EQ(c.level_table.Jmax, 9);
  EXPECT_EQ(c.level_table.pmax, 2);
  EXPECT_EQ(c.one_level.switch_flag, 'y');
  EXPECT_EQ(c.one_level.v, 3);
  EXPECT_EQ(c.lifflag, 'n');
}

TEST_F(ControlFileTest, TruncatedFileNamesItsLine) {
  auto records = full_records();
  records.resize(25);
  const std::string message = error_of<InputError>(records);
  EXPECT_NE(message.find("velk.inf, line 26"), std::string::npos) << message;
  EXPECT_NE(message.find("end of the file"), std::string::npos) << message;
}

TEST_F(ControlFileTest, LetterWhereANumberBelongsNamesLineAndItem) {
  auto records = full_records();
  records[8] = "1.0 abc 1000";
  const std::string message = error_of<InputError>(records);
  EXPECT_NE(message.find("velk.inf, line 9"), std::string::npos) << message;
  EXPECT_NE(message.find("item 2 of 3"), std::string::npos) << message;
  EXPECT_NE(message.find("\"abc\""), std::string::npos) << message;
}

TEST_F(ControlFileTest, RealWhereAnIntegerBelongsIsAnError) {
  auto records = full_records();
  records[3] = "2.0";
  const std::string message = error_of<InputError>(records);
  EXPECT_NE(message.find("velk.inf, line 4"), std::string::npos) << message;
}

TEST_F(ControlFileTest, MissingFileIsReportedAndNotCreated) {
  RunControl c;
  EXPECT_THROW(read(c), InputError);
  EXPECT_FALSE(fs::exists(path_));
}

}  // namespace
}  // namespace velk
