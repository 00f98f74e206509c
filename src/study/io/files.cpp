#include "study/io/files.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace aph::study {
namespace {

std::string reason(int error) {
  return std::strerror(error);
}

// Reads up to `limit` bytes and one more, to tell a text at the limit from a longer one.
std::string readAll(int fd, std::string_view noun, std::size_t limit) {
  std::string text;
  std::vector<char> chunk(std::size_t{1} << 16);
  for (;;) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      throw ReadError("cannot read (" + reason(errno) + ")");
    }
    if (got == 0) return text;
    text.append(chunk.data(), static_cast<std::size_t>(got));
    if (text.size() > limit)
      throw ReadError("holds more than the " + byteText(limit) + " a " + std::string(noun) +
                      " may hold");
  }
}

// Writes all of `bytes`; false with errno set when the system takes no more.
bool writeFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

// The temporaries being written, for removal when a signal ends the program. Fixed storage: a
// signal handler may touch nothing that allocates or locks.
struct PendingTemporary {
  volatile std::sig_atomic_t used = 0;
  char path[PATH_MAX] = {};
};
PendingTemporary pendingTemporaries[8];
std::mutex pendingMutex;

extern "C" void removePendingTemporaries(int signal) {
  for (PendingTemporary& pending : pendingTemporaries)
    if (pending.used) ::unlink(pending.path);
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered, with its default action, once the handler returns
}

// Where a signal that ends the program is handled by default, it first removes the temporaries.
void removeTemporariesOnSignals() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction handler {};
      handler.sa_handler = removePendingTemporaries;
      sigemptyset(&handler.sa_mask);
      ::sigaction(signal, &handler, nullptr);
    }
  });
}

// The slot a temporary is listed in, or -1 when it could not be listed.
int listTemporary(const std::string& path) {
  removeTemporariesOnSignals();
  if (path.size() >= PATH_MAX) return -1;
  const std::lock_guard lock(pendingMutex);
  for (int k = 0; k < static_cast<int>(std::size(pendingTemporaries)); ++k) {
    PendingTemporary& pending = pendingTemporaries[k];
    if (pending.used) continue;
    std::memcpy(pending.path, path.c_str(), path.size() + 1);
    pending.used = 1;
    return k;
  }
  return -1;
}

void unlistTemporary(int slot) {
  if (slot < 0) return;
  const std::lock_guard lock(pendingMutex);
  pendingTemporaries[slot].used = 0;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A name for the new file beside the old one, short enough for any folder that holds the old.
std::string temporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  return folder + "/.aphcalc-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + "-" + std::to_string(ticks % 1000000007ull) +
         ".tmp";
}

// A new file beside the target, renamed over it when complete.
class ReplacingSink : public Sink {
 public:
  // `existing`: what the target is now, or null when there is none.
  ReplacingSink(std::string target, const struct stat* existing) : target_(std::move(target)) {
    // A file the user may not write stays as it is, although its folder would let a new file
    // take its place.
    if (existing && ::access(target_.c_str(), W_OK) != 0) {
      fail(errno);
      return;
    }
    const std::string folder = folderOf(target_);
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
      temporary_ = temporaryName(folder);
      fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
      fail(errno);
      temporary_.clear();
      return;
    }
    slot_ = listTemporary(temporary_);
    // The new file keeps the permissions of the one it replaces.
    if (existing && ::fchmod(fd_, existing->st_mode & 07777) != 0) {
      fail(errno);
      abandon();
    }
  }
  ~ReplacingSink() override { abandon(); }

 protected:
  bool put(std::string_view bytes) override { return fd_ >= 0 && writeFully(fd_, bytes); }

  bool finish() override {
    if (fd_ < 0 || failed()) {
      abandon();
      return false;
    }
    bool done = ::fsync(fd_) == 0;
    int error = done ? 0 : errno;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && done) done = false, error = errno;
    if (done && ::rename(temporary_.c_str(), target_.c_str()) != 0) done = false, error = errno;
    if (!done) {
      abandon();
      errno = error;
      return false;
    }
    temporary_.clear();
    unlistTemporary(slot_);
    slot_ = -1;
    // The rename itself reaches the disk with the folder.
    if (const int dir = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
    return true;
  }

 private:
  void abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    unlistTemporary(slot_);
    slot_ = -1;
  }

  std::string target_, temporary_;
  int fd_ = -1;
  int slot_ = -1;
};

