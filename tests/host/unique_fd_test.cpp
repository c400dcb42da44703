#include "host/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#include "host/ordinary_file.h"
#include "support/temp_drives.h"

namespace kelvo::host {

using testing::TempDrives;

namespace {

bool IsOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

int OpenRead(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace

TEST(UniqueFdTest, ClosesExactlyOnceWhateverHoldsIt) {
  TempDrives t;
  const std::string path = t.Host('d', "f.bin");
  TempDrives::WriteFile(path, "x");

  int raw = OpenRead(path);
  {
    UniqueFd a(raw);
    UniqueFd b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), raw);
    UniqueFd c;
    c = std::move(b);
    // Moving onto itself must neither close nor drop it.
    auto& alias = c;
    c = std::move(alias);
    EXPECT_TRUE(IsOpen(raw));
    EXPECT_EQ(c.get(), raw);
  }
  EXPECT_FALSE(IsOpen(raw));

  // reset closes the one held; release hands it over unclosed.
  int first = OpenRead(path), second = OpenRead(path);
  UniqueFd held(first);
  held.reset(second);
  EXPECT_FALSE(IsOpen(first));
  EXPECT_EQ(held.release(), second);
  EXPECT_FALSE(held);
  EXPECT_TRUE(IsOpen(second));
  ::close(second);
}

TEST(ReadExactlyTest, TellsCompleteShortAndFailedApart) {
  TempDrives t;
  const std::string path = t.Host('d', "f.bin");
  TempDrives::WriteFile(path, std::string("0123456789\0\x1A", 12));
  UniqueFd fd(OpenRead(path));

  char buffer[16] = {};
  ReadOutcome read = ReadExactly(fd.get(), buffer, 4, 8);
  EXPECT_TRUE(read);
  EXPECT_EQ(read.bytes, 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("89\0\x1A", 4));

  read = ReadExactly(fd.get(), buffer, 8, 6);
  EXPECT_FALSE(read);
  EXPECT_EQ(read.end, ReadOutcome::End::Short);
  EXPECT_EQ(read.bytes, 6u);
  EXPECT_EQ(read.error, 0);

  UniqueFd dir(::open(t.Host('d').c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  read = ReadExactly(dir.get(), buffer, 1, 0);
  EXPECT_EQ(read.end, ReadOutcome::End::Failed);
  EXPECT_EQ(read.error, EISDIR);
}

// What the reads give decides, from where the descriptor stands: a pipe
// whose writer said more than the limit is told apart by one byte.
TEST(ReadToEndTest, ReadsToTheEndOrOnePastTheLimit) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
  const std::string said = std::string(100'000, 'x') + "\x1A\r\n";
  std::thread writer([&] {
    for (std::size_t at = 0; at < said.size();)
      at += static_cast<std::size_t>(::write(writeEnd.get(), said.data() + at, said.size() - at));
    writeEnd.reset();
  });
  std::string heard = "kept ";
  ReadOutcome read = ReadToEnd(readEnd.get(), heard, said.size());
  writer.join();
  EXPECT_TRUE(read);
  EXPECT_EQ(heard, "kept " + said);

  TempDrives t;
  const std::string path = t.Host('d', "f.bin");
  TempDrives::WriteFile(path, "0123456789");
  UniqueFd fd(OpenRead(path));
  ASSERT_EQ(::lseek(fd.get(), 4, SEEK_SET), 4);
  std::string bytes;
  read = ReadToEnd(fd.get(), bytes, 5);
  EXPECT_EQ(read.end, ReadOutcome::End::Short);
  EXPECT_EQ(bytes, "456789");

  UniqueFd dir(::open(t.Host('d').c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  read = ReadToEnd(dir.get(), bytes, 5);
  EXPECT_EQ(read.end, ReadOutcome::End::Failed);
  EXPECT_EQ(read.error, EISDIR);
}

TEST(ReadOrdinaryFileTest, ReadsOrdinaryFilesWithinTheLimitOnly) {
  TempDrives t;
  const std::string bytes("line\r\n\x80\xDB\0end", 12);
  const std::string path = t.Host('d', "art.nfo");
  TempDrives::WriteFile(path, bytes);

  OrdinaryFile file = ReadOrdinaryFile(path, bytes.size());
  EXPECT_EQ(file.status, OrdinaryFile::Status::Read);
  EXPECT_EQ(file.bytes, bytes);

  file = ReadOrdinaryFile(path, bytes.size() - 1);
  EXPECT_EQ(file.status, OrdinaryFile::Status::TooLarge);
  EXPECT_EQ(file.size, bytes.size());
  EXPECT_TRUE(file.bytes.empty());

  file = ReadOrdinaryFile(t.Host('d', "missing"), 100);
  EXPECT_EQ(file.status, OrdinaryFile::Status::OpenFailed);
  EXPECT_EQ(file.error, ENOENT);
}

TEST(ReadOrdinaryFileTest, RefusesWhatIsNoFileWithoutWaitingOnIt) {
  TempDrives t;
  const std::string fifo = t.Host('d', "pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A FIFO without a writer would hold an open or a read for ever.
  OrdinaryFile file = ReadOrdinaryFile(fifo, 100);
  EXPECT_EQ(file.status, OrdinaryFile::Status::NotOrdinary);
  EXPECT_TRUE(S_ISFIFO(file.mode));

  file = ReadOrdinaryFile(t.Host('d'), 100);
  EXPECT_EQ(file.status, OrdinaryFile::Status::NotOrdinary);
  EXPECT_TRUE(S_ISDIR(file.mode));

  file = ReadOrdinaryFile("/dev/zero", 100);
  EXPECT_EQ(file.status, OrdinaryFile::Status::NotOrdinary);
  EXPECT_TRUE(S_ISCHR(file.mode));
}

}  // namespace kelvo::host
