#include "zip/comment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>

#include "host/host_error.h"
#include "run/zip_component.h"
#include "run/zip_test_util.h"
#include "support/temp_drives.h"

namespace kelvo {

using testing::DirNames;
using testing::Quote;
using testing::RandomBytes;
using testing::ReadZip;
using testing::RunHost;
using testing::TempDrives;
using testing::TestApp;
using testing::TextBytes;
using Names = std::vector<std::string>;

// A CP437 banner of `size` bytes: CR LF lines, box drawing, a line that is
// only ".", an end-of-file byte, a NUL.
std::string Banner(std::size_t size) {
  using namespace std::string_literals;
  std::string text = "\xC9\xCD\xCD\xCD\xBB\r\n\xBA DEMO \xBA\r\n.\r\n\x1A\x00\x0C\x1B\r\n"s;
  while (text.size() < size) text += TextBytes(200) + ".\r\n";
  text.resize(size);
  return text;
}

// libzip's own reading of the comment, as raw bytes.
std::string LibzipComment(const std::string& hostZip) {
  int err = 0;
  zip_t* z = zip_open(hostZip.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!z) return "<no zip: " + std::to_string(err) + ">";
  int len = 0;
  const char* comment = zip_get_archive_comment(z, &len, ZIP_FL_ENC_RAW);
  std::string bytes = comment ? std::string(comment, static_cast<std::size_t>(len)) : "";
  zip_discard(z);
  return bytes;
}

class ZipCommentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDrives::WriteFile(app.drives.Host('d', "src/demo.7z.001"), RandomBytes(200'000, 1));
    TempDrives::WriteFile(app.drives.Host('c', "app/file_id.diz"), "DEMO 02/12\r\n");
    ZipComponent zip(app.fs);
    zip.ZipFile = "d:\\zips\\DEMO02";
    zip.FilesToAdd = "d:\\src\\demo.7z.001\rc:\\app\\file_id.diz\r";
    std::filesystem::create_directories(app.drives.Host('d', "zips"));
    ASSERT_EQ(zip.Add(0), 0) << zip.LastError();
    original = TempDrives::ReadFile(hostZip);
  }

  // pkzip run directly, so that its exit status and its message are seen.
  testing::HostRun Pkzip(const std::string& args, const std::string& input,
                         const std::string& cwd = "/") {
    std::string inputFile = app.drives.Host('e', "pkzip-input");
    TempDrives::WriteFile(inputFile, input);
    ::setenv(host::DriveTable::kEnvVar, app.drives.table.Serialize().c_str(), 1);
    auto run = RunHost("cd " + Quote(cwd) + " && " + std::string(KELVO_APP_BUILD_DIR) + "/pkzip " +
                       args + " <" + Quote(inputFile));
    ::unsetenv(host::DriveTable::kEnvVar);
    return run;
  }

  void ExpectIntact(const std::string& zipPath) {
    auto unzip = RunHost("unzip -t " + Quote(zipPath));
    EXPECT_EQ(unzip.status, 0) << unzip.output;
    auto sevenZip = RunHost("7zz t " + Quote(zipPath));
    EXPECT_EQ(sevenZip.status, 0) << sevenZip.output;
  }

  TestApp app;
  std::string hostZip = app.drives.Host('d', "zips/DEMO02.zip");
  std::string original;
};

TEST_F(ZipCommentTest, BannerBecomesTheCommentByteForByte) {
  std::string banner = Banner(32'000);
  TempDrives::WriteFile(app.drives.Host('c', "app/temp/banner.txt"), banner);
  // The line the zip packaging runs.
  auto result =
      app.runner.ExecCmd("command.com /c pkzip.exe D:\\ZIPS\\DEMO02 -z <C:\\APP\\TEMP\\BANNER.TXT");
  ASSERT_TRUE(result.started) << result.error;
  EXPECT_EQ(result.exitStatus, 0);

  EXPECT_EQ(LibzipComment(hostZip), banner);
  EXPECT_EQ(zip::ReadComment(hostZip, "demo02.zip").value, banner);
  // Everything before the comment is the zip as it was.
  std::string now = TempDrives::ReadFile(hostZip);
  ASSERT_EQ(now.size(), original.size() + banner.size());
  EXPECT_EQ(now.substr(0, original.size() - 2), original.substr(0, original.size() - 2));
  ExpectIntact(hostZip);
  auto entries = ReadZip(hostZip);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].second.data, "DEMO 02/12\r\n");
  EXPECT_EQ(DirNames(app.drives.Host('d', "zips")), Names{"DEMO02.zip"});

