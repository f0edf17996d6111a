#include "io/output_file.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/run_folder.h"

namespace velk {
namespace {

// The temporaries that are open, in slots a signal handler may read. A slot's state says who may
// touch its path: a writer claims a free slot (kFilling), writes the path and publishes it
// (kPublished) before the file exists, and withdraws it after the file is gone or renamed. The
// handler reads a path only from a published slot and holds the slot in kRemoving meanwhile, so
// that no writer rewrites a path while a handler on another thread reads it. Every step is a
// lock-free atomic operation, which a signal handler may make.
enum SlotState : int { kFree, kFilling, kPublished, kRemoving };
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSlots = 32;
constexpr std::size_t kPathCapacity = 4096;
struct TemporarySlot {
  std::atomic<int> state{kFree};
  std::array<char, kPathCapacity> path{};
};
std::array<TemporarySlot, kSlots> g_slots;

TemporarySlot& slot_at(int slot) {
  return g_slots[static_cast<std::size_t>(slot)];
}

// A free slot for this writer alone, or -1 when all are taken (the file is then written without
// the protection of the handler).
int claim_slot() {
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slot_at(i).state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      return i;
    }
  }
  return -1;
}

void publish(int slot, const std::string& path) {
  std::memcpy(slot_at(slot).path.data(), path.c_str(), path.size() + 1);
  slot_at(slot).state.store(kPublished, std::memory_order_release);
}

// Takes a published slot to `next`. While a handler on another thread removes the file, the
// writer waits: the process ends with that handler.
void withdraw(int slot, int next) {
  if (slot < 0) return;
  int expected = kPublished;
  while (!slot_at(slot).state.compare_exchange_weak(expected, next, std::memory_order_acq_rel)) {
    if (expected == kFilling) {
      slot_at(slot).state.store(next, std::memory_order_release);
      return;
    }
    expected = kPublished;
    ::sched_yield();
  }
}

// Six characters of the temporary's name, as mkstemp makes them but drawn per call, so that the
// name is chosen before the file exists and can be published first.
std::string random_suffix() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<uint64_t> counter{0};
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
    bits = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull +
           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) +
           counter.fetch_add(1, std::memory_order_relaxed) * 0xBF58476D1CE4E5B9ull;
  }
  std::string suffix(6, ' ');
  for (char& c : suffix) {
    c = kAlphabet[bits % (sizeof kAlphabet - 1)];
    bits /= sizeof kAlphabet - 1;
  }
  return suffix;
}

// Creates a new temporary "<prefix>XXXXXX" and returns its descriptor (or -1 with errno set);
// the name is published in `slot` before the file can exist, so a signal at any moment finds it.
// A name that proves taken was published only for the length of one open(), and is one of 62^6
// temporaries of the same output: a handler then would at worst cost another run that output.
int create_temporary(const std::string& prefix, int slot, std::string& name) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name = prefix + random_suffix();
    if (slot >= 0) publish(slot, name);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    const int error = errno;
    withdraw(slot, kFilling);
    errno = error;
    if (error != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
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

OutputFile::OutputFile(std::string_view file_name)
    : name_(trimmed_file_name(file_name)), path_(resolved_file_name(name_)) {
  if (const char* kind = unreplaceable_kind(path_)) {
    throw InputError("velk: cannot write output file \"" + name_ + "\": it is " + kind);
  }
  // The temporary is named by its resolved path, so that the interrupt handler removes the
  // right file whatever folder the run was given.
  const std::size_t slash = path_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  const std::string prefix = folder + "." + base + ".velk-";
  slot_ = prefix.size() + 6 < kPathCapacity ? claim_slot() : -1;
  const int fd = create_temporary(prefix, slot_, temporary_);
  if (fd < 0) {
    const std::string why = describe_errno();
    withdraw(slot_, kFree);
    slot_ = -1;
    temporary_.clear();
    throw InputError("velk: cannot write output file \"" + name_ + "\": " + why);
  }
  ::fchmod(fd, new_file_mode(path_));
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
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    error = describe_errno();
    discard();
    return "velk: cannot replace output file \"" + name_ + "\": " + error;
  }
  withdraw(slot_, kFree);
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
  withdraw(slot_, kFree);
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

void visit_open_temporaries(void (*visit)(const char* path, void* context), void* context) {
  for (TemporarySlot& slot : g_slots) {
    int expected = kPublished;
    if (slot.state.compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
      visit(slot.path.data(), context);
      slot.state.store(kPublished, std::memory_order_release);
    }
  }
}

void remove_open_temporaries() {
  visit_open_temporaries([](const char* path, void*) { ::unlink(path); }, nullptr);
}

}  // namespace velk
