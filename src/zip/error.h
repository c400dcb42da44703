// The one error type of the zip library: what kind of failure, and the
// sentence that says it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kelvo::zip {

enum class Fault {
  kBadRequest,  // a level out of range, no input, a write begun inside a write
  kInput,       // an input that is missing, unreadable, not a file, or got shorter
  kNotAZip,     // the zip exists but cannot be read as a zip
  kWrite,       // the zip could not be written (missing folder, disk full, read-only)
  kAborted,     // the caller asked to stop
  kCheck,       // the zip read back does not hold what went in
};

struct Error {
  Fault fault = Fault::kWrite;
  std::string message;  // "can't <verb> '<object>': <reason>"
};

// "can't <verb> '<object>': <reason>", the form every message of the
// program takes.
std::string Message(std::string_view verb, std::string_view object, std::string_view reason);

inline Error MakeError(Fault fault, std::string_view verb, std::string_view object,
                       std::string_view reason) {
  return {fault, Message(verb, object, reason)};
}

// A value, or why there is none.
template <typename T>
struct Result {
  T value{};
  std::optional<Error> error;

  Result() = default;
  Result(T v) : value(std::move(v)) {}      // NOLINT: a value converts, as a result should
  Result(Error e) : error(std::move(e)) {}  // NOLINT
  explicit operator bool() const { return !error; }
};

}  // namespace kelvo::zip
