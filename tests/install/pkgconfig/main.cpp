// Built by hand from `pkg-config --cflags --libs --static kdp` alone: uses the installed public headers and
// libraries as a host would: the package's entry points, its name look-up (nothing answers without an
// installed host) and a host codec.
#include <cstdio>

#include "kdp/error.h"
#include "kdp/host/number_text.h"
#include "kdp/package.h"

int main() {
  if (kdp::QueryPackageInterface("IKrHQSecurityManager") != nullptr) return 1;
  const auto price = kdp::host::ParseDouble(" 10.25 ");
  if (!price || *price != 10.25) return 2;
  const kdp::EConvertError error("'abc' is not a valid integer value");
  if (error.kind() != kdp::ErrorKind::kConvert) return 3;
  std::puts("kdp pkg-config consumer: linked and ran");
  return 0;
}
