#include "study/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd_, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
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

std::string writeWholeFile(const std::string& path, std::string_view bytes) {
  const auto sink = FileSink::open(path);
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
