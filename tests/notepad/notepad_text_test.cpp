#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <thread>

#include <set>

#include "host/command_runner.h"
#include "support/temp_drives.h"
#include "text/notepad_text.h"
#include "texts/text_files.h"

namespace kelvo::notepad {

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += char(b);
  return bytes;
}

// The path the editor sees for a command line the program builds.
std::string EditorPath(const std::string& commandLine) {
  auto words = host::SplitCommandLine(commandLine);
  EXPECT_TRUE(words && !words->empty());
  if (!words || words->empty()) return {};
  return PathFromArgs({words->begin() + 1, words->end()});
}

// ReadFile on another thread, or nullopt when it has not returned within a
// few seconds (the thread is then left to itself, so that a read that
// never ends fails the test instead of hanging it).
std::optional<FileRead> ReadWithin(const std::string& path, std::size_t limit = kMaxFileBytes) {
  std::packaged_task<FileRead()> task([path, limit] { return ReadFile(path, limit); });
  auto result = task.get_future();
  std::thread(std::move(task)).detach();
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // A reader stuck opening a pipe is let go by a writer showing up.
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    return std::nullopt;
  }
  return result.get();
}

}  // namespace

TEST(NotepadTextTest, SingleByteViewsShowEveryByteDistinctlyAndMapBack) {
  for (View view : {View::Cp437, View::Latin1}) {
    QString shown = DecodeLine(AllBytes(), view);
    ASSERT_EQ(shown.size(), 256);
    std::set<char16_t> distinct;
    for (QChar c : shown) {
      distinct.insert(c.unicode());
      // Nothing that a text widget would take as a line break or hide.
      EXPECT_FALSE(c == QChar('\n') || c == QChar('\r') || c == QChar('\t'));
    }
    EXPECT_EQ(distinct.size(), 256u);
    EXPECT_EQ(EncodeLine(shown, view), AllBytes());
  }
}

TEST(NotepadTextTest, Cp437ShowsArtGlyphs) {
  EXPECT_EQ(ByteToChar(0xDB, View::Cp437), QChar(0x2588));  // full block
  EXPECT_EQ(ByteToChar(0xB0, View::Cp437), QChar(0x2591));  // light shade
  EXPECT_EQ(ByteToChar(0xC9, View::Cp437), QChar(0x2554));  // double corner
  EXPECT_EQ(ByteToChar(0x01, View::Cp437), QChar(0x263A));  // smiley
  EXPECT_EQ(ByteToChar(0x7F, View::Cp437), QChar(0x2302));  // house
  EXPECT_EQ(ByteToChar(0x82, View::Latin1), QChar(0x82));
  EXPECT_EQ(ByteToChar(0xE9, View::Latin1), QChar(0xE9));
}

TEST(NotepadTextTest, TypedCharactersBecomeBytes) {
  EXPECT_EQ(EncodeLine(QString::fromUtf8("a\tb"), View::Cp437), "a\tb");
  EXPECT_EQ(EncodeLine(QString::fromUtf8("é█"), View::Cp437), "\x82\xDB");
  EXPECT_EQ(EncodeLine(QString::fromUtf8("é█"), View::Latin1), "\xE9?");
  EXPECT_EQ(EncodeLine(QString::fromUtf8("€"), View::Cp437), "?");
  EXPECT_EQ(EncodeLine(QString::fromUtf8("é€"), View::Utf8), "\xC3\xA9\xE2\x82\xAC");
}

TEST(NotepadTextTest, Utf8ViewIsExactOnlyForUtf8) {
  EXPECT_TRUE(Utf8Exact("plain \xC3\xA9 \xE2\x96\x88"));
  EXPECT_FALSE(Utf8Exact("\xDB\xDB\xB0"));
  EXPECT_FALSE(Utf8Exact("\xC3"));
  EXPECT_EQ(ColumnAfter(QString::fromUtf8("\xC3\xA9x"), View::Utf8), 4);
  EXPECT_EQ(ColumnAfter(DecodeLine("\xC3\xA9x", View::Cp437), View::Cp437), 4);
}

