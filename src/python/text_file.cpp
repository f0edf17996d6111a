#include "text_file.h"

#include <fcntl.h>
#include <pybind11/pybind11.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace velk::python {
namespace {

namespace py = pybind11;

[[noreturn]] void raise_os_error(int error, const std::string& reason, const std::string& path) {
  // OSError(errno, ...) makes the subclass of the errno (PermissionError, IsADirectoryError...).
  const py::object exception = py::handle(PyExc_OSError)(error, reason, path);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
  throw py::error_already_set();
}

[[noreturn]] void raise_errno(const std::string& path) {
  const int error = errno;
  raise_os_error(error, std::strerror(error), path);
}

// The reason a name that exists cannot be replaced by a file, or nullptr when it can.
const char* unreplaceable_kind(const struct stat& st) {
  if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return nullptr;
  if (S_ISFIFO(st.st_mode)) return "it is a FIFO, not a regular file";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(st.st_mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

// A new file beside `path`, named ".NAME.velk-XXXXXX", created exclusively with `mode` (less the
// umask, which open applies).
int open_temporary(const std::string& path, mode_t mode, std::string& temporary) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) c = kLetters[random() % (sizeof(kLetters) - 1)];
    temporary = folder + "." + base + ".velk-" + suffix;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

void write_text_file(const std::string& path, std::string_view text) {
  struct stat st {};
  mode_t mode = 0666;
  bool keep_mode = false;
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) raise_os_error(EISDIR, std::strerror(EISDIR), path);
    if (const char* kind = unreplaceable_kind(st)) raise_os_error(EINVAL, kind, path);
    if (S_ISREG(st.st_mode)) {
      mode = st.st_mode & 07777;
      keep_mode = true;
    }
  }
  std::string temporary;
  const int fd = open_temporary(path, mode, temporary);
  if (fd < 0) raise_errno(path);
  const auto fail = [&](int error) {
    ::close(fd);
    ::unlink(temporary.c_str());
    raise_os_error(error, std::strerror(error), path);
  };
  // The umask took bits away from a replaced file's permissions: they are restored whole.
  if (keep_mode && ::fchmod(fd, mode) != 0) fail(errno);
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    written += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    raise_os_error(error, std::strerror(error), path);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    raise_os_error(error, std::strerror(error), path);
  }
}

}  // namespace velk::python
