// wrar and wace run for real, on small trees, with the real 7zz.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "archiver/stand_in.h"
#include "host/drive_table.h"
#include "host/progress_channel.h"
#include "host/text_file.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo::testing {

namespace {

using Words = std::vector<std::string>;

struct ToolResult {
  int status = -1;
  std::string err;
};

constexpr size_t kVolume = 100000;

// For a fake 7zz: two volumes and a temp file beside the archive it is
// given (the last argument but one).
const std::string kWriteVolumes =
    "for a; do last=$out; out=$a; done\n"
    "dir=${last%/*}\n"
    "echo 1 > \"$dir/DEMO.7z.001\"; echo 2 > \"$dir/DEMO.7z.002\"\n"
    "echo t > \"$dir/DEMO.7z.tmp\"\n";

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin = t.root() + "/bin";
    std::filesystem::create_directories(bin);
    sevenZip = archiver::FindOnPath("7zz");
    ASSERT_FALSE(sevenZip.empty()) << "7zz is needed on the PATH";
    std::filesystem::create_symlink(sevenZip, bin + "/7zz");
  }

  // Starts build/app/<tool> as the program's runner would: the drive table
  // in the environment, and a PATH that holds only what the test put there.
  // With `progressFd`, that descriptor is its progress channel, as the
  // runner hands it over.
  pid_t Start(const std::string& tool, const Words& args, int progressFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string_view v(*e);
      if (!v.starts_with("PATH=") && !v.starts_with(host::DriveTable::kEnvVar) &&
          !v.starts_with(host::kProgressFdVar) && !(home && v.starts_with("HOME=")))
        env.emplace_back(*e);
    }
    env.push_back("PATH=" + bin);
    env.push_back(std::string(host::DriveTable::kEnvVar) + "=" +
                  drivesLine.value_or(t.table.Serialize()));
    if (home) env.push_back("HOME=" + *home);
    if (progressFd >= 0)
      env.push_back(std::string(host::kProgressFdVar) + "=" +
                    std::to_string(host::kProgressChildFd));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvText = {std::string(KELVO_APP_BUILD_DIR) + "/" + tool};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, t.Host('e').c_str());
    if (progressFd >= 0)
      posix_spawn_file_actions_adddup2(&actions, progressFd, host::kProgressChildFd);
    pid_t pid;
    int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }

  ToolResult Wait(pid_t pid) {
    ToolResult result;
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = TempDrives::ReadFile(errFile);
    return result;
  }

  ToolResult Run(const std::string& tool, const Words& args) { return Wait(Start(tool, args)); }

  // Runs the tool with a progress channel; the percentages it wrote there.
  ToolResult RunWithProgress(const std::string& tool, const Words& args,
                             std::vector<int>& percentages,
                             const std::function<void(pid_t, int)>& onReport = {}) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    pid_t pid = Start(tool, args, ends[1]);
    ::close(ends[1]);
    host::ProgressLines lines;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(ends[0], buffer, sizeof buffer)) > 0) {
      for (int percent : lines.Feed(std::string_view(buffer, static_cast<size_t>(n)))) {
        percentages.push_back(percent);
        if (onReport) onReport(pid, percent);
      }
    }
    ::close(ends[0]);
    return Wait(pid);
  }

  // Like Run, but a tool still busy after `limit` is stopped (it passes the
  // signal on to its archiver) and reported as timed out.
  ToolResult RunAtMost(const std::string& tool, const Words& args, std::chrono::seconds limit,
                       bool& timedOut) {
    pid_t pid = Start(tool, args);
    timedOut = false;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        timedOut = true;
        ::kill(pid, SIGTERM);
        return Wait(pid);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ToolResult result;
    result.status = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = TempDrives::ReadFile(errFile);
    return result;
  }

  // Replaces the PATH's 7zz by a shell script.
  void Fake7zz(const std::string& script) {
    std::filesystem::remove(bin + "/7zz");
    TempDrives::WriteFile(bin + "/7zz", "#!/bin/sh\n" + script);
    ::chmod((bin + "/7zz").c_str(), 0755);
  }

  // A source with what goes wrong most easily: same names at other depths,
  // empty directories, blanks, UTF-8, names in other case than the entries.
  TreeMap Source() const {
    return {
        {"Readme.txt", "read me\r\n"},
        {"data", kDirMark},
        {"data/noise1.bin", NoiseBytes(180000, 1)},
        {"data/sub", kDirMark},
        {"data/sub/noise2.bin", NoiseBytes(120000, 2)},
        {"data/empty", kDirMark},
        {"Save", kDirMark},
        {"Save/game.sav", NoiseBytes(30000, 3)},
        {"Save/deep", kDirMark},
        {"Save/deep/x.bin", "x"},
        {"other", kDirMark},
        {"other/Save", kDirMark},
        {"other/Save/keep.sav", "kept"},
        {"other/Readme.txt", "kept too"},
        {"empty top", kDirMark},
        {"sp ace", kDirMark},
        {"sp ace/na me.txt", std::string(5000, 'a')},
        {"\xC3\xBCml\xC3\xA4ut", kDirMark},
        {"\xC3\xBCml\xC3\xA4ut/\xC3\xA7\xC3\xB8"
         "d\xC3\xA9.txt",
         NoiseBytes(20000, 4)},
    };
  }

  // The volumes in a folder: names and sizes, every one at most `limit`.
  Words Volumes(const std::string& hostDir, size_t limit) {
    Words names = FileNames(hostDir);
    for (const auto& name : names) {
      EXPECT_LE(std::filesystem::file_size(hostDir + "/" + name), limit) << name;
    }
    return names;
  }

  TreeMap Unpacked(const std::string& first) {
    std::string out = t.Host('e', "out");
    std::filesystem::remove_all(out);
    EXPECT_EQ(Unpack(first, out), 0);
    return std::filesystem::exists(out) ? ReadTree(out) : TreeMap{};
  }

  static TreeMap Under(const std::string& prefix, const TreeMap& tree) {
    TreeMap out = {{prefix, kDirMark}};
    for (const auto& [rel, content] : tree) out[prefix + "/" + rel] = content;
    return out;
  }

  TempDrives t;
  std::string bin, sevenZip;
  std::string errFile = t.root() + "/stderr.txt";
  // In place of the test's own table and of the test's HOME.
  std::optional<std::string> drivesLine, home;
};

}  // namespace