  // unzip shows it with the "." line (as text: LF line ends, up to the NUL).
  auto shown = RunHost("unzip -z " + Quote(hostZip));
  EXPECT_NE(shown.output.find("\xBA DEMO \xBA\n.\n\x1A"), std::string::npos) << shown.output;
}

TEST_F(ZipCommentTest, ACommentIsReplacedAndCanBeEmptied) {
  for (const std::string& comment :
       {std::string("first comment, rather long\r\n"), std::string("2nd\r\n"),
        std::string(65'535, '\xB0'), std::string()}) {
    auto run = Pkzip("'d:\\zips\\demo02' -z", comment);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(LibzipComment(hostZip), comment);
    EXPECT_EQ(std::filesystem::file_size(hostZip), original.size() + comment.size());
  }
  EXPECT_EQ(TempDrives::ReadFile(hostZip), original);
  ExpectIntact(hostZip);
}

TEST_F(ZipCommentTest, PathsAreDosPathsFromTheWorkingDirectory) {
  // A relative name, from the directory the child was started in.
  auto run = Pkzip("demo02 -Z", "relative", app.drives.Host('d', "zips"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(LibzipComment(hostZip), "relative");
  // The extension given: taken as it stands.
  run = Pkzip("'d:\\zips\\demo02.zip' -z", "with extension");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(LibzipComment(hostZip), "with extension");
}

TEST_F(ZipCommentTest, Zip64ArchiveKeepsWorking) {
  std::string z64 = app.drives.Host('d', "zips/z64.zip");
  TempDrives::WriteFile(app.drives.Host('d', "src/a.txt"), TextBytes(5'000));
  ASSERT_EQ(RunHost("cd " + Quote(app.drives.Host('d', "src")) + " && zip -q -fz " + Quote(z64) +
                    " a.txt demo.7z.001")
                .status,
            0);
  ASSERT_TRUE(zip::FindEndRecord(z64, "z64.zip").value.zip64);

  std::string banner = Banner(3'000);
  auto run = Pkzip("'d:\\zips\\z64' -z", banner);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(zip::FindEndRecord(z64, "z64.zip").value.zip64);
  EXPECT_EQ(LibzipComment(z64), banner);
  ExpectIntact(z64);
  EXPECT_EQ(ReadZip(z64).size(), 2u);
}

TEST_F(ZipCommentTest, TheRealEndRecordIsFoundBehindAFakeOne) {
  // A comment written by some other program that holds a copy of the end
  // record: the copy points at a directory that does not end where it is.
  std::string fake = original.substr(original.size() - 22);
  std::string bytes = original;
  std::size_t len = 2 + fake.size();
  bytes[bytes.size() - 2] = static_cast<char>(len);
  bytes += "xx" + fake;
  TempDrives::WriteFile(hostZip, bytes);
  ASSERT_EQ(zip::ReadComment(hostZip, "DEMO02.zip").value, "xx" + fake);

  auto run = Pkzip("'d:\\zips\\demo02' -z", "clean");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(TempDrives::ReadFile(hostZip).size(), original.size() + 5);
  EXPECT_EQ(LibzipComment(hostZip), "clean");
}

TEST_F(ZipCommentTest, BytesInMemoryAreSearchedAsTheFileIs) {
  std::string fake = original.substr(original.size() - 22);
  std::string bytes = original;
  bytes[bytes.size() - 2] = static_cast<char>(2 + fake.size());
  bytes += "xx" + fake;
  TempDrives::WriteFile(hostZip, bytes);
  zip::EndSearch search = zip::SearchEndRecord(zip::ZipBytes(bytes));
  ASSERT_TRUE(search.record);
  EXPECT_EQ(search.record->offset, zip::FindEndRecord(hostZip, "DEMO02.zip").value.offset);
  EXPECT_EQ(search.record->commentLength, 2 + fake.size());
  // Shifted by a byte, the directory is not where the record says.
  EXPECT_FALSE(zip::SearchEndRecord(zip::ZipBytes(std::string_view(bytes).substr(1))).record);
  EXPECT_FALSE(zip::SearchEndRecord(zip::ZipBytes(std::string_view(bytes).substr(0, 21))).record);

  // The new comment's bytes: its length, then itself; refused as the file is.
  zip::CommentTail tail = zip::NewCommentTail(zip::ZipBytes(bytes), *search.record, "new");
  EXPECT_EQ(tail.bytes, std::string("\x03\x00new", 5));
  EXPECT_TRUE(tail.refusal.empty());
  tail = zip::NewCommentTail(zip::ZipBytes(bytes), *search.record, "a PK\x05\x06 b");
  EXPECT_TRUE(tail.bytes.empty());
  EXPECT_EQ(tail.refusal, "the comment holds a zip end record signature");
}

TEST_F(ZipCommentTest, ASignatureAcrossTheLengthIsRefused) {
  // A length of 0x4B50 is stored as "PK": a comment that starts with 05 06
  // and a directory that fits would be a second end record behind the real
  // one, and found first.
  const std::uint64_t offset = original.size() - 22;
  const std::size_t length = 0x4B50;
  std::string fake = "\x05\x06" + std::string(12, '\0');
  for (int shift : {0, 8, 16, 24}) fake += static_cast<char>((offset + 20) >> shift);
  fake += static_cast<char>((length - 20) & 0xFF);
  fake += static_cast<char>((length - 20) >> 8);
  EXPECT_TRUE(
      zip::WriteComment(hostZip, fake + std::string(length - fake.size(), 'x'), "DEMO02.zip"));
  // One byte further on: a length of 0x50xx, then "K" 05 06.
  EXPECT_TRUE(zip::WriteComment(hostZip, "K\x05\x06" + std::string(0x5010, 'x'), "DEMO02.zip"));
  EXPECT_EQ(TempDrives::ReadFile(hostZip), original);

  // That length with other bytes is a comment like any other.
  std::string plain(length, '\x05');
  ASSERT_FALSE(zip::WriteComment(hostZip, plain, "DEMO02.zip"));
  EXPECT_EQ(zip::FindEndRecord(hostZip, "DEMO02.zip").value.offset, offset);
  EXPECT_EQ(zip::ReadComment(hostZip, "DEMO02.zip").value, plain);
  ExpectIntact(hostZip);
}

TEST_F(ZipCommentTest, RefusalsLeaveTheZipUntouched) {
  struct Case {
    std::string args, input, message;
  };
  TempDrives::WriteFile(app.drives.Host('d', "zips/text.zip"), "PK\x05\x06 but no zip\r\n");
  TempDrives::WriteFile(app.drives.Host('d', "zips/cut.zip"),
                        original.substr(0, original.size() - 30));
  for (const auto& c : std::vector<Case>{
           {"'d:\\zips\\demo02' -z", std::string(65'536, 'x'),
            "can't set the comment of 'd:\\zips\\demo02.zip': the comment is longer than 65535 "
            "bytes\n"},
           {"'d:\\zips\\demo02' -z", "PK\x05\x06 inside",
            "can't set the comment of 'd:\\zips\\demo02.zip': the comment holds a zip end record "
            "signature\n"},
           {"'d:\\zips\\missing' -z", "x",
            "can't open 'd:\\zips\\missing.zip': No such file or directory\n"},
           {"'d:\\zips\\text' -z", "x", "can't read 'd:\\zips\\text.zip': not a zip file\n"},
           {"'d:\\zips\\cut' -z", "x", "can't read 'd:\\zips\\cut.zip': not a zip file\n"},
           {"'d:\\zips\\demo02'", "x",
            "can't run 'pkzip': nothing to do: only -z (zip comment) is known\n"},
           {"'d:\\zips\\demo02' -a", "x",
            "can't use option '-a': only -z (zip comment) is known\n"},
           {"-z", "x", "can't run 'pkzip': no zip named (pkzip <zip> -z <comment.txt)\n"},
       }) {
    auto run = Pkzip(c.args, c.input);
    EXPECT_NE(run.status, 0) << c.args;
    EXPECT_EQ(run.output, c.message);
  }
  EXPECT_EQ(TempDrives::ReadFile(hostZip), original);
  EXPECT_EQ(DirNames(app.drives.Host('d', "zips")), (Names{"DEMO02.zip", "cut.zip", "text.zip"}));

  ::chmod(hostZip.c_str(), 0444);
  auto run = Pkzip("'d:\\zips\\demo02' -z", "x");
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.output, "can't write 'd:\\zips\\demo02.zip': Read-only file\n");
  EXPECT_EQ(TempDrives::ReadFile(hostZip), original);
}

TEST_F(ZipCommentTest, ASymbolicLinkKeepsPointingAtTheZip) {
  std::string link = app.drives.Host('d', "zips/link.zip");
  std::filesystem::create_symlink(hostZip, link);
  ASSERT_FALSE(zip::WriteComment(link, "via link", "link.zip"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(LibzipComment(hostZip), "via link");
  EXPECT_TRUE(zip::WriteComment(app.drives.Host('d', "zips"), "x", "zips"));
}

}  // namespace kelvo
