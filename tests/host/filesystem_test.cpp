#include "host/filesystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "host/host_error.h"
#include "support/temp_drives.h"

namespace kelvo::host {

using testing::TempDrives;

class FileSystemTest : public ::testing::Test {
 protected:
  TempDrives t;
  FileSystem fs{t.table};
};

TEST_F(FileSystemTest, ListsByPatternInNameOrder) {
  for (const char* f : {"b.rar", "A.r00", "c.txt", "DEMO01.zip", "demo02.zip"})
    TempDrives::WriteFile(t.Host('d', std::string("w/") + f), "x");
  std::filesystem::create_directories(t.Host('d', "w/sub"));
  std::filesystem::create_directories(t.Host('d', "w/demo_dir"));

  EXPECT_EQ(fs.ListFiles("d:\\w\\*.*"),
            (std::vector<std::string>{"A.r00", "DEMO01.zip", "b.rar", "c.txt", "demo02.zip"}));
  EXPECT_EQ(fs.ListFiles("D:\\W\\demo*"), (std::vector<std::string>{"DEMO01.zip", "demo02.zip"}));
  // Directories are no files, but they are found with directories.
  EXPECT_TRUE(fs.ListFiles("d:\\w\\sub*").empty());
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\w\\sub*"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\w\\DEMO_D*"));
  EXPECT_TRUE(fs.ListFiles("d:\\missing\\*.*").empty());
  EXPECT_TRUE(fs.ListFiles("q:\\*.*").empty());
}