TEST(NotepadTextTest, LinesKeepTheirTerminators) {
  for (std::string bytes : {"", "one", "a\r\nb\r\n", "a\nb\n", "a\r\nb\nc", "\r\n\n\r\n",
                            "lone\rcr\r\r\n", "\x1A\xFF\r\n\x00\x80"}) {
    auto lines = SplitLines(bytes);
    EXPECT_EQ(JoinLines(lines), bytes);
    EXPECT_TRUE(lines.back().end.empty());
    for (const auto& line : lines) EXPECT_EQ(line.text.find('\n'), std::string::npos);
  }
  auto lines = SplitLines("x\ry\r\nz");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "x\ry");
  EXPECT_EQ(lines[0].end, "\r\n");
}

TEST(NotepadTextTest, EditedLinesTakeTheTerminatorsAround) {
  auto relinked = [](const std::string& original, std::vector<std::string> edited) {
    return JoinLines(Relink(SplitLines(original), edited));
  };
  // A changed line keeps its own terminator, whatever the others are.
  EXPECT_EQ(relinked("a\r\nb\nc\r\n", {"a", "B", "c", ""}), "a\r\nB\nc\r\n");
  // An added line takes the file's usual terminator.
  EXPECT_EQ(relinked("a\r\nb\r\nc", {"a", "new", "b", "c"}), "a\r\nnew\r\nb\r\nc");
  EXPECT_EQ(relinked("a\nb\nc\n", {"a", "b", "new", "c", ""}), "a\nb\nnew\nc\n");
  // Removed lines take theirs with them; the last line stays open.
  EXPECT_EQ(relinked("a\r\nb\nc", {"a", "c"}), "a\r\nc");
  EXPECT_EQ(relinked("a\nb\r\n", {"a", "b"}), "a\nb");
  // Text after an open last line, and a new last line after a closed one.
  EXPECT_EQ(relinked("a\r\nb", {"a", "bc"}), "a\r\nbc");
  EXPECT_EQ(relinked("a\nb\n", {"a", "b", "c"}), "a\nb\nc");
  // A file without line ends gets DOS ones.
  EXPECT_EQ(relinked("ab", {"a", "b"}), "a\r\nb");
}

TEST(NotepadTextTest, PathArrivesWholeFromTheProgramsCommandLines) {
  // Unquoted, ending in one space (the drafts in the temp folder).
  EXPECT_EQ(EditorPath("Notepad.exe c:\\kelvo\\temp\\file_id.diz "),
            "c:\\kelvo\\temp\\file_id.diz");
  // Unquoted with blanks inside.
  EXPECT_EQ(EditorPath("Notepad.exe d:\\my rel\\about it.nfo "), "d:\\my rel\\about it.nfo");
  // Quoted by the program because of the blanks.
  for (std::string path : {"d:\\my rel\\file_id.diz", "d:\\a  b\\x.nfo", "c:\\~kelvo.diz"})
    EXPECT_EQ(EditorPath(texts::EditorCommandLine(path)), path);
  EXPECT_EQ(PathFromArgs({}), "");
}

TEST(NotepadTextTest, ReadingRefusesWhatItCannotEdit) {
  kelvo::testing::TempDrives drives;
  std::string dir = drives.Host('d');
  std::string big = dir + "/big.nfo";
  kelvo::testing::TempDrives::WriteFile(big, std::string(5000, '\xDB'));

  FileRead r = ReadFile(big, 4096);
  EXPECT_EQ(r.status, FileRead::Status::TooBig);
  EXPECT_EQ(r.size, 5000u);
  EXPECT_TRUE(r.bytes.empty());
  r = ReadFile(big, 5000);
  EXPECT_EQ(r.status, FileRead::Status::Ok);
  EXPECT_EQ(r.bytes, std::string(5000, '\xDB'));

  EXPECT_EQ(ReadFile(dir + "/none.diz").status, FileRead::Status::Missing);
  r = ReadFile(dir);
  EXPECT_EQ(r.status, FileRead::Status::Failed);
  EXPECT_FALSE(r.error.empty());
}

