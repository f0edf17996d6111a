// One run at a time in a working directory. Two runs of velk in one folder would write the same
// outputs, and with velk.inf changed between their starts leave the files of both side by side.
// The first run holds an advisory lock on velk.inf while it runs; a second one finds it taken
// and refuses to start. The lock is on the input itself, which it does not change: no lock file
// is made, so none can be left behind, and the system drops the lock with the process however
// it ends.
#pragma once

#include <string>

namespace velk {

class RunLock {
 public:
  // Locks `path` when it is a regular file that can be opened; otherwise holds nothing and
  // leaves the reader to report the file. Throws StopRun when another process holds the lock.
  explicit RunLock(const std::string& path);
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock();

 private:
  int fd_ = -1;
};

}  // namespace velk
