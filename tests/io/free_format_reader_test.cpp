#include "io/free_format_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Each test writes its input files into a directory of its own.
class FreeFormatReaderTest : public ::testing::Test {
 protected:
  // Writes `content` byte for byte (no line end is added) and returns the path.
  std::string write(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path.string();
  }

  // The message of the InputError that `action` throws, or "" when it throws none.
  template <class Action>
  static std::string input_error(Action action) {
    try {
      action();
    } catch (const InputError& error) {
      return error.what();
    }
    return "";
  }

  test::TempDir dir_{"velk_reader"};
};

TEST_F(FreeFormatReaderTest, ReadContinuesOverLinesAndIgnoresTheRestOfItsLastLine) {
  const auto path = write("in.dat",
                          "1 2.5\n"
                          "\n"
                          "   \n"
                          "3  trailing comment 99\n"
                          "4.0 !comment\n");
  FreeFormatReader in(path);
  int32_t a = 0, c = 0;
  double b = 0.0, d = 0.0;
  in.read(a, b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2.5);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(in.line_number(), 4);
  // The comment "trailing comment 99" is not read: the next read starts on line 5.
  in.read(d);
  EXPECT_EQ(d, 4.0);
  EXPECT_EQ(in.line_number(), 5);
}

TEST_F(FreeFormatReaderTest, SeparatorsAreBlanksTabsCommasAndLineEnds) {
  const auto path = write("in.dat", "1,2\t3 , 4,\n5\n");
  FreeFormatReader in(path);
  int32_t v[5] = {};
  in.read(v[0], v[1], v[2], v[3], v[4]);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(v[i], i + 1);
}

TEST_F(FreeFormatReaderTest, SlashEndsTheReadLeavingTheRemainingItemsUnchanged) {
  const auto path = write("in.dat",
                          "1 / 2 3\n"
                          "4\n"
                          "5/\n"
                          "/\n"
                          "6\n");
  FreeFormatReader in(path);
  int32_t a = -1, b = -1, c = -1;
  in.read(a, b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, -1);
  EXPECT_EQ(c, -1);
  // A read continuing onto the next line may be ended there too; a slash glued to a value ends it.
  double x = -1.0, y = -1.0, z = -1.0;
  in.read(x, y, z);
  EXPECT_EQ(x, 4.0);
  EXPECT_EQ(y, 5.0);
  EXPECT_EQ(z, -1.0);
  // A slash first leaves every item as it was.
  a = 7;
  in.read(a);
  EXPECT_EQ(a, 7);
  in.read(a);
  EXPECT_EQ(a, 6);
}

TEST_F(FreeFormatReaderTest, NullValueLeavesItsItemUnchanged) {
  const auto path = write("in.dat",
                          "1,,3\n"
                          ",5\n"
                          "1, ,3\n"
                          "1 , 2,\n"
                          ",\n"
                          "9\n");
  FreeFormatReader in(path);
  int32_t a = 7, b = 8, c = 9;
  in.read(a, b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 8);
  EXPECT_EQ(c, 3);
  // A leading comma is a null value for the first item.
  a = 7, b = 8;
  in.read(a, b);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 5);
  // Blanks between two commas do not make a value.
  a = 7, b = 8, c = 9;
  in.read(a, b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 8);
  EXPECT_EQ(c, 3);
  // A comma after a value (with blanks before it, or at the end of a line) only separates; the
  // comma that opens the next line after that is a null value for the third item.
  a = 7, b = 8, c = 9;
  in.read(a, b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 9);
  int32_t d = 0;
  in.read(d);
  EXPECT_EQ(d, 9);
}

TEST_F(FreeFormatReaderTest, RealSpellings) {
  const auto path = write("in.dat", "1. .5 +3 -2 1.0+5 1.0-5 2.5D2 2.5d-2 1E3 -.25e+1 7\n");
  FreeFormatReader in(path);
  double v[11] = {};
  in.read(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]);
  // Every expected value is exactly the double nearest the decimal written.
  EXPECT_EQ(v[0], 1.0);
  EXPECT_EQ(v[1], 0.5);
  EXPECT_EQ(v[2], 3.0);
  EXPECT_EQ(v[3], -2.0);
  EXPECT_EQ(v[4], 1.0e5);
  EXPECT_EQ(v[5], 1.0e-5);
  EXPECT_EQ(v[6], 250.0);
  EXPECT_EQ(v[7], 0.025);
  EXPECT_EQ(v[8], 1000.0);
  EXPECT_EQ(v[9], -2.5);
  EXPECT_EQ(v[10], 7.0);
}

