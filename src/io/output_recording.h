// Console lines and warnings held back on a worker thread, to be handed on later, in the order they
// came, by the thread that owns the output. Work done ahead in parallel must reach the console and
// standard error exactly as if it had been done in turn.
#pragma once

#include <string>
#include <vector>

namespace velk {

class OutputRecording {
 public:
  enum class Kind { console, warning, mark };
  struct Entry {
    Kind kind;
    std::string text;  // the line, or the warning without its prefix
    int mark = 0;      // for a mark: what the recorder's owner put there
  };

  // While alive, console_line and warn on this thread append here instead of writing.
  OutputRecording();
  ~OutputRecording();
  OutputRecording(const OutputRecording&) = delete;
  OutputRecording& operator=(const OutputRecording&) = delete;

  // A place in the sequence where the owner will act on something of its own when replaying.
  void mark(int value) { entries_.push_back({Kind::mark, std::string(), value}); }
  void append(Kind kind, std::string text) { entries_.push_back({kind, std::move(text), 0}); }

  std::vector<Entry> take() { return std::move(entries_); }

  // The recording active on this thread, or null.
  static OutputRecording* active();

 private:
  std::vector<Entry> entries_;
  OutputRecording* outer_;
};

}  // namespace velk
