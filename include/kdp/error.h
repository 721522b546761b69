// The package's one exception root, and the kinds of failure it shares with kdp::Status (the result of
// operations inside the package that fail without throwing). Operations do not throw toward widgets; where the system raises an
// error by name (a broken stock type map, a bad number instruction, an expression that fails to run, a
// failed synchronous request, a timer the host refuses), it throws a kdp::Error whose kind says which,
// through the named thin subclasses below, so a caller can catch one type and still tell them apart.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kdp {

enum class ErrorKind {
  kOutOfResources,   // the host refused a resource (a loop timer)
  kExpressionExec,   // a format expression failed to run
  kFormat,           // a number instruction whose arguments do not read
  kConvert,          // a field that must hold a number does not
  kStockTypeMap,     // the stock type map is broken
  kRequestFailed,    // a synchronous request the host could not perform
  kInvalidArgument,  // a caller broke an operation's contract (a duplicate registration)
  kCipher,           // an AES operation failed: the cipher refused, or its stream could not be read or written
  kUnavailable,      // a service the operation needs is missing or not connected yet
  kUnreadable,       // bytes from outside (a reply, a stream) that do not read, or a server's refusal
  kStorage,          // the cache database refused to keep what was read
  kTransport,        // a request could not be sent or was not answered
};

std::string_view ErrorKindName(ErrorKind kind);

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const noexcept { return kind_; }

 private:
  ErrorKind kind_;
};

// The system's names for the kinds it raises.
template <ErrorKind Kind>
class NamedError : public Error {
 public:
  explicit NamedError(const std::string& message) : Error(Kind, message) {}
};

using EOutOfResources = NamedError<ErrorKind::kOutOfResources>;
using EHQFormatError = NamedError<ErrorKind::kFormat>;
using EConvertError = NamedError<ErrorKind::kConvert>;
using EStockTypeMapError = NamedError<ErrorKind::kStockTypeMap>;
using ERequestFailed = NamedError<ErrorKind::kRequestFailed>;

// "Exec error." is the one message of a failing format expression.
class EHQExpExecError : public NamedError<ErrorKind::kExpressionExec> {
 public:
  EHQExpExecError() : NamedError("Exec error.") {}
};

}  // namespace kdp