TEST(ParseReal, AcceptsTheListDirectedForms) {
  EXPECT_EQ(parse_real("1."), 1.0);
  EXPECT_EQ(parse_real(".5"), 0.5);
  EXPECT_EQ(parse_real("+3"), 3.0);
  EXPECT_EQ(parse_real("+.5"), 0.5);
  EXPECT_EQ(parse_real("1.0+5"), 1.0e5);
  EXPECT_EQ(parse_real("1+5"), 1.0e5);
  EXPECT_EQ(parse_real("1.0-5"), 1.0e-5);
  EXPECT_EQ(parse_real("1.5D+3"), 1500.0);
  EXPECT_EQ(parse_real("0.1"), 0.1);
  // The largest double and the smallest subnormal read exactly.
  EXPECT_EQ(parse_real("1.7976931348623157e308"), DBL_MAX);
  EXPECT_EQ(parse_real("4.9406564584124654e-324"), 4.9406564584124654e-324);
  // Far below the smallest subnormal the value is lost to zero, keeping its sign.
  const auto tiny = parse_real("-1e-400");
  ASSERT_TRUE(tiny.has_value());
  EXPECT_EQ(*tiny, 0.0);
  EXPECT_TRUE(std::signbit(*tiny));
}

TEST(ParseReal, RejectsWhatIsNotAReal) {
  for (const char* text :
       {"",      "+",    "-",        ".",         "+.",    "e5",     "1.0e",
        "1.0e+", "1.0+", "1.0E5.0",  "1.0.0",     "1..",   "abc",    "1,0",
        "3*1.0", "2*",   "1.0q5",    "1.0Q5",     "0x1p3", "NaN",    "nan",
        "Inf",   "inf",  "Infinity", "-Infinity", "1e309", "-1e309", "1.797693134862316e308",
        "1.0 ",  " 1.0", "1.0e5x"}) {
    EXPECT_FALSE(parse_real(text).has_value()) << '"' << text << '"';
  }
}

TEST(ParseInteger, Accepts32BitIntegers) {
  EXPECT_EQ(parse_integer("0"), 0);
  EXPECT_EQ(parse_integer("+3"), 3);
  EXPECT_EQ(parse_integer("-3"), -3);
  EXPECT_EQ(parse_integer("00012"), 12);
  EXPECT_EQ(parse_integer("2147483647"), INT32_MAX);
  EXPECT_EQ(parse_integer("-2147483648"), INT32_MIN);
}

TEST(ParseInteger, RejectsRealsRepeatCountsAndValuesBeyond32Bits) {
  for (const char* text :
       {"", "+", "-", "1.0", "1.", ".5", "1e3", "1E3", "1d0", "3*1", "2147483648", "-2147483649",
        "4294967296", "99999999999999999999999", "0x10", "1 ", "one", "--1", "+-1"}) {
    EXPECT_FALSE(parse_integer(text).has_value()) << '"' << text << '"';
  }
}

TEST_F(FreeFormatReaderTest, IntegerWrittenAsARealIsAConversionError) {
  const auto path = write("in.dat", "1.0 2\n");
  FreeFormatReader in(path);
  int32_t a = 0, b = 0;
  EXPECT_EQ(input_error([&] { in.read(a, b); }),
            "velk: " + path + ", line 1: expected an integer (item 1 of 2), found \"1.0\"");
}

TEST_F(FreeFormatReaderTest, IntegerRangeIsThirtyTwoBits) {
  const auto path = write("in.dat", "2147483647\n2147483648\n");
  FreeFormatReader in(path);
  int32_t a = 0;
  in.read(a);
  EXPECT_EQ(a, 2147483647);
  EXPECT_EQ(input_error([&] { in.read(a); }),
            "velk: " + path + ", line 2: expected an integer, found \"2147483648\"");
  EXPECT_EQ(a, 2147483647);
}

TEST_F(FreeFormatReaderTest, RealBeyondTheDoubleRangeIsAConversionError) {
  const auto path = write("in.dat", "1e308 1e309\n");
  FreeFormatReader in(path);
  double a = 0.0, b = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a, b); }),
            "velk: " + path + ", line 1: expected a real number (item 2 of 2), found \"1e309\"");
}

