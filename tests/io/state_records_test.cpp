#include "io/state_records.h"

#include <gtest/gtest.h>

#include <string>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

class StateRecordsTest : public test::ScratchDirectoryTest {};

// Records 1 to 10 with every value distinct, then the first record after them.
const char* const kRecords =
    "title\nstateA.pot    with a comment\nd\n2\nb.dun\nx\n5\ngrid\n1.25,6.5,40000\n"
    "1.75 9.0\n50000\n37 record 11\n";

TEST_F(StateRecordsTest, ReadsBothStatesAndStopsAfterThem) {
  test::write_file("velk.inf", kRecords);
  FreeFormatReader in("velk.inf");
  const StateRecords states = read_state_records(in);
  EXPECT_EQ(states.A.file, "stateA.pot  ");  // a text of width 12, cut and padded
  EXPECT_EQ(states.A.kind, 'd');
  EXPECT_EQ(states.A.mass_index, 2);
  EXPECT_EQ(states.A.Rmin, 1.25);
  EXPECT_EQ(states.A.Rmax, 6.5);
  EXPECT_EQ(states.A.N, 40000);
  EXPECT_EQ(states.B.file, "b.dun       ");
  EXPECT_EQ(states.B.kind, 'x');
  EXPECT_EQ(states.B.mass_index, 5);
  EXPECT_EQ(states.B.Rmin, 1.75);
  EXPECT_EQ(states.B.Rmax, 9.0);
  EXPECT_EQ(states.B.N, 50000);  // the read of record 10 continued onto the next line
  // The reader stands on the record after them, as the control file goes on from there.
  int32_t next = 0;
  in.read(next);
  EXPECT_EQ(next, 37);
}

TEST_F(StateRecordsTest, AShortFileNamesTheLineThatIsMissing) {
  test::write_file("velk.inf", "title\na.pot\np\n1\nb.pot\np\n1\ngrid\n1.5 25 1000\n");
  try {
    read_state_records(std::string_view("velk.inf"));
    ADD_FAILURE() << "a control file without record 10 must be an error";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "velk: velk.inf, line 10: expected a real number (item 1 of 3), found the end "
                 "of the file");
  }
}

// Only a word that runs across the 12th character is cut; a comment after a blank is not a name.
TEST_F(StateRecordsTest, ANameCutAtTwelveCharactersIsKeptAsWritten) {
  test::write_file("velk.inf",
                   "title\nna2x_morse.pot  state A\nd\n1\nexactly12.ab comment\nx\n2\ngrid\n"
                   "1 2 3\n1 2 3\n");
  const StateRecords states = read_state_records(std::string_view("velk.inf"));
  EXPECT_EQ(states.A.file, "na2x_morse.p");
  EXPECT_EQ(states.A.file_as_written, "na2x_morse.pot");
  EXPECT_EQ(states.B.file, "exactly12.ab");
  EXPECT_EQ(states.B.file_as_written, "");
}

}  // namespace
}  // namespace velk
