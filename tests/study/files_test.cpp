// Outputs whose every write is checked, and inputs read within bounds.
#include "study/io/files.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace aph::study {
namespace {

TEST(Files, AFullDiskIsToldWithItsReason) {
  const auto sink = FileSink::open("/dev/full");
  ASSERT_FALSE(sink->failed());
  {
    SinkStream out(*sink);
    out << std::string(100'000, 'x');  // more than the stream's buffer: written at once
    out.flush();
    EXPECT_TRUE(out.fail());
  }
  EXPECT_TRUE(sink->failed());
  EXPECT_EQ(sink->error(), "No space left on device");
  EXPECT_FALSE(sink->write("more"));
  EXPECT_FALSE(sink->close());

  // A short text waits in the buffer: the failure shows at the final flush.
  const auto late = FileSink::open("/dev/full");
  SinkStream out(*late);
  out << "short";
  EXPECT_TRUE(out.good());
  out.flush();
  EXPECT_TRUE(out.fail());
  EXPECT_EQ(late->error(), "No space left on device");
}

TEST(Files, WhatCannotBeOpenedIsTold) {
  const auto sink = FileSink::open("/nonexistent/dir/out.csv");
  EXPECT_TRUE(sink->failed());
  EXPECT_EQ(sink->error(), "No such file or directory");
  EXPECT_EQ(writeWholeFile("/nonexistent/dir/out.csv", "x"),
            "cannot write /nonexistent/dir/out.csv (No such file or directory)");
}

TEST(Files, WrittenAndReadBack) {
  const auto path = std::filesystem::temp_directory_path() / "aph_files_test.txt";
  const std::string text(200'000, 'a');
  ASSERT_EQ(writeWholeFile(path.string(), text), "");
  EXPECT_EQ(readBounded(path.string()), text);
  EXPECT_THROW(readBounded(path.string(), "case file", 1000), ReadError);
  NullSink none;
  EXPECT_TRUE(none.write(text));
  EXPECT_TRUE(none.close());
  std::filesystem::remove(path);
}

// An output left unfinished, by a fault that unwinds the program or by a signal that ends it,
// leaves the file that was there and no temporary beside it.
TEST(Files, AnOutputReplacesItsFileOnlyWhenComplete) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("aph_replace_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "out.csv").string();
  std::ofstream(path) << "old";
  const auto unchanged = [&](const std::string& what) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), "old") << what;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << what;
  };
  openReplacing(path)->write("half");
  unchanged("abandoned");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto sink = openReplacing(path);
    sink->write("half");
    ::raise(SIGTERM);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  unchanged("interrupted");
  const auto sink = openReplacing(path);
  sink->write("new");
  ASSERT_TRUE(sink->close()) << sink->error();
  EXPECT_EQ(readBounded(path), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  std::filesystem::remove_all(folder);
}

TEST(Files, MessagesQuoteLongTextsShort) {
  EXPECT_EQ(shortened("abc", 5), "abc");
  EXPECT_EQ(shortened("abcdefgh", 5), "abcde…");
  EXPECT_EQ(shortened("裕量裕量", 4), "裕…");  // never half a character
  EXPECT_EQ(byteText(std::size_t{64} << 20), "64 MiB");
}

}  // namespace
}  // namespace aph::study