void refuseIfTooLarge(const struct stat& info, std::string_view noun, std::size_t limit) {
  if (S_ISREG(info.st_mode) && info.st_size > static_cast<off_t>(limit))
    throw ReadError("is " + byteText(static_cast<std::size_t>(info.st_size)) + ", more than the " +
                    byteText(limit) + " a " + std::string(noun) + " may hold");
}

}  // namespace

std::string byteText(std::size_t bytes) {
  char buffer[48];
  if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0)
    std::snprintf(buffer, sizeof buffer, "%zu MiB", bytes >> 20);
  else
    std::snprintf(buffer, sizeof buffer, "%zu bytes", bytes);
  return buffer;
}

std::string shortened(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  // Step back over continuation bytes so that no character is cut in two.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "…";
}

std::string readStandardInput(std::string_view noun, std::size_t limit) {
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) == 0) refuseIfTooLarge(info, noun, limit);
  return readAll(STDIN_FILENO, noun, limit);
}

std::string readBounded(const std::string& path, std::string_view noun, std::size_t limit) {
  if (path == "-") return readStandardInput(noun, limit);
  const std::string kind(noun);
  // Without O_NONBLOCK, opening a named pipe would wait for a writer before it could be refused.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) throw ReadError("cannot open the " + kind + " (" + reason(errno) + ")");
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw ReadError("cannot read (" + reason(errno) + ")");
  if (S_ISDIR(info.st_mode)) throw ReadError("is a directory, not a " + kind);
  if (!S_ISREG(info.st_mode))
    throw ReadError(
        "is not a regular file (a device, pipe or socket); give a file, or - for standard input");
  refuseIfTooLarge(info, noun, limit);
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return readAll(fd.get(), noun, limit);
}

void Sink::fail(int error) {
  if (failed_) return;
  failed_ = true;
  errorNumber_ = error;
  error_ = error ? reason(error) : "the output could not be written";
}

bool Sink::write(std::string_view bytes) {
  if (failed_ || closed_) return false;
  if (bytes.empty()) return true;
  errno = 0;
  if (!put(bytes)) fail(errno);
  return !failed_;
}

bool Sink::close() {
  if (closed_) return !failed_;
  closed_ = true;
  errno = 0;
  if (!finish() && !failed_) fail(errno);
  return !failed_;
}

FileSink::~FileSink() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

std::unique_ptr<FileSink> FileSink::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  const int error = errno;
  auto sink = std::make_unique<FileSink>(fd, true);
  if (fd < 0) sink->fail(error);
  return sink;
}

bool FileSink::put(std::string_view bytes) {
  return fd_ >= 0 && writeFully(fd_, bytes);
}

bool FileSink::finish() {
  if (!owned_ || fd_ < 0) return fd_ >= 0;
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

SinkStream::Buffer::Buffer(Sink& sink) : sink_(sink), buffer_(std::size_t{1} << 16) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool SinkStream::Buffer::drain() {
  const auto size = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return sink_.write(std::string_view(buffer_.data(), size));
}

int SinkStream::Buffer::sync() {
  return drain() ? 0 : -1;
}

SinkStream::Buffer::int_type SinkStream::Buffer::overflow(int_type ch) {
  if (!drain()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  *pptr() = traits_type::to_char_type(ch);
  pbump(1);
  return ch;
}

std::streamsize SinkStream::Buffer::xsputn(const char* data, std::streamsize count) {
  const auto room = static_cast<std::streamsize>(epptr() - pptr());
  if (count <= room) {
    traits_type::copy(pptr(), data, static_cast<std::size_t>(count));
    pbump(static_cast<int>(count));
    return count;
  }
  // Larger than the room left: out with the buffer, then the text itself.
  if (!drain() || !sink_.write(std::string_view(data, static_cast<std::size_t>(count)))) return 0;
  return count;
}

SinkStream::SinkStream(Sink& sink) : std::ostream(nullptr), buffer_(sink) {
  rdbuf(&buffer_);
}

SinkStream::~SinkStream() {
  buffer_.pubsync();
}

std::unique_ptr<Sink> openReplacing(const std::string& path) {
  std::string target = path;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = ::stat(target.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) return FileSink::open(target);
  return std::make_unique<ReplacingSink>(std::move(target), exists ? &info : nullptr);
}

std::string writeWholeFile(const std::string& path, std::string_view bytes) {
  const auto sink = openReplacing(path);
  sink->write(bytes);
  if (!sink->close()) return "cannot write " + path + " (" + sink->error() + ")";
  return {};
}

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int Descriptor::close() {
  const int result = ::close(fd_);
  fd_ = -1;
  return result;
}

}  // namespace aph::study
