#include "io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"

namespace velk {
namespace {

// The temporaries that are open, as plain character arrays a signal handler may read. A slot is
// in use when its first character is not 0; it is filled before the file is created and cleared
// after the file is gone or renamed.
constexpr int kSlots = 32;
constexpr std::size_t kPathCapacity = 4096;
std::array<std::array<char, kPathCapacity>, kSlots> g_temporaries{};
volatile std::sig_atomic_t g_used[kSlots] = {};

int claim_slot(const std::string& path) {
  if (path.size() >= kPathCapacity) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (!g_used[i]) {
      std::memcpy(g_temporaries[i].data(), path.c_str(), path.size() + 1);
      g_used[i] = 1;
      return i;
    }
  }
  return -1;
}

void release_slot(int slot) {
  if (slot >= 0) g_used[slot] = 0;
}

std::string describe_errno() {
  return std::strerror(errno);
}

// What a name that exists but cannot be replaced by a file is, or nullptr when it can.
const char* unreplaceable_kind(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0) return nullptr;
  if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return nullptr;
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "not a regular file";
}

// The permissions a new file of this name gets: those of the file it replaces (a link's target
// is not consulted: the link itself is replaced), otherwise 0666 less the umask.
mode_t new_file_mode(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(std::string_view file_name) : name_(trimmed_file_name(file_name)) {
  if (const char* kind = unreplaceable_kind(name_)) {
    throw InputError("velk: cannot write output file \"" + name_ + "\": it is " + kind);
  }
  const std::size_t slash = name_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : name_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? name_ : name_.substr(slash + 1);
  temporary_ = folder + "." + base + ".velk-XXXXXX";
  slot_ = claim_slot(temporary_);
  // mkstemp writes the unique name into the buffer; the registered copy must match it before the
  // file exists, so the name is made in the slot itself when there is one.
  char* pattern =
      slot_ >= 0 ? g_temporaries[static_cast<std::size_t>(slot_)].data() : temporary_.data();
  const int fd = ::mkstemp(pattern);
  if (fd < 0) {
    const std::string why = describe_errno();
    release_slot(slot_);
    throw InputError("velk: cannot write output file \"" + name_ + "\": " + why);
  }
  temporary_ = pattern;
  ::fchmod(fd, new_file_mode(name_));
  out_ = ::fdopen(fd, "w");
  if (out_ == nullptr) {
    const std::string why = describe_errno();
    ::close(fd);
    discard();
    throw InputError("velk: cannot write output file \"" + name_ + "\": " + why);
  }
}

void OutputFile::write(std::string_view text) {
  if (out_ == nullptr) throw InputError("velk: output file \"" + name_ + "\" is already closed");
  if (std::fwrite(text.data(), 1, text.size(), out_) != text.size() ||
      std::fputc('\n', out_) == EOF) {
    failed_ = true;
    throw InputError("velk: writing output file \"" + name_ + "\" failed: " + describe_errno());
  }
}

void OutputFile::line(std::string_view text) {
  write(text);
}

void OutputFile::line(const FreeLine& free_line) {
  for (const auto& text : free_line.lines()) write(text);
}

std::string OutputFile::finish() {
  std::string error;
  if (std::fflush(out_) != 0 || std::ferror(out_)) error = describe_errno();
  if (std::fclose(out_) != 0 && error.empty()) error = describe_errno();
  out_ = nullptr;
  if (!error.empty()) {
    failed_ = true;
    discard();
    return "velk: writing output file \"" + name_ + "\" failed: " + error;
  }
  if (std::rename(temporary_.c_str(), name_.c_str()) != 0) {
    error = describe_errno();
    discard();
    return "velk: cannot replace output file \"" + name_ + "\": " + error;
  }
  release_slot(slot_);
  slot_ = -1;
  temporary_.clear();
  return {};
}

void OutputFile::discard() {
  if (out_ != nullptr) {
    std::fclose(out_);
    out_ = nullptr;
  }
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  release_slot(slot_);
  slot_ = -1;
}

void OutputFile::close() {
  if (out_ == nullptr) return;
  const std::string error = finish();
  if (!error.empty()) throw InputError(error);
}

OutputFile::~OutputFile() {
  if (out_ == nullptr) return;
  if (failed_) {
    discard();
  } else {
    finish();  // the run is already ending on its own error; a second one is not reported
  }
}

void remove_open_temporaries() {
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i]) ::unlink(g_temporaries[static_cast<std::size_t>(i)].data());
  }
}

}  // namespace velk