TEST_F(StandInTest, RarSetUnpacksToTheSourceMinusExactlyTheSkippedEntries) {
  WriteTree(t.Host('d', "src"), Source());
  // As the run writes it: lower case, CR LF, an empty last line.
  TempDrives::WriteFile(t.Host('c', "skip.txt"),
                        "d:\\src\\save\\*.*\r\nd:\\src\\readme.txt\r\n\r\n");
  auto r = Run("wrar", {"a", "-r", "-v100000b", "-m0", "-y", "c:\\Kelvo001\\DEMO.rar", "d:\\src",
                        "-x@c:\\skip.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Words volumes = Volumes(t.Host('c', "Kelvo001"), kVolume);
  ASSERT_GE(volumes.size(), 4u);
  for (size_t i = 0; i < volumes.size(); ++i) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "DEMO.7z.%03zu", i + 1);
    EXPECT_EQ(volumes[i], expected);
  }
  TreeMap expected = Source();
  for (const char* gone : {"Save", "Save/game.sav", "Save/deep", "Save/deep/x.bin", "Readme.txt"})
    expected.erase(gone);
  EXPECT_EQ(Unpacked(t.Host('c', "Kelvo001/DEMO.7z.001")), Under("src", expected));
}

TEST_F(StandInTest, AceCountsThousandsAndWithoutASizeWritesOneArchive) {
  WriteTree(t.Host('d', "src"), Source());
  auto r = Run("wace", {"a", "-r", "-y", "-v100", "-m1", "c:\\K1\\DEMO.ace", "d:\\src"});
  ASSERT_EQ(r.status, 0) << r.err;
  Words volumes = Volumes(t.Host('c', "K1"), kVolume);
  EXPECT_GE(volumes.size(), 3u);
  // Every volume but the last is filled to the byte.
  EXPECT_EQ(std::filesystem::file_size(t.Host('c', "K1/DEMO.7z.001")), kVolume);
  EXPECT_EQ(Unpacked(t.Host('c', "K1/DEMO.7z.001")), Under("src", Source()));

  r = Run("wace", {"a", "-r", "-y", "-m0", "", "c:\\K2\\DEMO.ace", "d:\\src"});
  EXPECT_EQ(r.status, archiver::kExitCommandLine);  // an empty word names no file
  r = Run("wace", {"a", "-r", "-y", "-m0", "c:\\K2\\DEMO.ace", "d:\\src"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FileNames(t.Host('c', "K2")), Words{"DEMO.7z"});
  EXPECT_EQ(Unpacked(t.Host('c', "K2/DEMO.7z")), Under("src", Source()));
}

TEST_F(StandInTest, DriveRootsAndCdImages) {
  WriteTree(t.Host('d'), Source());
  TempDrives::WriteFile(t.Host('c', "skip.txt"), "d:\\data\\sub\\*.*\r\n");
  auto r = Run("wrar",
               {"a", "-r", "-v0000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\", "-x@c:\\skip.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{"DEMO.7z"});
  TreeMap expected = Source();
  expected.erase("data/sub");
  expected.erase("data/sub/noise2.bin");
  EXPECT_EQ(Unpacked(t.Host('c', "K1/DEMO.7z")), expected);

  std::string image = NoiseBytes(250000, 9);
  TempDrives::WriteFile(t.Host('e', "cd/Demo.iso"), image);
  r = Run("wace", {"a", "-r", "-y", "-v100", "-m0", "c:\\K2\\DEMO.ace", "e:\\cd\\demo.iso"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Volumes(t.Host('c', "K2"), kVolume),
            (Words{"DEMO.7z.001", "DEMO.7z.002", "DEMO.7z.003"}));
  EXPECT_EQ(Unpacked(t.Host('c', "K2/DEMO.7z.001")), (TreeMap{{"Demo.iso", image}}));
}

TEST_F(StandInTest, BadInputLeavesNothingAndSaysOneLine) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  struct Row {
    std::string tool;
    Words args;
    std::string err;
  };
  const Row rows[] = {
      {"wrar",
       {"a", "-r", "-v1440000b", "-m3", "-y", "c:\\K1\\DEMO.rar", "d:\\missing"},
       "can't find 'd:\\missing': No such file or directory\n"},
      {"wace",
       {"a", "-r", "-y", "-m3", "c:\\K1\\DEMO.ace", "q:\\src"},
       "can't find 'q:\\src': path not found\n"},
      {"wrar",
       {"a", "-k", "c:\\K1\\DEMO.rar", "d:\\src"},
       "can't use switch '-k': unknown switch\n"},
      {"wace",
       {"a", "-y", "c:\\K1\\DEMO.ace", "d:\\src", "-x@c:\\none.txt"},
       "can't open 'c:\\none.txt': No such file or directory\n"},
      {"wace",
       {"a", "-y", "c:\\K1\\DEMO.ace", "d:\\src", "-x@d:\\src"},
       "can't read 'd:\\src': Is a directory\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.err);
    auto r = Run(row.tool, row.args);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, row.err);
    EXPECT_FALSE(std::filesystem::exists(t.Host('c', "K1")));
  }
}

TEST_F(StandInTest, AMalformedDriveTableStopsTheToolBeforeItWritesAnything) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  // Taken with the defaults, c: would be a drive_c in the home.
  home = t.Host('e', "home");
  std::filesystem::create_directories(*home);
  drivesLine = t.table.Serialize() + "\x1fq:" + t.Host('e');
  const std::string said = "can't use 'KELVO32_DRIVES': entry 4 'q:" + t.Host('e') +
                           "' has no '=' or '+' after its letter";
  const std::pair<std::string, Words> runs[] = {
      {"wrar", {"a", "-r", "-y", "c:\\K1\\DEMO.rar", "d:\\src"}},
      {"wace", {"a", "-r", "-y", "c:\\K1\\DEMO.ace", "d:\\src"}},
      {"size", {"d:\\src", "/s", "/t"}},
      {"pkzip", {"c:\\K1\\DEMO", "-z"}},
  };
  for (const auto& [tool, args] : runs) {
    SCOPED_TRACE(tool);
    auto r = Run(tool, args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(t.Host('c', "K1")));
    EXPECT_TRUE(std::filesystem::is_empty(*home));
  }
}

TEST_F(StandInTest, AnOldSetIsNeitherExtendedNorMixedIn) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  TempDrives::WriteFile(t.Host('c', "K1/DEMO.7z.001"), "old volume");
  auto r = Run("wrar", {"a", "-v500000b", "-y", "c:\\K1\\DEMO.rar", "d:\\src"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err,
            "can't create 'c:\\K1\\DEMO.7z': a set of that name is already there "
            "(DEMO.7z.001)\n");
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{"DEMO.7z.001"});
  EXPECT_EQ(TempDrives::ReadFile(t.Host('c', "K1/DEMO.7z.001")), "old volume");

  // Other files of the folder do not matter.
  TempDrives::WriteFile(t.Host('c', "K2/DEMO.txt"), "notes");
  r = Run("wrar", {"a", "-y", "c:\\K2\\DEMO.rar", "d:\\src"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FileNames(t.Host('c', "K2")), (Words{"DEMO.7z", "DEMO.txt"}));
}

TEST_F(StandInTest, AFailedArchiverLeavesNoPartOfItsSet) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  TempDrives::WriteFile(t.Host('c', "K1/DEMO.notes"), "kept");
  // A 7zz that writes two volumes and a temp file, then fails.
  Fake7zz(kWriteVolumes + "exit 2\n");
  auto r = Run("wace", {"a", "-y", "-v100", "c:\\K1\\DEMO.ace", "d:\\src"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "can't make 'c:\\K1\\DEMO.7z': 7-Zip ended with status 2\n");
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{"DEMO.notes"});

  std::filesystem::remove(bin + "/7zz");
  r = Run("wace", {"a", "-y", "-v100", "c:\\K1\\DEMO.ace", "d:\\src"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "can't start '7zz': not found on the PATH\n");
}

TEST_F(StandInTest, AnInterruptedStandInStopsTheArchiverAndLeavesNoSet) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  Fake7zz(kWriteVolumes + "exec /bin/sleep 30\n");
  std::filesystem::create_directories(t.Host('c', "K1"));
  pid_t pid = Start("wrar", {"a", "-y", "-v100000b", "c:\\K1\\DEMO.rar", "d:\\src"});
  ASSERT_GT(pid, 0);
  auto start = std::chrono::steady_clock::now();
  while (!std::filesystem::exists(t.Host('c', "K1/DEMO.7z.tmp")) &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGTERM);
  auto r = Wait(pid);
  EXPECT_EQ(r.status, 128 + SIGTERM);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{});
}