TEST(NotepadTextTest, WhatIsNoRegularFileIsRefusedWithoutWaitingOnIt) {
  kelvo::testing::TempDrives drives;
  const std::string dir = drives.Host('d');
  const std::string fifo = dir + "/pipe.nfo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(fifo.c_str(), (dir + "/link.nfo").c_str()), 0);
  const std::string socketPath = dir + "/s.nfo";
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const std::pair<std::string, std::string> cases[] = {
      {fifo, "named pipe"},    {dir + "/link.nfo", "named pipe"},
      {"/dev/zero", "device"}, {"/dev/null", "device"},
      {socketPath, "socket"},  {dir, "Is a directory"},
  };
  for (const auto& [path, why] : cases) {
    auto r = ReadWithin(path);
    if (!r) {
      ADD_FAILURE() << path << " kept the reader waiting";
      continue;
    }
    EXPECT_EQ(r->status, FileRead::Status::Failed) << path;
    EXPECT_NE(r->error.find(why), std::string::npos) << path << ": " << r->error;
    EXPECT_TRUE(r->bytes.empty()) << path;
  }
  ::close(sock);

  // A file larger than the limit is refused by its size, unread.
  const std::string sparse = dir + "/huge.nfo";
  kelvo::testing::TempDrives::WriteFile(sparse, "");
  ASSERT_EQ(::truncate(sparse.c_str(), off_t(kMaxFileBytes) * 4), 0);
  auto r = ReadWithin(sparse);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, FileRead::Status::TooBig);
  EXPECT_EQ(r->size, kMaxFileBytes * 4);
  EXPECT_TRUE(r->bytes.empty());
}

TEST(NotepadTextTest, WritingSaysWhyItFailed) {
  kelvo::testing::TempDrives drives;
  std::string dir = drives.Host('d');
  EXPECT_EQ(WriteFile(dir + "/x.diz", std::string("a\0b", 3)), "");
  EXPECT_EQ(kelvo::testing::TempDrives::ReadFile(dir + "/x.diz"), std::string("a\0b", 3));
  EXPECT_NE(WriteFile(dir + "/missing/x.diz", "a").find("No such file"), std::string::npos);
}

TEST(NotepadTextTest, AFailedSaveLeavesTheOldFileWholeAndASaveKeepsLinkAndPermissions) {
  kelvo::testing::TempDrives drives;
  const std::string dir = drives.Host('d');
  const std::string nfo = dir + "/rel.nfo";
  kelvo::testing::TempDrives::WriteFile(nfo, "old art\r\n");
  ASSERT_EQ(::chmod(nfo.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(nfo.c_str(), (dir + "/link.nfo").c_str()), 0);

  // A disk that fills up half way: a file size limit stands in for it.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit limit{}, small{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  small = limit;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const std::string error = WriteFile(nfo, std::string(10000, '\xDB'));
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_NE(error, "");
  EXPECT_EQ(kelvo::testing::TempDrives::ReadFile(nfo), "old art\r\n");
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"link.nfo", "rel.nfo"}));  // nothing half-saved left

  EXPECT_EQ(WriteFile(dir + "/link.nfo", "new art\r\n"), "");
  EXPECT_EQ(kelvo::testing::TempDrives::ReadFile(nfo), "new art\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.nfo"));
  struct stat st {};
  ASSERT_EQ(::stat(nfo.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(NotepadTextTest, ManyNulsAreNotText) {
  EXPECT_FALSE(LooksBinary("an \xDB\xDB NFO\r\n"));
  EXPECT_FALSE(LooksBinary(std::string(2, '\0') + std::string(100, 'a')));
  EXPECT_TRUE(LooksBinary(std::string(50, '\0') + std::string(100, 'a')));
}

}  // namespace kelvo::notepad
