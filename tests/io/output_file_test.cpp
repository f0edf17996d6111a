#include "io/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

using OutputFileTest = test::ScratchDirectoryTest;

// The temporaries of outputs being written in the working directory.
std::vector<std::string> temporaries() {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.find(".velk-") != std::string::npos) found.push_back(name);
  }
  return found;
}

TEST_F(OutputFileTest, OutputChangesOnlyWhenClosed) {
  test::write_file("Astate.dat", "earlier\n");
  OutputFile out("Astate.dat  ");
  out.line("first");
  out.line("second");
  EXPECT_EQ(test::lines_of("Astate.dat"), std::vector<std::string>{"earlier"});
  ASSERT_EQ(temporaries().size(), 1u);
  EXPECT_EQ(temporaries()[0].rfind(".Astate.dat.velk-", 0), 0u);
  out.close();
  EXPECT_EQ(test::lines_of("Astate.dat"), (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(temporaries().empty());
  out.close();  // a second close does nothing
}

// A link in the output's place is replaced by the file; its target is not written through.
TEST_F(OutputFileTest, LinkIsReplacedNotWrittenThrough) {
  test::write_file("target.txt", "not to be touched\n");
  fs::create_symlink("target.txt", "vel_tran.out");
  OutputFile out("vel_tran.out");
  out.line("new");
  out.close();
  EXPECT_FALSE(fs::is_symlink("vel_tran.out"));
  EXPECT_EQ(test::lines_of("vel_tran.out"), std::vector<std::string>{"new"});
  EXPECT_EQ(test::lines_of("target.txt"), std::vector<std::string>{"not to be touched"});
}

TEST_F(OutputFileTest, DirectoryAndFifoAreRefusedBeforeWriting) {
  fs::create_directory("Astate.dat");
  ASSERT_EQ(::mkfifo("potext.out", 0600), 0);
  for (const char* name : {"Astate.dat", "potext.out"}) {
    try {
      OutputFile out(name);
      FAIL() << name << " was accepted";
    } catch (const InputError& error) {
      const std::string kind = fs::is_directory(name) ? "a directory" : "a FIFO";
      EXPECT_EQ(std::string(error.what()),
                std::string("velk: cannot write output file \"") + name + "\": it is " + kind);
    }
  }
  EXPECT_TRUE(temporaries().empty());
}

// A run that ends on one of its own stops while a file is open leaves the lines written so far,
// as a reader of a level file expects after "Umin >  Umax".
TEST_F(OutputFileTest, FileLeftOpenByAStopKeepsItsLines) {
  test::write_file("Bstate.dat", "earlier\n");
  {
    OutputFile out("Bstate.dat");
    out.line("header");
  }
  EXPECT_EQ(test::lines_of("Bstate.dat"), std::vector<std::string>{"header"});
  EXPECT_TRUE(temporaries().empty());
}

// What an interrupted run does: the temporaries go, the outputs keep their earlier content.
TEST_F(OutputFileTest, RemovingTemporariesLeavesEarlierContent) {
  test::write_file("BstateQ.dat", "earlier\n");
  {
    OutputFile out("BstateQ.dat");
    out.line("half");
    ASSERT_EQ(temporaries().size(), 1u);
    remove_open_temporaries();
    EXPECT_TRUE(temporaries().empty());
    // The file object goes on to close; the rename finds no temporary and reports it.
    EXPECT_THROW(out.close(), InputError);
  }
  EXPECT_EQ(test::lines_of("BstateQ.dat"), std::vector<std::string>{"earlier"});
}

TEST_F(OutputFileTest, ReplacedFileKeepsItsPermissions) {
  test::write_file("Astate.dat", "earlier\n");
  ASSERT_EQ(::chmod("Astate.dat", 0640), 0);
  OutputFile out("Astate.dat");
  out.line("new");
  out.close();
  struct stat st {};
  ASSERT_EQ(::stat("Astate.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(OutputFileTest, MissingFolderIsAnInputErrorNamingTheFile) {
  try {
    OutputFile out("nowhere/Astate.dat");
    FAIL() << "accepted";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("\"nowhere/Astate.dat\""), std::string::npos);
  }
}

// A temporary's name as OutputFile makes it for "out_T_I": ".out_T_I.velk-" and six letters or
// digits, not the pattern "XXXXXX" they replace. A name caught half written fails this.
bool is_whole_temporary_name(const char* path) {
  const std::string name(path);
  const std::size_t marker = name.find(".velk-");
  if (name.rfind(".out_", 0) != 0 || marker == std::string::npos) return false;
  const std::string suffix = name.substr(marker + 6);
  if (suffix.size() != 6 || suffix == "XXXXXX") return false;
  for (const char c : suffix) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return name.substr(5, marker - 5).find_first_not_of("0123456789_") == std::string::npos;
}

// Writers on several threads at once never share a registry slot (each output holds its own
// lines), and what the signal handler would remove is always a whole name of an open file.
TEST_F(OutputFileTest, ConcurrentWritersKeepTheirOwnTemporaries) {
  constexpr int kThreads = 6, kFiles = 150;
  std::atomic<int> wrong_content{0}, failed{0}, writers_left{kThreads};
  struct Seen {
    std::atomic<int> names{0}, broken{0};
  } seen;
  std::jthread watcher([&] {
    while (writers_left.load() > 0) {
      visit_open_temporaries(
          [](const char* path, void* context) {
            auto& counts = *static_cast<Seen*>(context);
            ++counts.names;
            if (!is_whole_temporary_name(path)) ++counts.broken;
          },
          &seen);
    }
  });
  {
    std::vector<std::jthread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([&, t] {
        for (int i = 0; i < kFiles; ++i) {
          const std::string name = "out_" + std::to_string(t) + "_" + std::to_string(i);
          try {
            OutputFile out(name);
            out.line(name);
            out.line("end");
            out.close();
          } catch (const InputError&) {
            ++failed;
            continue;
          }
          if (test::lines_of(name) != std::vector<std::string>{name, "end"}) ++wrong_content;
        }
        --writers_left;
      });
    }
  }
  watcher.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(wrong_content.load(), 0);
  EXPECT_GT(seen.names.load(), 0);
  EXPECT_EQ(seen.broken.load(), 0);
  EXPECT_TRUE(temporaries().empty());
}

}  // namespace
}  // namespace velk