TEST_F(FreeFormatReaderTest, RepeatCountIsAConversionError) {
  const auto path = write("in.dat", "3*1.0\n");
  FreeFormatReader in(path);
  double a = 0.0, b = 0.0, c = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a, b, c); }),
            "velk: " + path + ", line 1: expected a real number (item 1 of 3), found \"3*1.0\"");
}

TEST_F(FreeFormatReaderTest, BadValueNamesItsOwnLine) {
  const auto path = write("in.dat", "l1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\n1.0 abc 3.0\n");
  FreeFormatReader in(path);
  for (int i = 0; i < 8; ++i) in.skip();
  double a = 0.0, b = 0.0, c = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a, b, c); }),
            "velk: " + path + ", line 9: expected a real number (item 2 of 3), found \"abc\"");
  // The item before the bad one was already stored.
  EXPECT_EQ(a, 1.0);
}

TEST_F(FreeFormatReaderTest, BadValueOnAContinuationLineNamesThatLine) {
  const auto path = write("in.dat", "1.0\n\n2.0 x\n");
  FreeFormatReader in(path);
  double a = 0.0, b = 0.0, c = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a, b, c); }),
            "velk: " + path + ", line 3: expected a real number (item 3 of 3), found \"x\"");
}

TEST_F(FreeFormatReaderTest, LongBadValueIsShortenedAndControlCharactersHidden) {
  const std::string token = "\x01" + std::string(50, 'x');
  const auto path = write("in.dat", token + "\n");
  FreeFormatReader in(path);
  int32_t a = 0;
  EXPECT_EQ(input_error([&] { in.read(a); }), "velk: " + path +
                                                  ", line 1: expected an integer, found \"?" +
                                                  std::string(39, 'x') + "...\"");
}

TEST_F(FreeFormatReaderTest, EndOfFileNamesTheLineThatIsMissing) {
  const auto path = write("in.dat", "1\n2\n");
  FreeFormatReader in(path);
  int32_t a = 0;
  in.read(a);
  in.skip();
  EXPECT_EQ(input_error([&] { in.read(a); }),
            "velk: " + path + ", line 3: expected an integer, found the end of the file");
}

TEST_F(FreeFormatReaderTest, EndOfFileInsideAReadNamesTheItemStillWanted) {
  const auto path = write("in.dat", "1.0 2.0\n");
  FreeFormatReader in(path);
  double a = 0.0, b = 0.0, c = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a, b, c); }),
            "velk: " + path +
                ", line 2: expected a real number (item 3 of 3), found the end of the file");
}

TEST_F(FreeFormatReaderTest, EndOfFileForSkipsAndTexts) {
  const auto path = write("in.dat", "only\n");
  FreeFormatReader in(path);
  EXPECT_TRUE(in.try_skip());
  EXPECT_FALSE(in.try_skip());
  EXPECT_FALSE(in.try_read_text(12).has_value());
  EXPECT_EQ(input_error([&] { in.skip(); }),
            "velk: " + path + ", line 2: expected a line, found the end of the file");
  EXPECT_EQ(input_error([&] { in.read_text(1); }),
            "velk: " + path + ", line 2: expected a line of text, found the end of the file");
  EXPECT_EQ(input_error([&] { in.read(); }),
            "velk: " + path + ", line 2: expected a line, found the end of the file");
}

TEST_F(FreeFormatReaderTest, EmptyFileMeetsTheEndOfTheFileOnLineOne) {
  const auto path = write("in.dat", "");
  FreeFormatReader in(path);
  double a = 0.0;
  EXPECT_EQ(input_error([&] { in.read(a); }),
            "velk: " + path + ", line 1: expected a real number, found the end of the file");
}

TEST_F(FreeFormatReaderTest, SkipConsumesOneLineWhateverItHolds) {
  const auto path = write("in.dat", "not numbers at all / , ,\n\n42\n");
  FreeFormatReader in(path);
  in.skip();
  in.read();  // a read without items is a skip too, even of an empty line
  int32_t a = 0;
  in.read(a);
  EXPECT_EQ(a, 42);
  EXPECT_EQ(in.line_number(), 3);
}

