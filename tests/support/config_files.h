// Helpers for tests that load configuration documents of their own: writing text files, writing the
// ".hqc" binary document of an XML text, and a scratch configuration root.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "kdp/host/bin_document.h"
#include "test_host.h"

namespace kdp::testing {

// Writes `text` to `path` (directories created), byte for byte.
inline void WriteTextFile(const std::string& path, std::string_view text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Writes UTF-8 `text` to `path` in code page 936, as the reference files are written.
inline void WriteAnsiFile(const std::string& path, std::string_view utf8) {
  WriteTextFile(path, host::Utf8ToAnsi(utf8));
}

// Writes the binary document of `xml` to `path`.
inline void WriteHqcFile(const std::string& path, std::string_view xml) {
  std::string bytes, error;
  if (!host::EncodeXmlAsBinDocument(xml, bytes, &error)) throw std::runtime_error("bad test XML: " + error);
  WriteTextFile(path, bytes);
}

// A scratch directory removed when the object goes away.
class ScratchDir {
 public:
  ScratchDir() : path_(MakeTempDir()) {}
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(std::string_view relative) const { return path_ + "/" + std::string(relative); }

 private:
  std::string path_;
};

// Points a test host at `etcRoot` as its configuration root while keeping the sample's securities,
// sectors, trade spans and quote fields (the host's own files).
inline void UseConfigurationRoot(minihost::HostSettings& s, const std::string& etcRoot) {
  const std::string sample = KDP_SAMPLE_ETC;
  for (std::string* file : {&s.securitiesFile, &s.sectorsFile, &s.tradeSpansFile, &s.quoteFieldsFile}) {
    *file = sample + "/" + *file;
  }
  s.etcRoot = etcRoot;
}

// The fixture of the reference-table tests: a stand-in host on the sample configuration and a scratch
// directory for the ".dat" files a test writes.
class ReferenceFileTest : public ::testing::Test {
 protected:
  // Writes `utf8` as a code page 936 file in the scratch directory and returns its path.
  std::string Write(const std::string& name, const std::string& utf8) {
    const std::string path = scratch_.File(name);
    WriteAnsiFile(path, utf8);
    return path;
  }

  TestHost h;
  ScratchDir scratch_;
};

}  // namespace kdp::testing
