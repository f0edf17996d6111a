// velk.run: a whole run of velk.inf in a directory, as the program makes it.
//
// The run takes its files in the directory through a RunFolder; the process's working directory
// stays as the user left it. The interpreter lock stays held during the run: the quiet console and
// the capture of the standard streams below are the process's, not the thread's, so a second run
// or a solve on another thread would mix its lines into them.
#include <pybind11/pybind11.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "io/errors.h"
#include "io/run_folder.h"
#include "numlib/failure_policy.h"
#include "run/run_sequence.h"

namespace velk::python {
namespace {

namespace fs = std::filesystem;

// What tells a file apart from the one before it: outputs are replaced whole (a new inode) or
// written in place (a new modification time or size).
using FileStamp = std::tuple<ino_t, int64_t, int64_t, off_t>;

std::map<std::string, FileStamp> file_stamps(const fs::path& directory) {
  std::map<std::string, FileStamp> stamps;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    struct stat st {};
    if (stat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    stamps[entry.path().filename().string()] = {st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
                                                st.st_size};
  }
  return stamps;
}

// While alive, what the stream receives is kept instead.
class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& stream)
      : stream_(stream), kept_(stream.rdbuf(text_.rdbuf())) {}
  ~StreamCapture() { stream_.rdbuf(kept_); }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* kept_;
};

std::string last_line(const std::string& text) {
  std::string line, last;
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    if (!line.empty()) last = line;
  }
  return last;
}

}  // namespace

void bind_run(py::module_& m) {
  m.def(
      "run",
      [](const Path& directory) {
        const fs::path dir = to_path(directory, "directory");
        if (!fs::is_directory(dir)) {
          PyErr_SetString(PyExc_NotADirectoryError, ("not a directory: " + dir.string()).c_str());
          throw py::error_already_set();
        }
        const auto before = file_stamps(dir);
        std::optional<std::string> failure;
        const auto [status, message] = call_core([&] {
          const RunFolder here(fs::absolute(dir).string());
          StreamCapture out(std::cout), err(std::cerr);
          const int status = run_velk([&](std::string_view text) {
            failure = std::string(text);
            throw NumericalFailure(std::string(text));
          });
          return std::pair<int, std::string>(status, last_line(err.text()));
        });
        if (failure) throw NumericalFailure(*failure);
        if (status == 1) throw StopRun(message);
        if (status == 2) throw InputError(message);
        if (status != 0) throw std::runtime_error(message);

        const py::object Path = py::module_::import("pathlib").attr("Path");
        py::dict written;
        for (const auto& [name, stamp] : file_stamps(dir)) {
          const auto old = before.find(name);
          if (old == before.end() || old->second != stamp)
            written[py::str(name)] = Path((dir / name).string());
        }
        return Written(written);
      },
      py::arg("directory"),
      R"(Runs velk.inf in `directory` as velk does there (quietly) and returns the files the run
wrote, {name: pathlib.Path}. A stop raises velk.StopRun, a missing or malformed input
velk.InputError, a numerical failure velk.NumericalFailure (velk would pause), each with velk's
message; warnings become velk.VelkWarning. The outputs written before a stop stay written.)");
}

}  // namespace velk::python