TEST_F(FreeFormatReaderTest, TextReadsTakeTheFirstWidthCharactersPaddedWithBlanks) {
  const auto path = write("in.dat",
                          "y\n"
                          "yes\n"
                          "\n"
                          "A\n"
                          " a\n"
                          "Astate.dat\n"
                          "potential_file.dat\n"
                          "exactly12chr\n"
                          "tab\there\n");
  FreeFormatReader in(path);
  EXPECT_EQ(in.read_text(1), "y");
  EXPECT_EQ(in.read_text(1), "y");
  EXPECT_EQ(in.read_text(2), "  ");
  EXPECT_EQ(in.read_text(2), "A ");
  EXPECT_EQ(in.read_text(2), " a");
  EXPECT_EQ(in.read_text(12), "Astate.dat  ");
  EXPECT_EQ(in.read_text(12), "potential_fi");
  EXPECT_EQ(in.read_text(12), "exactly12chr");
  // Characters are taken as they stand.
  EXPECT_EQ(in.read_text(12), "tab\there    ");
  EXPECT_EQ(in.line_number(), 9);
}

TEST_F(FreeFormatReaderTest, WindowsLineEndsReadAlike) {
  const auto path =
      write("in.dat", "1 2\r\n3.5\r\nAB\r\n\r\nA\r\nlonger than twelve\r\n7,\r\n,8\r\n");
  FreeFormatReader in(path);
  int32_t a = 0, b = 0;
  double x = 0.0;
  in.read(a, b);
  in.read(x);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(x, 3.5);
  EXPECT_EQ(in.read_text(12), "AB          ");
  EXPECT_EQ(in.read_text(1), " ");
  EXPECT_EQ(in.read_text(2), "A ");
  EXPECT_EQ(in.read_text(12), "longer than ");
  // The carriage return between the two commas is a blank, so the second comma is a null value.
  int32_t c = 5, d = 6, e = 7;
  in.read(c, d, e);
  EXPECT_EQ(c, 7);
  EXPECT_EQ(d, 6);
  EXPECT_EQ(e, 8);
}

TEST_F(FreeFormatReaderTest, LastLineWithoutALineEndReads) {
  const auto path = write("in.dat", "1\n2.5 3");
  FreeFormatReader in(path);
  int32_t a = 0, c = 0;
  double b = 0.0;
  in.read(a);
  in.read(b, c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2.5);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(input_error([&] { in.read(a); }),
            "velk: " + path + ", line 3: expected an integer, found the end of the file");

  const auto text_path = write("text.dat", "Bstate.dat");
  FreeFormatReader text(text_path);
  EXPECT_EQ(text.read_text(12), "Bstate.dat  ");
  EXPECT_FALSE(text.try_read_text(12).has_value());
}

TEST_F(FreeFormatReaderTest, FileNameIsTrimmedOfTrailingBlanks) {
  const auto path = write("short.dat", "5\n");
  FreeFormatReader in(path + "   ");
  EXPECT_EQ(in.file_name(), path);
  int32_t a = 0;
  in.read(a);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(trimmed_file_name("Astate.dat  "), "Astate.dat");
  EXPECT_EQ(trimmed_file_name("            "), "");
  EXPECT_EQ(trimmed_file_name(" lead"), " lead");
}

