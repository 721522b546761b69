// kdp-xml2hqc: converts XML configuration files into the host's binary documents (".hqc").
//   kdp-xml2hqc SOURCE.xml [TARGET.hqc]     one file (target defaults to the source with ".hqc")
#include <cstdio>
#include <string>

#include "kdp/host/bin_document.h"
#include "kdp/host/display_text.h"
#include "kdp/host/file_io.h"
#include "kdp/host/host_environment.h"

namespace {

std::string DefaultTarget(const std::string& source) {
  const std::size_t dot = source.find_last_of('.');
  const std::size_t slash = source.find_last_of('/');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? source.substr(0, dot) : source) + ".hqc";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: kdp-xml2hqc SOURCE.xml [TARGET.hqc]\n");
    return 2;
  }
  const std::string source = argv[1];
  const std::string target = argc == 3 ? argv[2] : DefaultTarget(source);
  std::string xml, encoded, error;
  if (!kdp::host::ReadWholeFile(source, xml, error)) {
    std::fprintf(stderr, "kdp-xml2hqc: cannot read %s: %s\n", kdp::host::EscapeControlChars(source).c_str(),
                 error.c_str());
    return 1;
  }
  // Nothing is written for a document the readers would refuse (bad XML, nesting beyond their limit).
  if (!kdp::host::EncodeXmlAsBinDocument(xml, encoded, &error)) {
    std::fprintf(stderr, "kdp-xml2hqc: %s: %s\n", kdp::host::EscapeControlChars(source).c_str(), error.c_str());
    return 1;
  }
  std::FILE* out = std::fopen(target.c_str(), "wb");
  if (out == nullptr || std::fwrite(encoded.data(), 1, encoded.size(), out) != encoded.size()) {
    std::fprintf(stderr, "kdp-xml2hqc: cannot write %s\n", kdp::host::EscapeControlChars(target).c_str());
    if (out) std::fclose(out);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
