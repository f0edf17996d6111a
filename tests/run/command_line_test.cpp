#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace velk {
namespace {

CommandLineOptions parse(std::vector<std::string_view> arguments) {
  return parse_command_line(arguments);
}

TEST(CommandLine, NoArgumentsIsAPlainRun) {
  const CommandLineOptions options = parse({});
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.version);
  EXPECT_FALSE(options.quiet);
  EXPECT_EQ(options.refusal, "");
}

TEST(CommandLine, KnownOptionsInTheirLongAndShortForms) {
  EXPECT_TRUE(parse({"--quiet"}).quiet);
  EXPECT_TRUE(parse({"-q"}).quiet);
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"-h"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
  const CommandLineOptions both = parse({"--quiet", "--version"});
  EXPECT_TRUE(both.quiet && both.version);
  EXPECT_EQ(both.refusal, "");
}

TEST(CommandLine, FastAsksForTheFastSearchBesideTheOtherOptions) {
  EXPECT_FALSE(parse({}).fast);
  EXPECT_FALSE(parse({"--quiet"}).fast);
  const CommandLineOptions both = parse({"--quiet", "--fast"});
  EXPECT_TRUE(both.fast && both.quiet);
  EXPECT_EQ(both.refusal, "");
  // No short form: -f stays free, and a typo is refused rather than taken for it.
  EXPECT_EQ(parse({"-f"}).refusal, "velk: unknown option '-f' (velk --help lists the options)");
  EXPECT_EQ(parse({"--fats"}).refusal,
            "velk: unknown option '--fats' (velk --help lists the options)");
}

TEST(CommandLine, VerboseAsksForEveryWarningOfALevelBesideTheOtherOptions) {
  EXPECT_FALSE(parse({}).verbose);
  EXPECT_FALSE(parse({"--fast", "--quiet"}).verbose);
  const CommandLineOptions all = parse({"--fast", "--verbose", "--quiet"});
  EXPECT_TRUE(all.verbose && all.fast && all.quiet);
  EXPECT_EQ(all.refusal, "");
  EXPECT_EQ(parse({"--threads", "2", "--verbose"}).threads, 2);
  EXPECT_EQ(parse({"-v"}).refusal, "velk: unknown option '-v' (velk --help lists the options)");
}

TEST(CommandLine, UnknownOptionsAndStrayArgumentsAreRefusedByTheFirstFault) {
  EXPECT_EQ(parse({"--quite"}).refusal,
            "velk: unknown option '--quite' (velk --help lists the options)");
  EXPECT_EQ(parse({"-x", "--quiet"}).refusal,
            "velk: unknown option '-x' (velk --help lists the options)");
  // velk takes no file names: the control file is always velk.inf.
  EXPECT_EQ(parse({"--quiet", "velk.inf", "--nope"}).refusal,
            "velk: unexpected argument 'velk.inf' (velk --help lists the options)");
  // A lone dash is not an option either.
  EXPECT_EQ(parse({"-"}).refusal, "velk: unexpected argument '-' (velk --help lists the options)");
}

TEST(CommandLine, ThreadCountInBothFormsAndItsRefusals) {
  EXPECT_EQ(parse({}).threads, 0);
  EXPECT_EQ(parse({"--threads", "3"}).threads, 3);
  EXPECT_EQ(parse({"--threads=1", "--quiet"}).threads, 1);
  EXPECT_EQ(parse({"--threads", "256"}).refusal, "");
  for (const char* bad : {"0", "257", "2x", "-1", "", " 2"}) {
    EXPECT_EQ(parse({"--threads", bad}).refusal,
              std::string("velk: thread count must be a whole number from 1 to 256, not '") + bad +
                  "' (velk --help lists the options)");
  }
  EXPECT_EQ(parse({"--threads"}).refusal,
            "velk: missing thread count after '--threads' (velk --help lists the options)");
  // The count is taken as the option's value, not as a stray argument.
  EXPECT_EQ(parse({"--threads", "2", "--quiet"}).refusal, "");
}

TEST(CommandLine, HelpOrVersionAnswerEvenBesideAFault) {
  const CommandLineOptions help = parse({"--bogus", "--help"});
  EXPECT_TRUE(help.help);
  EXPECT_EQ(help.refusal, "");
  EXPECT_EQ(parse({"stray", "--version"}).refusal, "");
}

TEST(CommandLine, HelpNamesTheFilesOptionsStatusesAndGuide) {
  const std::string help = velk_help_text();
  EXPECT_EQ(help.rfind("usage: velk [--quiet] [--verbose] [--threads N]\n", 0), 0u);
  for (const char* needed :
       {"velk.inf", "vel_tran.out", "Astate.dat", "potext.out", "--quiet", "--version", "--threads",
        "--fast", "--verbose", "exit status", "130", "docs/guide.md"}) {
    EXPECT_NE(help.find(needed), std::string::npos) << needed;
  }
  EXPECT_EQ(help.back(), '\n');
  // A terminal of 80 columns shows every line whole.
  std::size_t start = 0;
  for (std::size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
  }
}

}  // namespace
}  // namespace velk
