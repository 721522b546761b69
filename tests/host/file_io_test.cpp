// Whole-file reads, with the system's reason when a file cannot be read.
#include "kdp/host/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

TEST(FileIoTest, ReadsWholeFilesAndNamesTheSystemsReason) {
  const auto dir = std::filesystem::temp_directory_path() / ("kdp-file-io-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "host.json").string();
  std::ofstream(file, std::ios::binary) << std::string(70000, 'x') << "end";
  std::string bytes, error;
  ASSERT_TRUE(ReadWholeFile(file, bytes, error)) << error;
  EXPECT_EQ(bytes.size(), 70003u);  // more than one read's worth
  EXPECT_EQ(bytes.substr(70000), "end");

  EXPECT_FALSE(ReadWholeFile(dir.string(), bytes, error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile((dir / "missing.json").string(), bytes, error));
  EXPECT_EQ(error, "No such file or directory");
  const std::string huge = (dir / "huge.json").string();
  std::ofstream(huge, std::ios::binary).put('x');
  std::filesystem::resize_file(huge, kMaxFileBytes + 1);  // sparse: nothing written
  EXPECT_FALSE(ReadWholeFile(huge, bytes, error));
  EXPECT_EQ(error, "larger than 256 MiB");
  EXPECT_TRUE(bytes.empty());
  // A FIFO where a file should be: refused at once, not waited on for a writer.
  const std::string fifo = (dir / "fifo.json").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(fifo, bytes, error));
  EXPECT_EQ(error, "not a regular file");
  if (::geteuid() != 0) {  // the super-user reads any file
    ::chmod(file.c_str(), 0);
    EXPECT_FALSE(ReadWholeFile(file, bytes, error));
    EXPECT_EQ(error, "Permission denied");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::host
