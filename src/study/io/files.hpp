// Files in and out of the batch tool, within bounds and with every failure told: inputs are
// regular files (or standard input) of a limited size, read no further than the limit; outputs
// go through a sink that checks every write, the final flush and the close, and keeps the reason
// of the first failure.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace aph::study {

// A file descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the error close itself returns (a delayed write error, say).
  int close();

 private:
  int fd_;
};

// The largest case file or script read: far beyond any real one, small enough to hold in memory.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// Why an input could not be read, without the file's name ("is a directory", "cannot open the
// case file (No such file or directory)").
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole text of a regular file, or of standard input for "-". Anything else (a directory, a
// device, a pipe by name) is refused, and so is more than `limit` bytes, before reading further.
// `noun` names the kind of file in the reasons ("case file", "script").
std::string readBounded(const std::string& path, std::string_view noun = "case file",
                        std::size_t limit = kMaxInputBytes);
// The same for standard input.
std::string readStandardInput(std::string_view noun = "case file",
                              std::size_t limit = kMaxInputBytes);

// "64 MiB", "1.5 kB": a byte count for messages.
std::string byteText(std::size_t bytes);

// At most `limit` bytes of a text, cut at a character boundary and marked "…" when cut; for
// messages that quote what a user gave.
std::string shortened(std::string_view text, std::size_t limit = 60);

// Where output goes. Every write is checked; after the first failure nothing more is written and
// `error()` tells why ("No space left on device").
class Sink {
 public:
  virtual ~Sink() = default;
  bool write(std::string_view bytes);
  // Writes what is left and closes; false when this or any earlier write failed.
  bool close();
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  // The system's error number behind error(), 0 when there is none.
  int errorNumber() const { return errorNumber_; }

 protected:
  // Return false with errno set on failure.
  virtual bool put(std::string_view bytes) = 0;
  virtual bool finish() = 0;
  void fail(int error);

 private:
  bool failed_ = false;
  bool closed_ = false;
  int errorNumber_ = 0;
  std::string error_;
};

// A file descriptor: standard output (kept open) or a file this sink opened (closed by close()).
class FileSink : public Sink {
 public:
  FileSink(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~FileSink() override;
  // Creates or truncates the file; on failure the sink is failed with the reason.
  static std::unique_ptr<FileSink> open(const std::string& path);
  int descriptor() const { return fd_; }

 protected:
  bool put(std::string_view bytes) override;
  bool finish() override;

 private:
  int fd_;
  bool owned_;
};

// Discards everything; never fails.
class NullSink : public Sink {
 protected:
  bool put(std::string_view) override { return true; }
  bool finish() override { return true; }
};

// A buffered std::ostream over a sink: a failed write sets the stream's badbit, and the sink
// keeps the reason.
class SinkStream : public std::ostream {
 public:
  explicit SinkStream(Sink& sink);
  ~SinkStream() override;

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(Sink& sink);
    int sync() override;

   protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;

   private:
    bool drain();
    Sink& sink_;
    std::vector<char> buffer_;
  };
  Buffer buffer_;
};

// The sink an output file is written through. A regular file (or a new one) is written under a
// temporary name in its folder and renamed over `path` only when close() succeeds, so that a
// failed or abandoned write leaves what stood there untouched and no temporary behind (an
// interrupt or a hang-up removes it too). A link is followed: what it points to is replaced, and
// a file replaced keeps its permissions; one the user may not write is refused. What exists and
// is no regular file (a device such as /dev/full or /dev/stdout) cannot be renamed over and is
// written directly. A sink that could not be opened is failed with the reason.
std::unique_ptr<Sink> openReplacing(const std::string& path);

// Writes the whole of `bytes` to the file through openReplacing; empty on success, otherwise the
// reason.
std::string writeWholeFile(const std::string& path, std::string_view bytes);

}  // namespace aph::study