TEST_F(StandInTest, UnreadableSourceFilesLeaveNoSet) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads everything";
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}, {"secret.txt", "s"}});
  ::chmod(t.Host('d', "src/secret.txt").c_str(), 0);
  auto r = Run("wrar", {"a", "-y", "-v100000b", "c:\\K1\\DEMO.rar", "d:\\src"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{});
  ::chmod(t.Host('d', "src").c_str(), 0);
  r = Run("wrar", {"a", "-y", "-v100000b", "c:\\K1\\DEMO.rar", "d:\\src"});
  EXPECT_EQ(r.err, "can't read 'd:\\src': Permission denied\n");
  ::chmod(t.Host('d', "src").c_str(), 0755);
}

TEST_F(StandInTest, SkipPatternsLeaveOutWhatTheyMatchAndLiteralNamesMatchThemselves) {
  const TreeMap tree = {
      {"a*b.txt", "star"},     {"a1b.txt", "one"},       {"A2B.TXT", "upper"},
      {"ab.dat", "kept"},      {"q?.txt", "query"},      {"qx.txt", "x"},
      {"qxy.txt", "kept too"}, {"d*r", kDirMark},        {"d*r/in.txt", "in"},
      {"dxr", kDirMark},       {"dxr/kept.txt", "kept"}, {"sub", kDirMark},
      {"sub/a*b.txt", "deep"}, {"sub/deeper", kDirMark}, {"sub/deeper/x", "x"},
      {"*", "a star alone"},   {"secret.key", "s"},      {"secret-dir", kDirMark},
      {"secret-dir/k", "k"},   {"secrets.txt", "s"},
  };
  WriteTree(t.Host('d', "r*1"), tree);
  WriteTree(t.Host('d', "r11"), {{"other.txt", "not the source"}});
  // The last component is a DOS pattern: '?' one character, '*' any run,
  // case-insensitive; a trailing '*' takes directories too. Directories
  // above it ("r*1", "d*r") are names.
  TempDrives::WriteFile(t.Host('c', "skip.txt"),
                        "d:\\r*1\\a*b.txt\r\nd:\\r*1\\q?.txt\r\nd:\\r*1\\d*r\\*.*\r\n"
                        "d:\\r*1\\sub\\*\r\nd:\\r*1\\secret*\r\n\r\n");
  auto r = Run("wrar", {"a", "-r", "-v0000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\r*1",
                        "-x@c:\\skip.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  TreeMap expected = tree;
  for (const char* gone :
       {"a*b.txt", "a1b.txt", "A2B.TXT", "q?.txt", "qx.txt", "d*r", "d*r/in.txt", "sub/a*b.txt",
        "sub/deeper", "sub/deeper/x", "secret.key", "secret-dir", "secret-dir/k", "secrets.txt"})
    expected.erase(gone);
  EXPECT_EQ(Unpacked(t.Host('c', "K1/DEMO.7z")), Under("r*1", expected));
}

TEST_F(StandInTest, SixtyThousandSkipEntriesReachSevenZipThroughAList) {
  WriteTree(t.Host('d', "src"),
            {{"keep.txt", "k"}, {"gone.txt", "g"}, {"\xE9t\xE9.txt", "latin-1"}});
  std::string list;
  for (int i = 0; i < 60000; ++i)
    list += "d:\\src\\not-there-but-spelled-out-at-length-" + std::to_string(i) + ".txt\r\n";
  // A name that is no UTF-8 can't go into 7-Zip's list file: it stays an
  // argument, and still leaves its file out.
  list += "d:\\src\\gone.txt\r\nd:\\src\\\xE9t\xE9.txt\r\n\r\n";
  TempDrives::WriteFile(t.Host('c', "skip.txt"), list);
  auto r = Run("wrar", {"a", "-r", "-v0000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\src",
                        "-x@c:\\skip.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Unpacked(t.Host('c', "K1/DEMO.7z")), Under("src", {{"keep.txt", "k"}}));
}

TEST_F(StandInTest, ASkipListThatIsNoOrdinaryFileIsRefusedAtOnce) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  ASSERT_EQ(::mkfifo(t.Host('c', "fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", t.Host('c', "zero"));
  for (const char* list : {"fifo", "zero"}) {
    auto r = Run("wrar", {"a", "-r", "-v0000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\src",
                          std::string("-x@c:\\") + list});
    EXPECT_NE(r.status, 0) << list;
    EXPECT_EQ(r.err, std::string("can't read 'c:\\") + list + "': not an ordinary file\n");
    EXPECT_FALSE(std::filesystem::exists(t.Host('c', "K1")) &&
                 !std::filesystem::is_empty(t.Host('c', "K1")));
  }
}

TEST_F(StandInTest, SymbolicLinksAreStoredAsLinksNotFollowed) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}, {"sub", kDirMark}});
  WriteTree(t.Host('e', "outside"), {{"private.txt", "not for the release"}});
  // Two loops: followed, every path through them is a new path, without end.
  std::filesystem::create_directory_symlink(".", t.Host('d', "src/loop"));
  std::filesystem::create_directory_symlink("..", t.Host('d', "src/sub/up"));
  std::filesystem::create_directory_symlink(t.Host('e', "outside"), t.Host('d', "src/sub/out"));
  std::filesystem::create_symlink("../a.txt", t.Host('d', "src/sub/a.lnk"));
  bool timedOut = false;
  auto r = RunAtMost("wrar", {"a", "-r", "-v100000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\src"},
                     std::chrono::seconds(20), timedOut);
  ASSERT_FALSE(timedOut) << "the archiver followed the link loop";
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 500);
  EXPECT_EQ(r.err, "");

  // Unpacked with links allowed, each link comes back as the link it was.
  std::string out = t.Host('e', "out");
  ASSERT_EQ(RunProgram({"7zz", "x", "-snld", "-y", "-bso0", "-bsp0", "-o" + out,
                        t.Host('c', "K1/DEMO.7z.001")}),
            0);
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::is_symlink(out + "/src/loop"));
  EXPECT_EQ(fs::read_symlink(out + "/src/loop"), ".");
  EXPECT_EQ(fs::read_symlink(out + "/src/sub/up"), "..");
  EXPECT_TRUE(fs::is_symlink(out + "/src/sub/a.lnk"));
  EXPECT_EQ(fs::read_symlink(out + "/src/sub/a.lnk"), "../a.txt");
  ASSERT_TRUE(fs::is_symlink(out + "/src/sub/out"));
  EXPECT_TRUE(fs::read_symlink(out + "/src/sub/out").string().ends_with(t.Host('e', "outside")));
  // Nothing of the outside directory is in the set.
  std::error_code ec;
  EXPECT_FALSE(fs::exists(out + "/src/sub/out/private.txt", ec));
}

