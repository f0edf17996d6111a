// An output file of the run, replaced whole or not at all.
//
// The lines go to a temporary file beside the output (".NAME.velk-XXXXXX" in the same folder);
// close() renames it over the output, so that a reader of the folder sees either what the file
// held before the run or what this run wrote, never a file cut mid-line. An output name that is a
// symbolic link is replaced by the new file, not written through. A name that is a directory, a
// FIFO or a device is refused before anything is written.
//
// The temporary files that are open are registered, so that remove_open_temporaries(), which is
// safe to call from a signal handler, can take them away when the run is interrupted.
//
// When an OutputFile is destroyed without close() (the run stops on one of its own stops or an
// input error while the file is being written), what was written is put in place as if closed:
// those stops leave the lines written so far, as a reader of the level file expects. A file whose
// own write failed is never put in place: the temporary is removed and the output keeps its old
// content.
//
// Every failure (cannot create, write, or rename) is an InputError naming the output.
#pragma once

#include <cstdio>
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
  // Writes out what is buffered and renames the temporary over the output; a write that failed
  // on the way is reported here.
  void close();
  ~OutputFile();

  const std::string& file_name() const { return name_; }

 private:
  void write(std::string_view text);
  // Flushes, closes and renames; returns the error text, empty on success.
  std::string finish();
  void discard();

  std::string name_;  // as given, for the messages
  std::string path_;  // what the file system is given
  std::string temporary_;
  std::FILE* out_ = nullptr;
  bool failed_ = false;
  int slot_ = -1;
};

// Calls `visit` with the name of the temporary file of every open OutputFile; never with a name
// that is being written. Async-signal-safe when `visit` is.
void visit_open_temporaries(void (*visit)(const char* path, void* context), void* context);

// Removes the temporary files of every open OutputFile. Uses only async-signal-safe calls.
void remove_open_temporaries();

}  // namespace velk