TEST_F(FreeFormatReaderTest, MissingFileIsReportedAndNotCreated) {
  const fs::path missing = dir_ / "nothere.dat";
  const std::string message = input_error([&] { FreeFormatReader in(missing.string() + "  "); });
  EXPECT_EQ(message, "velk: cannot open input file \"" + missing.string() + "\": no such file");
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(FreeFormatReaderTest, BlankFileNameAndDirectoryAreRefused) {
  EXPECT_EQ(input_error([&] { FreeFormatReader in("            "); }),
            "velk: a data file name is blank");
  EXPECT_EQ(input_error([&] { FreeFormatReader in(dir_.string()); }),
            "velk: cannot open input file \"" + dir_.string() + "\": it is a directory");
}

// Opening `path` must be refused at once: the open runs on a thread of its own, and a FIFO that
// would block it is opened for writing after five seconds so that the test fails instead of
// hanging.
std::string refusal_within_seconds(const std::string& path) {
  auto opening = std::async(std::launch::async, [path] {
    try {
      FreeFormatReader in(path);
    } catch (const InputError& error) {
      return std::string(error.what());
    }
    return std::string("opened");
  });
  if (opening.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    opening.wait();
    if (writer >= 0) ::close(writer);
    return "blocked";
  }
  return opening.get();
}

TEST_F(FreeFormatReaderTest, SpecialFilesAreRefusedWithoutBlocking) {
  const std::string fifo = (dir_ / "pwA.pot").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(refusal_within_seconds(fifo),
            "velk: cannot open input file \"" + fifo + "\": it is a FIFO");

  // A FIFO with a writer holding it open (and data waiting) is refused all the same.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "1\n", 2), 2);
  EXPECT_EQ(refusal_within_seconds(fifo),
            "velk: cannot open input file \"" + fifo + "\": it is a FIFO");
  ::close(writer);

  // A device, directly or behind a name that looks like a data file.
  EXPECT_EQ(refusal_within_seconds("/dev/zero"),
            "velk: cannot open input file \"/dev/zero\": it is a device");
  const std::string link = (dir_ / "dunA.dat").string();
  ASSERT_EQ(::symlink("/dev/zero", link.c_str()), 0);
  EXPECT_EQ(refusal_within_seconds(link),
            "velk: cannot open input file \"" + link + "\": it is a device");

  // A socket cannot be opened at all; it is named, not called unreadable.
  const std::string socket_path = (dir_ / "s.dat").string();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof(address.sun_path));
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  EXPECT_EQ(refusal_within_seconds(socket_path),
            "velk: cannot open input file \"" + socket_path + "\": it is a socket");
  ::close(listener);

  // Refusals leave what they met in place.
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(FreeFormatReaderTest, LinesUpToTheLimitReadAndLongerOnesEndTheRead) {
  const std::string limit_line(kMaxLineLength, 'x');
  const std::string too_long = "7" + std::string(kMaxLineLength, ' ');  // 1 MiB + 1 characters

  // A line of exactly the limit is read like any other, whatever the read.
  const auto path = write("limit.dat", "Bstate.dat\n" + limit_line + "\n" + limit_line + "\n5\n");
  FreeFormatReader in(path);
  EXPECT_EQ(in.read_text(12), "Bstate.dat  ");
  EXPECT_EQ(in.read_text(2), "xx");
  in.skip();
  int32_t a = 0;
  in.read(a);
  EXPECT_EQ(a, 5);

  const std::string expected_line2 = "velk: " + (dir_ / "long.dat").string() +
                                     ", line 2: the line is longer than 1048576 characters";
  const auto long_path = write("long.dat", "1\n" + too_long + "\n3\n");
  {
    FreeFormatReader skip_reader(long_path);
    skip_reader.skip();
    EXPECT_EQ(input_error([&] { skip_reader.skip(); }), expected_line2);
  }
  {
    FreeFormatReader text_reader(long_path);
    text_reader.skip();
    EXPECT_EQ(input_error([&] { text_reader.read_text(1); }), expected_line2);
  }
  {
    // Inside a read of two items, the long line is a continuation line.
    FreeFormatReader read_reader(long_path);
    int32_t b = 0, c = 0;
    EXPECT_EQ(input_error([&] { read_reader.read(b, c); }), expected_line2);
  }
  {
    // Carriage returns count: the line is 1 MiB of text plus its CR.
    const auto crlf = write("crlf.dat", limit_line + "\r\n");
    FreeFormatReader crlf_reader(crlf);
    EXPECT_EQ(input_error([&] { crlf_reader.skip(); }),
              "velk: " + crlf + ", line 1: the line is longer than 1048576 characters");
  }
  {
    // Bytes without any line end, as a copy of /dev/zero would hold.
    const auto zeros = write("zeros.dat", std::string(kMaxLineLength + 1, '\0'));
    FreeFormatReader zero_reader(zeros);
    int32_t d = 0;
    EXPECT_EQ(input_error([&] { zero_reader.read(d); }),
              "velk: " + zeros + ", line 1: the line is longer than 1048576 characters");
  }
}

// Lines are cut out of a buffer refilled from the file; every line must come back whole whatever
// its length and wherever it falls across a refill. The expected lines are split here from the
// text written, independently of the reader.
TEST_F(FreeFormatReaderTest, SeededRandomFilesReadBackLineForLine) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> short_or_long(0, 9);
  std::uniform_int_distribution<int> short_length(0, 200);
  std::uniform_int_distribution<int> long_length(60000, 140000);
  std::uniform_int_distribution<int> byte('!', '~');
  for (int file = 0; file < 20; ++file) {
    std::vector<std::string> lines(static_cast<std::size_t>(1 + file * 3));
    std::string content;
    for (auto& line : lines) {
      const int length = short_or_long(random) == 0 ? long_length(random) : short_length(random);
      for (int k = 0; k < length; ++k) line += static_cast<char>(byte(random));
      content += line + "\n";
    }
    if (file % 2 == 1) content.pop_back();  // the last line without its line end
    const auto path = write("random.dat", content);
    FreeFormatReader in(path);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const auto got = in.try_read_line();
      ASSERT_TRUE(got.has_value()) << "file " << file << ", line " << k + 1;
      ASSERT_EQ(*got, lines[k]) << "file " << file << ", line " << k + 1;
    }
    EXPECT_FALSE(in.try_read_line().has_value());
    EXPECT_EQ(in.line_number(), static_cast<int>(lines.size()));
  }
}

