#include "host/host_error.h"

#include <cstring>

namespace kelvo::host {

HostError::HostError(std::string_view verb, std::string_view object, std::string_view reason)
    : std::runtime_error("can't " + std::string(verb) + " '" + std::string(object) +
                         "': " + std::string(reason)) {}

void ThrowErrno(std::string_view verb, std::string_view object, int err) {
  throw HostError(verb, object, std::strerror(err));
}

}  // namespace kelvo::host
