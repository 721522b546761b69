// kdp-xml2hqc: converts XML configuration files into the host's binary documents (".hqc").
//   kdp-xml2hqc SOURCE.xml [TARGET.hqc]     one file (target defaults to the source with ".hqc")
#include <cstdio>
#include <string>

#include "kdp/host/bin_document.h"
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
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "kdp-xml2hqc: cannot open %s\n", source.c_str());
    return 1;
  }
  std::string xml;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) xml.append(buffer, n);
  std::fclose(in);

  std::string encoded, error;
  if (!kdp::host::EncodeXmlAsBinDocument(xml, encoded, &error)) {
    std::fprintf(stderr, "kdp-xml2hqc: %s: %s\n", source.c_str(), error.c_str());
    return 1;
  }
  std::FILE* out = std::fopen(target.c_str(), "wb");
  if (out == nullptr || std::fwrite(encoded.data(), 1, encoded.size(), out) != encoded.size()) {
    std::fprintf(stderr, "kdp-xml2hqc: cannot write %s\n", target.c_str());
    if (out) std::fclose(out);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
