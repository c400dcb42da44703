#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvo::host {

// A run-time failure of a host operation. The text reads
// "can't <verb> '<object>': <reason>" so that it can be shown as it stands.
class HostError : public std::runtime_error {
 public:
  HostError(std::string_view verb, std::string_view object, std::string_view reason);
};

// HostError from errno.
[[noreturn]] void ThrowErrno(std::string_view verb, std::string_view object, int err);

}  // namespace kelvo::host