TEST_F(StandInTest, ALinkNamedAsTheSourceStillPacksWhatItNames) {
  namespace fs = std::filesystem;
  WriteTree(t.Host('d', "build/r42"), {{"f.txt", "f"}, {"skip.me", "s"}, {"self", kDirMark}});
  fs::create_directory_symlink(".", t.Host('d', "build/r42/self/up"));
  fs::create_directory_symlink(t.Host('d', "build/r42"), t.Host('d', "rel"));
  TempDrives::WriteFile(t.Host('c', "skip.txt"), "d:\\rel\\skip.me\r\n");
  auto r = Run("wrar", {"a", "-r", "-v0000b", "-m0", "-y", "c:\\K1\\DEMO.rar", "d:\\rel",
                        "-x@c:\\skip.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The set holds the directory's files under the directory's own name.
  std::string out = t.Host('e', "out");
  ASSERT_EQ(RunProgram({"7zz", "x", "-snld", "-y", "-bso0", "-bsp0", "-o" + out,
                        t.Host('c', "K1/DEMO.7z")}),
            0);
  EXPECT_EQ(TempDrives::ReadFile(out + "/r42/f.txt"), "f");
  EXPECT_FALSE(fs::exists(out + "/r42/skip.me"));
  EXPECT_TRUE(fs::is_symlink(out + "/r42/self/up"));
}

TEST_F(StandInTest, ARealRarOnThePathGetsTheSameSwitchesWithHostPaths) {
  WriteTree(t.Host('d', "Src"), {{"a.txt", "a"}});
  std::filesystem::create_symlink(std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder", bin + "/rar");
  std::string record = t.Host('e', "record.txt");
  ::setenv("KELVO_RECORD", record.c_str(), 1);
  TempDrives::WriteFile(t.Host('c', "skip.txt"), "d:\\src\\save\\*.*\r\n\r\n");
  auto r = Run("wrar", {"a", "-r", "-v1440000b", "-m3", "-y", "c:\\Kelvo001\\DEMO.rar", "d:\\src",
                        "-x@c:\\skip.txt"});
  ::unsetenv("KELVO_RECORD");
  ASSERT_EQ(r.status, 0) << r.err;
  Words recorded = host::SplitLines(TempDrives::ReadFile(record));
  ASSERT_EQ(recorded.size(), 10u);
  EXPECT_EQ(Words(recorded.begin(), recorded.begin() + 5),
            (Words{"a", "-r", "-v1440000b", "-m3", "-y"}));
  // The list is a private host copy, gone once rar has ended.
  EXPECT_TRUE(recorded[5].starts_with("-x@/")) << recorded[5];
  EXPECT_FALSE(std::filesystem::exists(recorded[5].substr(3)));
  EXPECT_EQ(recorded[6], "-ol");  // links stored as links
  EXPECT_EQ(recorded[7], t.Host('c', "Kelvo001/DEMO.rar"));
  EXPECT_EQ(recorded[8], t.Host('d', "Src"));
  EXPECT_EQ(recorded[9], "cwd=" + t.Host('e'));

  // ACE never goes to rar.
  r = Run("wace", {"a", "-r", "-y", "-m0", "c:\\K2\\DEMO.ace", "d:\\src"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FileNames(t.Host('c', "K2")), Words{"DEMO.7z"});
}

TEST_F(StandInTest, WithAChannelSevenZipsProgressIsPassedOnUpToAll) {
  // Enough to take 7-Zip a while, so that it reports on the way.
  WriteTree(t.Host('d', "src"), {{"a.bin", NoiseBytes(3'000'000, 5)}});
  std::vector<int> percentages;
  auto r = RunWithProgress("wrar", {"a", "-y", "-v500000b", "-m5", "c:\\K1\\DEMO.rar", "d:\\src"},
                           percentages);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_FALSE(percentages.empty());
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
  EXPECT_EQ(std::adjacent_find(percentages.begin(), percentages.end()), percentages.end());
  // 100 even when 7-Zip ended between two of its updates.
  EXPECT_EQ(percentages.back(), 100);
  EXPECT_EQ(Unpacked(t.Host('c', "K1/DEMO.7z.001"))["src/a.bin"], NoiseBytes(3'000'000, 5));

  // Without a channel nothing changes: 7-Zip is asked for no progress and
  // prints nothing where the tool's output goes.
  Fake7zz("echo \"$@\" > \"$0.args\"\n");
  r = Run("wace", {"a", "-y", "-v100", "c:\\K2\\DEMO.ace", "d:\\src"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(TempDrives::ReadFile(bin + "/7zz.args").find(" -bsp0 "), std::string::npos);
  percentages.clear();
  r = RunWithProgress("wace", {"a", "-y", "-v100", "c:\\K3\\DEMO.ace", "d:\\src"}, percentages);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(TempDrives::ReadFile(bin + "/7zz.args").find(" -bsp1 "), std::string::npos);
  EXPECT_EQ(percentages, std::vector<int>{100});
}

TEST_F(StandInTest, AStandInStoppedWhileReportingStillLeavesNoSet) {
  WriteTree(t.Host('d', "src"), {{"a.txt", "a"}});
  // A 7zz that reports 7-Zip's way, writes part of its set, and hangs.
  Fake7zz(
      kWriteVolumes +
      "printf '  5%% + src/a.txt\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b\\b 30%% + src/a.txt'\n"
      "exec /bin/sleep 30\n");
  std::vector<int> percentages;
  auto start = std::chrono::steady_clock::now();
  auto r = RunWithProgress("wrar", {"a", "-y", "-v100000b", "c:\\K1\\DEMO.rar", "d:\\src"},
                           percentages, [](pid_t pid, int percent) {
                             if (percent >= 30) ::kill(pid, SIGTERM);
                           });
  EXPECT_EQ(percentages, (std::vector<int>{5, 30}));
  EXPECT_EQ(r.status, 128 + SIGTERM);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(FileNames(t.Host('c', "K1")), Words{});
}

}  // namespace kelvo::testing
