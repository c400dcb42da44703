#include "zip/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "host/unique_fd.h"

namespace kelvo::zip {

namespace {

constexpr std::size_t kWriteBlock = 1 << 20;

struct ArchiveFile {
  std::string path;
  zip_error_t error;

  host::UniqueFd readFd;
  std::uint64_t readPos = 0, readSize = 0;

  std::string temp;
  host::UniqueFd writeFd;
  std::vector<char>& buffer;
  std::size_t used = 0;
  std::uint64_t bufferAt = 0;  // file offset of buffer[0]

  ArchiveFile(std::string p, std::vector<char>& b) : path(std::move(p)), buffer(b) {
    zip_error_init(&error);
  }
  ~ArchiveFile() {
    DropTemp();
    zip_error_fini(&error);
  }

  zip_int64_t Fail(int zipError, int sysError) {
    zip_error_set(&error, zipError, sysError);
    return -1;
  }

  void DropTemp() {
    writeFd.reset();
    if (!temp.empty()) ::unlink(temp.c_str());
    temp.clear();
  }

  bool WriteAt(const char* data, std::size_t len, std::uint64_t offset) {
    for (std::size_t done = 0; done < len;) {
      ssize_t n =
          ::pwrite(writeFd.get(), data + done, len - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        Fail(ZIP_ER_WRITE, errno);
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Flush() {
    if (used > 0 && !WriteAt(buffer.data(), used, bufferAt)) return false;
    bufferAt += used;
    used = 0;
    return true;
  }

  zip_int64_t BeginWrite() {
    struct stat st;
    bool existed = ::stat(path.c_str(), &st) == 0;
    thread_local std::mt19937 rng{std::random_device{}()};
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = path + ".";
      for (int i = 0; i < 6; ++i) name += letters[rng() % (sizeof letters - 1)];
      // 0666 through the umask, as for any new file.
      writeFd.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (writeFd) {
        temp = name;
        break;
      }
      if (errno != EEXIST) return Fail(ZIP_ER_TMPOPEN, errno);
    }
    if (!writeFd) return Fail(ZIP_ER_TMPOPEN, EEXIST);
    if (existed && ::fchmod(writeFd.get(), st.st_mode & 07777) != 0) {
      int err = errno;
      DropTemp();
      return Fail(ZIP_ER_TMPOPEN, err);
    }
    if (buffer.size() < kWriteBlock) buffer.resize(kWriteBlock);
    used = 0;
    bufferAt = 0;
    return 0;
  }

  zip_int64_t Write(const char* data, std::uint64_t len) {
    for (std::uint64_t left = len; left > 0;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size() - used));
      std::memcpy(buffer.data() + used, data, n);
      used += n;
      data += n;
      left -= n;
      if (used == buffer.size() && !Flush()) return -1;
    }
    return static_cast<zip_int64_t>(len);
  }

  zip_int64_t SeekWrite(void* data, std::uint64_t len) {
    auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &error);
    if (!args || !Flush()) return -1;
    std::int64_t base = 0;
    if (args->whence == SEEK_CUR) {
      base = static_cast<std::int64_t>(bufferAt);
    } else if (args->whence == SEEK_END) {
      struct stat st;
      if (::fstat(writeFd.get(), &st) != 0) return Fail(ZIP_ER_SEEK, errno);
      base = st.st_size;
    } else if (args->whence != SEEK_SET) {
      return Fail(ZIP_ER_INVAL, 0);
    }
    if (base + args->offset < 0) return Fail(ZIP_ER_INVAL, 0);
    bufferAt = static_cast<std::uint64_t>(base + args->offset);
    return 0;
  }

  zip_int64_t CommitWrite() {
    if (!Flush()) return -1;
    if (::close(writeFd.release()) != 0) return Fail(ZIP_ER_WRITE, errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return Fail(ZIP_ER_RENAME, errno);
    temp.clear();
    return 0;
  }

  zip_int64_t Stat(void* data, std::uint64_t len) {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error);
    if (!st) return -1;
    struct stat host;
    // A missing file reads as ENOENT, which zip_open with ZIP_CREATE takes
    // for a new zip.
    if (::stat(path.c_str(), &host) != 0) return Fail(ZIP_ER_READ, errno);
    zip_stat_init(st);
    st->size = static_cast<zip_uint64_t>(host.st_size);
    st->mtime = host.st_mtime;
    st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    return sizeof(zip_stat_t);
  }

  zip_int64_t Open() {
    readFd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!readFd) return Fail(ZIP_ER_OPEN, errno);
    struct stat st;
    if (::fstat(readFd.get(), &st) != 0) return Fail(ZIP_ER_OPEN, errno);
    readSize = static_cast<std::uint64_t>(st.st_size);
    readPos = 0;
    return 0;
  }

  zip_int64_t Read(void* data, std::uint64_t len) {
    for (;;) {
      ssize_t n = ::pread(readFd.get(), data,
                          static_cast<std::size_t>(std::min<std::uint64_t>(len, 1 << 30)),
                          static_cast<off_t>(readPos));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(ZIP_ER_READ, errno);
      readPos += static_cast<std::uint64_t>(n);
      return n;
    }
  }

  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
      case ZIP_SOURCE_STAT:
        return Stat(data, len);
      case ZIP_SOURCE_OPEN:
        return Open();
      case ZIP_SOURCE_READ:
        return Read(data, len);
      case ZIP_SOURCE_CLOSE:
        readFd.reset();
        return 0;
      case ZIP_SOURCE_SEEK: {
        zip_int64_t pos = zip_source_seek_compute_offset(readPos, readSize, data, len, &error);
        if (pos < 0) return -1;
        readPos = static_cast<std::uint64_t>(pos);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(readPos);
      case ZIP_SOURCE_BEGIN_WRITE:
        return BeginWrite();
      case ZIP_SOURCE_WRITE:
        return Write(static_cast<const char*>(data), len);
      case ZIP_SOURCE_SEEK_WRITE:
        return SeekWrite(data, len);
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(bufferAt + used);
      case ZIP_SOURCE_COMMIT_WRITE:
        return CommitWrite();
      case ZIP_SOURCE_ROLLBACK_WRITE:
        DropTemp();
        return 0;
      case ZIP_SOURCE_REMOVE:
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Fail(ZIP_ER_REMOVE, errno);
        return 0;
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error, data, len);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0;  // an empty file is no zip, as with libzip's own file source
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE |
               zip_source_make_command_bitmap(ZIP_SOURCE_ACCEPT_EMPTY,
                                              static_cast<zip_source_cmd_t>(-1));
      default:
        return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    return static_cast<ArchiveFile*>(state)->Handle(data, len, cmd);
  }
};

}  // namespace

zip_t* OpenZipArchive(const std::string& hostPath, int flags, std::vector<char>& writeBuffer,
                      zip_error_t* error) {
  auto* file = new ArchiveFile(hostPath, writeBuffer);
  zip_source_t* source = zip_source_function_create(&ArchiveFile::Callback, file, error);
  if (!source) {
    delete file;
    return nullptr;
  }
  zip_t* zip = zip_open_from_source(source, flags, error);
  if (!zip) zip_source_free(source);  // frees `file`
  return zip;
}

}  // namespace kelvo::zip
