#include "io/run_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/output_file.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

TEST(RunFolder, TakesRelativeNamesInTheInnermostFolder) {
  EXPECT_EQ(resolved_file_name("a.pot"), "a.pot");
  {
    const RunFolder run("/data/run");
    EXPECT_EQ(resolved_file_name("a.pot"), "/data/run/a.pot");
    EXPECT_EQ(resolved_file_name("sub/a.pot"), "/data/run/sub/a.pot");
    EXPECT_EQ(resolved_file_name("/abs/a.pot"), "/abs/a.pot");
    EXPECT_EQ(resolved_file_name(""), "");
    {
      const RunFolder inner("../other/");
      EXPECT_EQ(resolved_file_name("a.pot"), "../other/a.pot");
    }
    EXPECT_EQ(resolved_file_name("a.pot"), "/data/run/a.pot");
  }
  EXPECT_EQ(resolved_file_name("a.pot"), "a.pot");
}

TEST(RunFolder, EachThreadHasItsOwn) {
  // Both folders are alive at once when each thread resolves its name.
  std::latch both_set(2), both_resolved(3);
  std::vector<std::string> resolved(2);
  const auto run = [&](int k) {
    const RunFolder folder("/run" + std::to_string(k));
    both_set.arrive_and_wait();
    resolved[static_cast<std::size_t>(k)] = resolved_file_name("velk.inf");
    both_resolved.arrive_and_wait();
  };
  std::jthread first(run, 0), second(run, 1);
  both_resolved.arrive_and_wait();
  EXPECT_EQ(resolved_file_name("velk.inf"), "velk.inf");
  first.join();
  second.join();
  EXPECT_EQ(resolved, (std::vector<std::string>{"/run0/velk.inf", "/run1/velk.inf"}));
}

using RunFolderFileTest = test::ScratchDirectoryTest;

TEST_F(RunFolderFileTest, ReadsAndWritesInTheFolderAndNamesFilesAsGiven) {
  fs::create_directory("run");
  test::write_file("run/in.dat", "7 2.5\n");
  const RunFolder folder("run");
  FreeFormatReader in("in.dat");
  int32_t count = 0;
  double value = 0.0;
  in.read(count, value);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(value, 2.5);

  {
    OutputFile out("out.dat");
    out.line("written");
    std::vector<std::string> temporaries;
    visit_open_temporaries(
        [](const char* path, void* found) {
          static_cast<std::vector<std::string>*>(found)->push_back(path);
        },
        &temporaries);
    ASSERT_EQ(temporaries.size(), 1u);
    EXPECT_EQ(temporaries[0].rfind("run/.out.dat.velk-", 0), 0u) << temporaries[0];
    EXPECT_TRUE(fs::exists(temporaries[0]));
    out.close();
  }
  EXPECT_EQ(test::lines_of("run/out.dat"), std::vector<std::string>{"written"});
  EXPECT_FALSE(fs::exists("out.dat"));

  try {
    FreeFormatReader absent("absent.pot");
    FAIL() << "a missing file was read";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "velk: cannot open input file \"absent.pot\": no such file");
  }
}

}  // namespace
}  // namespace velk
