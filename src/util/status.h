// The one failure channel inside the package: an operation that can fail returns a Status (or a Result
// holding its value), whose kind says which failure it was and whose message says why, in words that can be
// logged or shown to a user. Published interfaces keep their integer and bool codes: they convert a Status
// at their edge (logging its message), so the reason is never lost on the way there.
// Values; no thread rules of their own.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "kdp/error.h"

namespace kdp {

class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  Status(ErrorKind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

  bool ok() const { return !kind_.has_value(); }
  // REQUIRES: !ok().
  ErrorKind kind() const { return *kind_; }
  // Why it failed ("" on success).
  const std::string& message() const { return message_; }

 private:
  std::optional<ErrorKind> kind_;
  std::string message_;
};

// A value, or the Status of the failure that kept it from being made.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor): a value is success
  Result(Status failure) : state_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
  Result(ErrorKind kind, std::string message) : state_(Status(kind, std::move(message))) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  // REQUIRES: ok().
  const T& value() const { return std::get<T>(state_); }
  T& value() { return std::get<T>(state_); }
  // Success when ok().
  Status status() const { return ok() ? Status() : std::get<Status>(state_); }
  const std::string& message() const {
    static const std::string kNone;
    return ok() ? kNone : std::get<Status>(state_).message();
  }
  ErrorKind kind() const { return std::get<Status>(state_).kind(); }

 private:
  std::variant<T, Status> state_;
};

}  // namespace kdp
