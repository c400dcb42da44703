// The size tool on real trees, checked against find and du.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/text_file.h"
#include "support/temp_drives.h"

namespace kelvo {
namespace {

using testing::TempDrives;
using testing::TestApp;
using Lines = std::vector<std::string>;

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::uint64_t FigureOf(const std::string& line) {
  std::string digits;
  for (char c : line.substr(0, line.find(" bytes"))) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return std::stoull(digits);
}

class SizeToolTest : public ::testing::Test {
 protected:
  // Runs the tool as the program does, through the interpreter's redirection.
  Lines Run(const std::string& args) {
    app.runner.ExecCmd("command.pif /c \"c:\\app\\size.exe\" " + args + "> c:\\size.txt");
    return host::SplitLines(TempDrives::ReadFile(app.drives.Host('c', "size.txt")));
  }
  std::string Tree(const std::string& rel = "") { return app.drives.Host('d', "tree/" + rel); }

  TestApp app;
};

TEST_F(SizeToolTest, AgreesWithFindAndDuOnAGeneratedTree) {
  // Nested directories, empty ones, empty files, odd names.
  for (int d = 0; d < 12; ++d) {
    std::string dir = "L" + std::to_string(d % 3) + "/sub " + std::to_string(d);
    if (d % 4 == 0) dir += "/deeper/still";
    std::filesystem::create_directories(Tree(dir));
    for (int f = 0; f < 25; ++f)
      TempDrives::WriteFile(Tree(dir + "/f" + std::to_string(f) + ".DaT"),
                            std::string(static_cast<size_t>((d * 7919 + f * 104729) % 9000), 'k'));
  }
  std::filesystem::create_directories(Tree("empty/also empty"));
  TempDrives::WriteFile(Tree("zero"), "");
  TempDrives::WriteFile(Tree("caf\xC3\xA9.txt"), "bytes");
  // Dot files and dot folders are ordinary entries to DOS.
  TempDrives::WriteFile(Tree("L1/.profile"), std::string(333, 'p'));
  TempDrives::WriteFile(Tree(".cache/.inner/..x"), std::string(77, 'c'));
  TempDrives::WriteFile(Tree(".cache/.inner/.y"), std::string(1000, 'c'));

  Lines report = Run("d:\\tree /s /t");
  ASSERT_GE(report.size(), 2u);
  ASSERT_EQ(report[report.size() - 2], "  Total of all files found");
  const std::string& figure = report.back();
  std::string files = Shell("find '" + Tree() + "' -type f | wc -l");
  std::string fileBytes =
      Shell("find '" + Tree() + "' -type f -printf '%s\\n' | awk '{s+=$1} END {print s}'");
  std::string dirBytes =
      Shell("find '" + Tree() + "' -type d -printf '%s\\n' | awk '{s+=$1} END {print s}'");
  std::string du = Shell("du -sb '" + Tree() + "' | cut -f1");
  EXPECT_EQ(FigureOf(figure), std::stoull(fileBytes));
  // du counts the directories themselves as well.
  EXPECT_EQ(FigureOf(figure) + std::stoull(dirBytes), std::stoull(du));
  EXPECT_TRUE(figure.ends_with(" bytes in " + files + " files")) << figure;
  EXPECT_TRUE(figure.starts_with("  ")) << figure;

  // Every directory has its block, in upper case, parents before children.
  auto at = [&](const std::string& line) {
    return std::find(report.begin(), report.end(), line) - report.begin();
  };
  EXPECT_EQ(report[0], "  D:\\TREE");
  EXPECT_EQ(report[1], "                 5 bytes in 2 files");  // "caf\xC3\xA9.txt" and "zero"
  EXPECT_LT(at("  D:\\TREE\\EMPTY"), at("  D:\\TREE\\EMPTY\\ALSO EMPTY"));
  EXPECT_EQ(report[at("  D:\\TREE\\EMPTY\\ALSO EMPTY") + 1], "                 0 bytes in 0 files");
  const long dotFolder = at("  D:\\TREE\\.CACHE\\.INNER");
  ASSERT_LT(dotFolder + 1, static_cast<long>(report.size()));
  EXPECT_EQ(report[dotFolder + 1], "             1,077 bytes in 2 files");
  EXPECT_LT(at("  D:\\TREE\\L0\\SUB 0"), at("  D:\\TREE\\L0\\SUB 0\\DEEPER\\STILL"));
  EXPECT_LT(at("  D:\\TREE\\L0\\SUB 0\\DEEPER\\STILL"), static_cast<long>(report.size()));
  EXPECT_EQ(std::count_if(report.begin(), report.end(),
                          [](const std::string& l) { return l.starts_with("  D:\\"); }),
            std::stol(Shell("find '" + Tree() + "' -type d | wc -l")));
}

TEST_F(SizeToolTest, NeverFollowsLinksNorCountsSpecialFiles) {
  TempDrives::WriteFile(Tree("in/a.bin"), std::string(1000, 'a'));
  TempDrives::WriteFile(app.drives.Host('e', "outside/big.bin"), std::string(50000, 'b'));
  std::filesystem::create_directory_symlink(app.drives.Host('e', "outside"), Tree("in/out"));
  std::filesystem::create_directory_symlink(Tree(), Tree("in/loop"));
  std::filesystem::create_symlink(Tree("in/a.bin"), Tree("in/again.bin"));
  ASSERT_EQ(::mkfifo(Tree("in/pipe").c_str(), 0600), 0);

  Lines report = Run("d:\\tree /s /t");
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report.back(), "             1,000 bytes in 1 file");
  for (const auto& line : report) EXPECT_EQ(line.find("OUT"), std::string::npos) << line;
}

TEST_F(SizeToolTest, SwitchesAndTheCurrentDirectory) {
  TempDrives::WriteFile(Tree("here/one"), "1");
  TempDrives::WriteFile(Tree("here/sub/two"), "22");

  // No path: the current DOS directory, as the child's working directory.
  app.fs.ChangeDrive('d');
  app.fs.ChangeDir("d:\\tree\\here");
  Lines report = Run(" /s /t");
  ASSERT_EQ(report.size(), 6u);
  EXPECT_EQ(report[0], "  D:\\TREE\\HERE");
  EXPECT_EQ(report[2], "  D:\\TREE\\HERE\\SUB");
  EXPECT_EQ(report[5], "                 3 bytes in 2 files");

  // Relative, with dots and a trailing backslash.
  report = Run("sub\\..\\.\\sub\\ /t");
  EXPECT_EQ(report, (Lines{"  D:\\TREE\\HERE\\SUB", "                 2 bytes in 1 file",
                           "  Total of all files found", "                 2 bytes in 1 file"}));
  // Without /s only the directory's own files, without /t no total.
  report = Run("d:\\tree\\here /S");
  EXPECT_EQ(report, (Lines{"  D:\\TREE\\HERE", "                 1 bytes in 1 file",
                           "  D:\\TREE\\HERE\\SUB", "                 2 bytes in 1 file"}));
  report = Run("d:\\tree\\here /t");
  EXPECT_EQ(report.size(), 4u);
  // ".." stops at the drive root.
  report = Run("d:\\..\\..\\tree\\here\\sub /t");
  EXPECT_EQ(report[0], "  D:\\TREE\\HERE\\SUB");
}

TEST_F(SizeToolTest, ADirectoryThatCannotBeReadLeavesTheTotalWithoutAFigure) {
  // Missing, on an unmapped drive: the totals line is the last line.
  EXPECT_EQ(Run("d:\\nothing /s /t"), Lines{"  Total of all files found"});
  EXPECT_EQ(Run("q:\\ /s /t"), Lines{"  Total of all files found"});
  EXPECT_EQ(Run("d:\\nothing /s"), Lines{});
}

// An unreadable sub-directory is passed over, reported and counted. Root reads
// everything, so the tool runs as "nobody" there.
TEST_F(SizeToolTest, UnreadableEntriesArePassedOverAndReported) {
  TempDrives::WriteFile(Tree("ok/a"), std::string(300, 'a'));
  TempDrives::WriteFile(Tree("locked/secret"), std::string(5000, 's'));
  TempDrives::WriteFile(Tree("z/b"), std::string(20, 'b'));
  for (std::string dir = Tree(); dir.size() > 1; dir = std::filesystem::path(dir).parent_path())
    if (dir.starts_with(app.drives.root())) ::chmod(dir.c_str(), 0755);
  ::chmod(Tree("locked").c_str(), 0);

  std::string out = app.drives.Host('e', "out.txt"), err = app.drives.Host('e', "err.txt");
  std::string drives = std::string(host::DriveTable::kEnvVar) + "=" + app.fs.Drives().Serialize();
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(99);
    std::string tool = std::string(KELVO_APP_BUILD_DIR) + "/size";
    char* argv[] = {tool.data(), const_cast<char*>("d:\\tree"), const_cast<char*>("/s"),
                    const_cast<char*>("/t"), nullptr};
    char* envp[] = {drives.data(), nullptr};
    ::execve(tool.c_str(), argv, envp);
    ::_exit(98);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::chmod(Tree("locked").c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_LT(WEXITSTATUS(status), 98) << "could not start the tool as another user";
  EXPECT_EQ(WEXITSTATUS(status), 1);

  Lines report = host::SplitLines(TempDrives::ReadFile(out));
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[report.size() - 2], "  Total of all files found");
  EXPECT_EQ(report.back(), "               320 bytes in 2 files");
  EXPECT_NE(std::find(report.begin(), report.end(), "  D:\\TREE\\Z"), report.end());
  std::string errors = TempDrives::ReadFile(err);
  EXPECT_NE(errors.find("D:\\TREE\\LOCKED"), std::string::npos) << errors;
  EXPECT_NE(errors.find("1 entries could not be read"), std::string::npos) << errors;
}

}  // namespace
}  // namespace kelvo
