// The folder a run's relative file names refer to.
//
// The program runs in its working directory, and its messages name files as velk.inf gives them.
// An embedding (the Python module) runs in a folder of its choosing without changing the
// process's working directory, which belongs to the whole process and to every thread in it:
// it sets a RunFolder on the thread that makes the run, and every place where the io and run
// layers open, test, rename or remove a file passes the name through resolved_file_name().
// Messages keep naming the file as given.
//
// The folder belongs to the thread that set it. The worker threads of a run compute levels
// from curves already read and touch no file.
#pragma once

#include <string>
#include <string_view>

namespace velk {

// While alive, relative file names on this thread are taken in `folder`. Folders nest: the
// innermost one applies, and the one before comes back when it ends.
class RunFolder {
 public:
  explicit RunFolder(std::string folder);
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

 private:
  friend std::string resolved_file_name(std::string_view name);
  std::string folder_;
  const RunFolder* outer_;
};

// The name the file system is given for `name`: `name` itself when it is absolute or empty or
// when no RunFolder is alive on this thread, otherwise the folder joined with `name`.
std::string resolved_file_name(std::string_view name);

}  // namespace velk
