// Reading a whole ordinary file of bounded length. A FIFO, device, socket or
// directory at the path is refused without being opened, and what is opened
// is looked at again, so nothing put in the file's place can hold the read.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kelvo::host {

struct OrdinaryFile {
  enum class Status { Read, OpenFailed, ReadFailed, NotOrdinary, TooLarge } status = Status::Read;
  std::string bytes;       // Read: the whole file
  int error = 0;           // OpenFailed, ReadFailed: errno
  mode_t mode = 0;         // NotOrdinary: what the path is (st_mode)
  std::uint64_t size = 0;  // TooLarge: its length as far as it is known
};

// At most `limit` bytes; a longer file, or one that grows past the limit
// while it is read, is TooLarge.
OrdinaryFile ReadOrdinaryFile(const std::string& hostPath, std::uint64_t limit);

}  // namespace kelvo::host