// What a fixed round of reads gets from `in`: the values, texts and line numbers, up to and with
// the first input error. The rounds mix every kind of read so that each meets lines of all kinds.
std::vector<std::string> transcript(const std::function<FreeFormatReader*()>& open) {
  std::vector<std::string> got;
  try {
    std::unique_ptr<FreeFormatReader> in(open());
    for (int round = 0; round < 40; ++round) {
      int32_t k = 0;
      double x = 0.0;
      switch (round % 5) {
        case 0:
          got.push_back(in->try_read_line().value_or("<end>"));
          break;
        case 1:
          in->read(k, x);
          got.push_back(std::to_string(k) + " " + std::to_string(x));
          break;
        case 2:
          got.push_back(in->try_skip() ? "skipped" : "<end>");
          break;
        case 3:
          got.push_back(in->try_read_text(3).value_or("<end>"));
          break;
        case 4:
          in->read(x);
          got.push_back(std::to_string(x));
          break;
      }
      got.push_back("line " + std::to_string(in->line_number()));
    }
  } catch (const InputError& error) {
    got.push_back(error.what());
  }
  return got;
}

// A file read whole into memory reads as the file does, failures and messages included, and so
// does the same text made in memory under the file's name.
TEST_F(FreeFormatReaderTest, TextInMemoryReadsAsItsFile) {
  const std::vector<std::string> contents = {
      "first line\n1 2.5\n\nabc\n3.0\nrest\n4, 5.0 / tail\nend",
      "x\n1 2\r\nskip\r\nab\r\n7.0\r\n",
      "text\n1 oops\n",
      "text\n1\n",
      "",
      "a\n" + std::string(kMaxLineLength + 10, 'y') + "\n1 2\n",
      std::string(3 * kMaxLineLength, '\0'),
  };
  for (std::size_t n = 0; n < contents.size(); ++n) {
    const std::string path = write("case" + std::to_string(n) + ".dat", contents[n]);
    const auto from_file = transcript([&] { return new FreeFormatReader(path); });
    const InputText read = read_input_text(path);
    EXPECT_EQ(transcript([&] { return new FreeFormatReader(read); }), from_file) << "case " << n;
    const InputText made{path, contents[n], std::nullopt, false};
    EXPECT_EQ(transcript([&] { return new FreeFormatReader(made); }), from_file) << "case " << n;
    // Nothing past a line no reader can get through is kept.
    EXPECT_LE(read.bytes.size(), 2 * kMaxLineLength + 64) << "case " << n;
  }
  // A file that cannot be opened fails as it does when a reader opens it.
  fs::create_directory(dir_ / "folder");
  for (const std::string& name : {(dir_ / "absent.dat").string(), (dir_ / "folder").string()}) {
    const InputText read = read_input_text(name);
    EXPECT_EQ(transcript([&] { return new FreeFormatReader(read); }),
              transcript([&] { return new FreeFormatReader(name); }))
        << name;
    EXPECT_FALSE(fs::exists(dir_ / "absent.dat"));
  }
}

TEST(Errors, MessagesAreKeptExactlyAndCaughtAsRuntimeErrors) {
  try {
    throw StopRun("Umin >  Umax");
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Umin >  Umax");
  }
  bool caught_as_input_error = false;
  try {
    throw InputError("velk: velk.inf, line 2: expected an integer, found \"x\"");
  } catch (const StopRun&) {
    ADD_FAILURE() << "an input error is no stop";
  } catch (const InputError& error) {
    caught_as_input_error = true;
    EXPECT_EQ(std::string(error.what()),
              "velk: velk.inf, line 2: expected an integer, found \"x\"");
  }
  EXPECT_TRUE(caught_as_input_error);
}

}  // namespace
}  // namespace velk
