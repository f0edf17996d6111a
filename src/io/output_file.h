// An output file of the run, written from its beginning: what it held before is replaced.
// A file that cannot be created or written is an InputError naming it.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

namespace velk {

class FreeLine;

class OutputFile {
 public:
  explicit OutputFile(std::string_view file_name);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void line(std::string_view text);
  void line(const FreeLine& free_line);
  // Flushes and closes; a write that failed on the way is reported here.
  void close();
  ~OutputFile();

  const std::string& file_name() const { return name_; }

 private:
  void check() const;
  std::string name_;
  std::ofstream out_;
};

}  // namespace velk
