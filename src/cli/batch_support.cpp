#include "cli/batch_support.hpp"

#include <cctype>

#include "study/files.hpp"

namespace aph::cli {

using study::Sink;
using study::SinkStream;

Output::Output(BatchIo& io, const std::string& path) : name_(path) {
  if (path.empty() || path == "-") {
    sink_ = &io.out();
    name_ = "standard output";
  } else {
    owned_ = io.openOutput(path);
    sink_ = owned_.get();
  }
  if (sink_->failed()) throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
  stream_ = std::make_unique<SinkStream>(*sink_);
}

void Output::check() {
  if (stream_->fail() || sink_->failed())
    throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
}

void Output::close() {
  stream_->flush();
  check();
  stream_.reset();
  if (!sink_->close()) throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
}

void writeFile(BatchIo& io, const std::string& path, std::string_view bytes) {
  Output out(io, path);
  out.stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
}

std::string plotKind(const std::string& path) {
  if (path.size() > 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png" || ext == ".svg") return ext.substr(1);
  }
  throw UsageError{"--plot " + study::shortened(path) + ": the chart is written as .png or .svg"};
}

}  // namespace aph::cli
