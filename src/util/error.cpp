#include "kdp/error.h"

namespace kdp {

std::string_view ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOutOfResources:
      return "out of resources";
    case ErrorKind::kExpressionExec:
      return "expression execution";
    case ErrorKind::kFormat:
      return "format instruction";
    case ErrorKind::kConvert:
      return "conversion";
    case ErrorKind::kStockTypeMap:
      return "stock type map";
    case ErrorKind::kRequestFailed:
      return "request failed";
    case ErrorKind::kInvalidArgument:
      return "invalid argument";
    case ErrorKind::kCipher:
      return "cipher";
    case ErrorKind::kUnavailable:
      return "unavailable";
    case ErrorKind::kUnreadable:
      return "unreadable";
    case ErrorKind::kStorage:
      return "storage";
    case ErrorKind::kTransport:
      return "transport";
  }
  return "unknown";
}

}  // namespace kdp