TEST_F(FileSystemTest, ExistenceTests) {
  TempDrives::WriteFile(t.Host('d', "src/a.txt"), "x");
  std::filesystem::create_directories(t.Host('d', "src/empty"));

  EXPECT_TRUE(fs.ExistsAsFile("d:\\SRC\\A.TXT"));
  EXPECT_FALSE(fs.ExistsAsFile("d:\\src"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\src"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\src\\a.txt"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\src\\*.*"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\"));
  EXPECT_FALSE(fs.ExistsWithDirectories("d:\\src\\empty\\*.*"));  // exists, holds nothing
  EXPECT_FALSE(fs.ExistsWithDirectories("d:\\src\\empty\\"));
  EXPECT_TRUE(fs.ExistsWithDirectories("d:\\src\\empty"));
  EXPECT_FALSE(fs.ExistsWithDirectories("d:\\nothing"));
  EXPECT_FALSE(fs.ExistsWithDirectories("q:\\"));
}

TEST_F(FileSystemTest, ADirectoryThatCannotBeReadIsAnErrorNotEmpty) {
  TempDrives::WriteFile(t.Host('d', "a.txt"), "x");
  // A link to itself cannot be opened, not even by root.
  std::filesystem::create_directory_symlink("loop", t.Host('d', "loop"));
  try {
    fs.ListFiles("d:\\loop\\*.*");
    ADD_FAILURE() << "listed an unreadable directory";
  } catch (const HostError& e) {
    EXPECT_STREQ(e.what(), "can't list 'd:\\loop': Too many levels of symbolic links");
  }
  EXPECT_THROW(fs.ExistsWithDirectories("d:\\loop\\"), HostError);
  EXPECT_THROW(fs.ExistsWithDirectories("d:\\loop\\*.*"), HostError);
  EXPECT_THROW(fs.ListFiles("d:\\loop\\*.txt"), HostError);

  // Nothing of that name is DOS's "file not found": an empty listing.
  EXPECT_TRUE(fs.ListFiles("d:\\missing\\*.*").empty());
  EXPECT_TRUE(fs.ListFiles("d:\\a.txt\\*.*").empty());  // a file where the directory would be
  EXPECT_FALSE(fs.ExistsWithDirectories("d:\\missing\\"));
  EXPECT_FALSE(fs.ExistsWithDirectories("d:\\loop"));  // the link's own entry is no directory

  if (::geteuid() == 0) return;  // root opens any directory
  std::filesystem::create_directories(t.Host('d', "locked"));
  ::chmod(t.Host('d', "locked").c_str(), 0);
  EXPECT_THROW(fs.ListFiles("d:\\locked\\*.*"), HostError);
  ::chmod(t.Host('d', "locked").c_str(), 0755);
}

TEST_F(FileSystemTest, LowersAChosenPathOnlyWhenItStillNamesTheFile) {
  TempDrives::WriteFile(t.Host('d', "Rel/Demo.KVO"), "x");
  TempDrives::WriteFile(t.Host('d', "Two/a.txt"), "1");
  TempDrives::WriteFile(t.Host('d', "Two/A.TXT"), "2");
  EXPECT_EQ(fs.LowerChosenPath("D:\\Rel\\Demo.KVO"), "d:\\rel\\demo.kvo");
  EXPECT_EQ(fs.LowerChosenPath("D:\\Two\\A.TXT"),
            "D:\\Two\\A.TXT");  // lower case is the other file
  EXPECT_EQ(fs.LowerChosenPath("D:\\Rel\\New.KVO"),
            "D:\\Rel\\New.KVO");  // would name another, new file
  EXPECT_EQ(fs.LowerChosenPath("D:\\REL"), "d:\\rel");
  EXPECT_EQ(fs.LowerChosenPath("Q:\\X"), "Q:\\X");
}

TEST_F(FileSystemTest, CurrentDirectoriesAreKeptPerDrive) {
  std::filesystem::create_directories(t.Host('d', "Work/Kelvo001"));
  char before[4096];
  ASSERT_TRUE(getcwd(before, sizeof before));

  fs.ChangeDrive('d');
  fs.ChangeDir("d:\\work\\kelvo001");
  EXPECT_EQ(fs.CurrentDir(), "d:\\work\\kelvo001");
  EXPECT_EQ(fs.CurrentDir('c'), "c:\\");
  EXPECT_EQ(fs.Absolute("vol.rar"), "d:\\work\\kelvo001\\vol.rar");
  EXPECT_EQ(fs.Absolute("\\x"), "d:\\x");
  EXPECT_EQ(fs.Absolute("c:x"), "c:\\x");
  EXPECT_EQ(fs.HostCurrentDir(), t.Host('d', "Work/Kelvo001"));
  EXPECT_THROW(fs.ChangeDir("d:\\nope"), HostError);
  EXPECT_THROW(fs.ChangeDrive('q'), HostError);

  char after[4096];
  ASSERT_TRUE(getcwd(after, sizeof after));
  EXPECT_STREQ(before, after);  // the process never changed directory
}

TEST_F(FileSystemTest, CopyDeleteAndReadOnly) {
  TempDrives::WriteFile(t.Host('d', "a.diz"), "\xB0\xB1 art\r\n");
  fs.CopyFile("d:\\a.diz", "c:\\copy.diz");
  EXPECT_EQ(TempDrives::ReadFile(t.Host('c', "copy.diz")), "\xB0\xB1 art\r\n");
  EXPECT_THROW(fs.CopyFile("c:\\copy.diz", "C:\\COPY.DIZ"), HostError);  // onto itself
  EXPECT_EQ(TempDrives::ReadFile(t.Host('c', "copy.diz")), "\xB0\xB1 art\r\n");
  EXPECT_THROW(fs.CopyFile("d:\\missing", "c:\\x"), HostError);
  EXPECT_FALSE(TempDrives::FileExists(t.Host('c', "x")));

  ::chmod(t.Host('c', "copy.diz").c_str(), 0444);
  EXPECT_THROW(fs.DeleteFile("c:\\copy.diz"), HostError);
  EXPECT_THROW(fs.CopyFile("d:\\a.diz", "c:\\copy.diz"), HostError);
  EXPECT_THROW(fs.OpenWrite("c:\\copy.diz"), HostError);
  fs.ClearAttributes("c:\\copy.diz");
  fs.DeleteFile("c:\\copy.diz");
  EXPECT_FALSE(fs.Exists("c:\\copy.diz"));
  EXPECT_THROW(fs.DeleteFile("c:\\copy.diz"), HostError);
}

TEST_F(FileSystemTest, ReadsASmallFileWholeAndNoMoreThanTheLimit) {
  const std::string bytes("\xB0\r\n\0\x1A end", 9);
  TempDrives::WriteFile(t.Host('d', "a.nfo"), bytes);
  EXPECT_EQ(fs.ReadWholeFile("D:\\A.NFO", 9), bytes);
  EXPECT_EQ(fs.ReadWholeFile("d:\\a.nfo", 8), std::nullopt);
  TempDrives::WriteFile(t.Host('d', "empty.nfo"), "");
  EXPECT_EQ(fs.ReadWholeFile("d:\\empty.nfo", 0), "");
  std::string big(200000, 'x');
  TempDrives::WriteFile(t.Host('d', "big.nfo"), big);
  EXPECT_EQ(fs.ReadWholeFile("d:\\big.nfo", 200000), big);
  EXPECT_EQ(fs.ReadWholeFile("d:\\big.nfo", 199999), std::nullopt);
  EXPECT_THROW(fs.ReadWholeFile("d:\\missing.nfo", 100), HostError);
  EXPECT_THROW(fs.ReadWholeFile("d:\\", 100), HostError);
  EXPECT_THROW(fs.ReadWholeFile("q:\\a.nfo", 100), HostError);
}

TEST_F(FileSystemTest, DirectoriesLengthsAndFreeSpace) {
  fs.MakeDir("c:\\Kelvo001");
  EXPECT_TRUE(fs.IsDirectory("c:\\kelvo001"));
  EXPECT_THROW(fs.MakeDir("c:\\Kelvo001"), HostError);
  TempDrives::WriteFile(t.Host('c', "Kelvo001/v"), "12345");
  EXPECT_EQ(fs.FileLength("c:\\kelvo001\\v"), 5u);
  EXPECT_THROW(fs.RemoveDir("c:\\Kelvo001"), HostError);  // not empty
  fs.DeleteFile("c:\\kelvo001\\v");
  fs.RemoveDir("c:\\Kelvo001");
  EXPECT_FALSE(fs.Exists("c:\\Kelvo001"));

  // A sparse file past 4 GB keeps its true length.
  std::string big = t.Host('d', "big.iso");
  TempDrives::WriteFile(big, "");
  std::filesystem::resize_file(big, 5'000'000'000ull);
  EXPECT_EQ(fs.FileLength("d:\\big.iso"), 5'000'000'000ull);

  auto freeC = fs.FreeBytes("c");
  ASSERT_TRUE(freeC);
  EXPECT_GT(*freeC, 0u);
  // Same host volume; other processes may write meanwhile, so allow slack.
  auto near = [&](std::optional<std::uint64_t> v) {
    return v && (*v > *freeC ? *v - *freeC : *freeC - *v) < (64u << 20);
  };
  EXPECT_TRUE(near(fs.FreeBytes("d:")));
  EXPECT_TRUE(near(fs.FreeBytes("c:\\not\\yet\\made")));
  EXPECT_EQ(fs.FreeBytes("q:"), std::nullopt);
  t.table.Map('x', t.Host('e', "no-disc"));
  FileSystem withEmptyDrive(t.table);
  EXPECT_EQ(withEmptyDrive.FreeBytes("x:"), std::nullopt);
}

TEST(TextFile, ReadsEveryLineEndAndWritesCrLf) {
  TempDrives t;
  std::string path = t.Host('c', "t.txt");
  TempDrives::WriteFile(path, "one\r\ntwo\rthree\nfour\r\n\r\n\xCD\xCD\xBB last");
  EXPECT_EQ(ReadLines(path),
            (std::vector<std::string>{"one", "two", "three", "four", "", "\xCD\xCD\xBB last"}));
  TempDrives::WriteFile(path, "a\r\n");
  EXPECT_EQ(ReadLines(path), (std::vector<std::string>{"a"}));
  TempDrives::WriteFile(path, "");
  EXPECT_TRUE(ReadLines(path).empty());
  EXPECT_EQ(SplitLines("x\r\r\ny"), (std::vector<std::string>{"x", "", "y"}));

  WriteLines(path, {"\xB0 art", "", "end"});
  EXPECT_EQ(TempDrives::ReadFile(path), "\xB0 art\r\n\r\nend\r\n");
  {
    LineWriter append(path, LineWriter::Mode::Append);
    append.WriteLine("more");
    append.Close();
  }
  EXPECT_EQ(TempDrives::ReadFile(path), "\xB0 art\r\n\r\nend\r\nmore\r\n");
  EXPECT_THROW(LineReader(t.Host('c', "none.txt")), HostError);
  EXPECT_THROW(LineReader(t.Host('c')), HostError);
  EXPECT_THROW(LineWriter(t.Host('c', "no/dir/x.txt")), HostError);
}

}  // namespace kelvo::host
