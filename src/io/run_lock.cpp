#include "io/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/errors.h"
#include "io/run_folder.h"

namespace velk {

RunLock::RunLock(const std::string& path) {
  // Without blocking, so that a FIFO in the file's place is left to the reader's refusal.
  const int fd = ::open(resolved_file_name(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    fd_ = fd;
    return;
  }
  const int error = errno;
  ::close(fd);
  // A file system without locks runs as before; only a lock held by another run refuses.
  if (error == EWOULDBLOCK) {
    throw StopRun("velk: another run of velk is working in this folder (it holds " + path +
                  "); wait for it to end");
  }
}

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace velk
