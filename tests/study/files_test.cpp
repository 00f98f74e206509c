// Outputs whose every write is checked, and inputs read within bounds.
#include "study/files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST(Files, MessagesQuoteLongTextsShort) {
  EXPECT_EQ(shortened("abc", 5), "abc");
  EXPECT_EQ(shortened("abcdefgh", 5), "abcde…");
  EXPECT_EQ(shortened("裕量裕量", 4), "裕…");  // never half a character
  EXPECT_EQ(byteText(std::size_t{64} << 20), "64 MiB");
}

}  // namespace
}  // namespace aph::study
