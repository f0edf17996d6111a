#include "plot/spectrum_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/errors.h"
#include "plot/plot_command.h"
#include "plot_test_support.h"

namespace velk::plot {
namespace {

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class SpectrumPageTest : public test::PlotDirTest {
 protected:
  // A stand-in library whose three files say what they are, in the working directory.
  PageLibrary library() {
    write_file("lib.js", "var Dygraph = function () {};\n//# sourceMappingURL=lib.js.map\n");
    write_file("lib.css", ".dygraph-legend { }\n");
    write_file("copyright", "Copyright <someone> & others\n");
    return {"dygraphs", "libjs-dygraphs", "lib.js", "lib.css", "copyright"};
  }
  int run(const std::vector<std::string>& arguments) {
    ::testing::internal::CaptureStdout();
    const int status = run_velk_plot(arguments);
    output = ::testing::internal::GetCapturedStdout();
    return status;
  }
  std::string output;
};

LineListFile one_line(const std::string& branch) {
  LineListRow row;
  row.upper_v = 3;
  row.upper_J = 11;
  row.lower_J = 10;
  row.upper_p = 1;
  row.wavenumber = 14657.419853;
  row.branch = branch;
  row.intensity = 7677.5;
  row.HL = 11.0;
  return {"vel_tran.csv", {}, {row}};
}

TEST_F(SpectrumPageTest, AMissingLibraryFileNamesThePackageToInstall) {
  const LineListFile lines = one_line("R");
  for (const int missing : {0, 1, 2}) {
    PageLibrary broken = library();
    std::string& path = missing == 0 ? broken.script : missing == 1 ? broken.style : broken.licence;
    path = "no-such-dir/file";
    try {
      spectrum_page_html({"t", &lines, nullptr, nullptr}, broken);
      ADD_FAILURE() << "no error for a missing library file " << missing;
    } catch (const InputError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("no-such-dir/file: no such file"), std::string::npos) << message;
      EXPECT_NE(message.find("install the Debian package libjs-dygraphs"), std::string::npos)
          << message;
    }
  }
}

TEST_F(SpectrumPageTest, InlinesTheLibraryWithItsLicenceAndNoSourceMap) {
  const LineListFile lines = one_line("R");
  const std::string page = spectrum_page_html({"t", &lines, nullptr, nullptr}, library());
  EXPECT_NE(page.find("var Dygraph = function () {};"), std::string::npos);
  EXPECT_NE(page.find(".dygraph-legend { }"), std::string::npos);
  EXPECT_NE(page.find("Copyright &lt;someone&gt; &amp; others"), std::string::npos);
  EXPECT_EQ(page.find("sourceMappingURL"), std::string::npos);
  EXPECT_EQ(page.find('@' + std::string("DATA@")), std::string::npos);
  EXPECT_NE(page.find("\"wavenumber\":[14657.419853]"), std::string::npos);
  EXPECT_NE(page.find("\"HL\":[11]"), std::string::npos);
  EXPECT_NE(page.find("\"FCF\":[null]"), std::string::npos);
}

// A file's text inside the page must never end one of its elements early.
TEST_F(SpectrumPageTest, TextsOfTheFilesCannotCloseTheirElement) {
  const std::string plain_page = [&] {
    const LineListFile lines = one_line("R");
    return spectrum_page_html({"t", &lines, nullptr, nullptr}, library());
  }();
  const LineListFile lines = one_line("</script><script>alert(1)</script>");
  const Curve envelope{"</script>.csv", {{1.0, 2.0}}};
  const std::string page =
      spectrum_page_html({"<b>title</script>", &lines, &envelope, nullptr}, library());
  EXPECT_EQ(count_of(page, "</script>"), count_of(plain_page, "</script>"));
  EXPECT_EQ(count_of(page, "<b>"), 0u);
  EXPECT_NE(page.find("&lt;b&gt;title&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("\\u003c/script>\\u003cscript>"), std::string::npos);
}

TEST_F(SpectrumPageTest, HtmlGoesWithTransitionsAndASimulatedSpectrum) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run({"A", "--html"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: --html writes an interactive page: it goes with transitions or residuals "
            "(velk-plot --help lists the options)\n");
  EXPECT_TRUE(parse_plot_arguments(std::vector<std::string>{"--html", "transitions"}).html);
  write_file("vel_tran.out",
             " A state data file:a.pot       \n B state data file:b.dun       \n"
             " ==============================\n \n"
             "    1    0  10   0   9   14652.782070\n");
  EXPECT_EQ(run({"transitions", "--html"}), 2);
  EXPECT_EQ(output,
            "velk-plot: --html shows a simulated spectrum: vel_tran.csv holds no intensities; run "
            "velk-props spectrum first\n");
  EXPECT_FALSE(std::filesystem::exists("spectrum.html"));
  EXPECT_FALSE(std::filesystem::exists("plot_transitions.svg"));
}

}  // namespace
}  // namespace velk::plot
