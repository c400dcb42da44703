#include "host/drive_table.h"
#include "host/host_config.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>

#include "host/filesystem.h"
#include "host/host_error.h"

#include "support/temp_drives.h"

namespace kelvo::host {

using testing::TempDrives;

TEST(DriveTable, MapsBothWaysByLongestPrefix) {
  TempDrives t;
  t.table.Map('f', t.Host('d', "deep/er"));
  EXPECT_EQ(t.table.ToDos(t.Host('d', "deep/er/x.txt")), "f:\\x.txt");
  EXPECT_EQ(t.table.ToDos(t.Host('d', "deep/other")), "d:\\deep\\other");
  EXPECT_EQ(t.table.ToDos(t.Host('d')), "d:\\");
  EXPECT_EQ(t.table.ToDos(t.Host('d') + "x"), std::nullopt);  // no prefix at a component boundary
  EXPECT_EQ(t.table.ToHost("F:\\x.txt"), t.Host('d', "deep/er/x.txt"));
  EXPECT_EQ(t.table.ToHost("q:\\x"), std::nullopt);
  EXPECT_EQ(t.table.ToHost(std::string("d:\\a\0b", 7)), std::nullopt);

  DriveTable withRoot = t.table;
  withRoot.Map('z', "/");
  EXPECT_EQ(withRoot.ToDos("/usr/lib"), "z:\\usr\\lib");
  EXPECT_EQ(withRoot.ToDos(t.Host('c', "app")), "c:\\app");
}

TEST(DriveTable, ResolvesCaseOnlyWhenUnambiguous) {
  TempDrives t;
  TempDrives::WriteFile(t.Host('d', "Rel/Demo.NFO"), "x");
  TempDrives::WriteFile(t.Host('d', "two/Same"), "1");
  TempDrives::WriteFile(t.Host('d', "two/same"), "2");
  TempDrives::WriteFile(t.Host('d', "two/SAME2"), "3");
  TempDrives::WriteFile(t.Host('d', "sp ace/\xC3\xA9t\xC3\xA9.txt"), "4");

  EXPECT_EQ(t.table.ToHost("d:\\rel\\demo.nfo"), t.Host('d', "Rel/Demo.NFO"));
  EXPECT_EQ(t.table.ToHost("d:\\two\\same"), t.Host('d', "two/same"));  // exact wins
  EXPECT_EQ(t.table.ToHost("d:\\two\\SAME"), t.Host('d', "two/SAME"));  // ambiguous: not found
  EXPECT_FALSE(std::filesystem::exists(*t.table.ToHost("d:\\two\\SAME")));
  EXPECT_EQ(t.table.ToHost("d:\\two\\same2"), t.Host('d', "two/SAME2"));
  EXPECT_EQ(t.table.ToHost("d:\\SP ACE\\\xC3\xA9t\xC3\xA9.TXT"),
            t.Host('d', "sp ace/\xC3\xA9t\xC3\xA9.txt"));
  // A missing directory keeps the rest as written.
  EXPECT_EQ(t.table.ToHost("d:\\new\\Sub"), t.Host('d', "new/Sub"));
}

TEST(DriveTable, NeverLeavesTheDriveRoot) {
  TempDrives t;
  EXPECT_EQ(t.table.ToHost("d:\\..\\..\\etc"), t.Host('d', "etc"));
  EXPECT_EQ(t.table.ToHost("d:\\a/../../b"), t.Host('d', "b"));
}

TEST(DriveTable, DotDotIsTakenBeforeTheCaseIsMatched) {
  TempDrives t;
  TempDrives::WriteFile(t.Host('d', "Rel/Demo.NFO"), "x");
  // A missing directory that ".." leaves again must not stop the matching.
  EXPECT_EQ(t.table.ToHost("d:\\new\\..\\rel\\demo.nfo"), t.Host('d', "Rel/Demo.NFO"));
  EXPECT_EQ(t.table.ToHost("d:\\rel\\.\\x\\..\\DEMO.nfo"), t.Host('d', "Rel/Demo.NFO"));
}

namespace {

double SecondsToMap(const DriveTable& table, const std::string& dosPath,
                    std::optional<std::string>& host, std::string& whyNot) {
  auto start = std::chrono::steady_clock::now();
  host = table.ToHost(dosPath, &whyNot);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Repeat(const std::string& piece, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}

}  // namespace

TEST(DriveTable, LongPathsMapQuicklyOrAreRefusedWithTheReason) {
  TempDrives t;
  const std::string root = t.Host('d');
  std::optional<std::string> host;
  std::string whyNot;

  // As deep a tree as the host takes, every directory named in another case
  // than the path: each component needs the case-insensitive look.
  const size_t depth = (PATH_MAX - 1 - root.size()) / 3;
  int fd = ::open(root.c_str(), O_PATH | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (size_t i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(fd, "ab", 0755), 0);
    int next = ::openat(fd, "ab", O_PATH | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  ::close(fd);
  EXPECT_LT(SecondsToMap(t.table, "d:" + Repeat("\\AB", depth), host, whyNot), 2.0);
  EXPECT_EQ(host, root + Repeat("/ab", depth));

  // Longer than the host takes: refused at once, with the reason. ASSERT, so
  // that a slow mapping stops here rather than going on to 64 KB.
  for (size_t bytes : {16384u, 65536u}) {
    SCOPED_TRACE(bytes);
    whyNot.clear();
    ASSERT_LT(SecondsToMap(t.table, "d:" + Repeat("\\AB", bytes / 3), host, whyNot), 2.0);
    ASSERT_EQ(host, std::nullopt);
    EXPECT_NE(whyNot.find("the path is too long for the host"), std::string::npos) << whyNot;
  }
  // 64 KB of text that ".." brings back to a short path is no long path.
  TempDrives::WriteFile(t.Host('d', "Rel/Demo.NFO"), "x");
  EXPECT_LT(
      SecondsToMap(t.table, "d:" + Repeat("\\x\\..", 65536 / 5) + "\\rel\\demo.nfo", host, whyNot),
      2.0);
  EXPECT_EQ(host, t.Host('d', "Rel/Demo.NFO"));
}

TEST(DriveTable, HostLimitsAreExactAndSaidInTheReason) {
  TempDrives t;
  const std::string root = t.Host('d');
  std::string whyNot;
  // Host path = root + "/" + name (+ "/" + name ...); PATH_MAX counts the NUL.
  const std::string longestName(NAME_MAX, 'n');
  EXPECT_EQ(t.table.ToHost("d:\\" + longestName), root + "/" + longestName);
  EXPECT_EQ(t.table.ToHost("d:\\" + longestName + "n", &whyNot), std::nullopt);
  EXPECT_EQ(whyNot, "a name in it is too long for the host (256 bytes, at most 255)");

  // Names of 200 bytes up to the last stretch, then two that end exactly at
  // the limit.
  std::string dos = "d:", expected = root;
  auto add = [&](size_t size, char c) {
    dos += "\\" + std::string(size, c);
    expected += "/" + std::string(size, c);
  };
  while (PATH_MAX - 1 - expected.size() > 400) add(200, 'n');
  const size_t room = PATH_MAX - 1 - expected.size() - 2;
  add(room / 2, 'm');
  const size_t last = room - room / 2;
  EXPECT_EQ(t.table.ToHost(dos + "\\" + std::string(last, 'z')),
            expected + "/" + std::string(last, 'z'));
  EXPECT_EQ(t.table.ToHost(dos + "\\" + std::string(last + 1, 'z'), &whyNot), std::nullopt);
  EXPECT_EQ(whyNot, "the path is too long for the host (4096 bytes, at most 4095)");

  // What creates or opens a file says why.
  FileSystem fs(t.table);
  try {
    fs.OpenWrite(dos + "\\" + std::string(last + 1, 'z'));
    ADD_FAILURE() << "a path longer than the host takes was opened";
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("': the path is too long for the host (4096 bytes"),
              std::string::npos)
        << e.what();
  }
}

TEST(DriveTable, IniAndSerialisedFormsRoundTrip) {
  TempDrives t;
  TempDrives::WriteFile(t.Host('c', "host.ini"),
                        "; comment\r\n[drives]\r\nq=" + t.Host('e') +
                            "\r\nbad=/x\r\nr=relative\r\n[Programs]\r\nwrar = /opt/wrar\r\n");
  ProgramTable programs;
  t.table.LoadIni(t.Host('c', "host.ini"), &programs);
  EXPECT_EQ(t.table.Root('q'), t.Host('e'));
  EXPECT_EQ(t.table.Root('r'), std::nullopt);
  EXPECT_EQ(programs.Resolve("C:\\APPS\\WRAR.EXE"), "/opt/wrar");
  EXPECT_EQ(programs.Resolve("wrar"), "/opt/wrar");
  EXPECT_EQ(programs.Resolve("wrarx"), std::nullopt);

  auto copy = DriveTable::Deserialize(t.table.Serialize());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Serialize(), t.table.Serialize());
  EXPECT_EQ(copy->ToHost("q:\\a"), t.Host('e', "a"));
  EXPECT_FALSE(DriveTable::Deserialize("c=relative"));
}

TEST(DriveTable, AMalformedHandedDownTableNamesItsFirstBadEntry) {
  const std::pair<std::string, std::string> rows[] = {
      {"c=relative", "entry 1 'c=relative' does not name an absolute host directory"},
      {"c=/a\x1f"
       "1=/b",
       "entry 2 '1=/b' does not start with a drive letter"},
      {"c=/a\x1f"
       "d:/b\x1f"
       "9",
       "entry 2 'd:/b' has no '=' or '+' after its letter"},
      {"d", "entry 1 'd' has no '=' or '+' after its letter"},
      {"c+/a\x1f\x1f"
       "d=/b",
       "entry 2 '' is empty"},
      {"c+/a\x1f", "entry 2 '' is empty"},
      {"\x1f", "entry 1 '' is empty"},
      {"c=/a\x1f"
       "C+/b",
       "entry 2 'C+/b' names its drive a second time"},
      // Shown without driving the terminal, and cut short.
      {"\x1b[2J=/x", "entry 1 '\\x1B[2J=/x' does not start with a drive letter"},
      {"\xC3\xA9=/x", "entry 1 '\xC3\xA9=/x' does not start with a drive letter"},
      {"c=" + std::string(100, 'x'),
       "entry 1 'c=" + std::string(58, 'x') + "...' does not name an absolute host directory"},
  };
  for (const auto& [line, problem] : rows) {
    SCOPED_TRACE(line);
    std::string said;
    EXPECT_EQ(DriveTable::Deserialize(line, &said), std::nullopt);
    EXPECT_EQ(said, problem);
  }
  // What the runner writes, an empty table included.
  auto table = DriveTable::Deserialize("c+/home/u/drive_c\x1fh=/home/u\x1fz=/");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->Serialize(), "c+/home/u/drive_c\x1fh=/home/u\x1fz=/");
  EXPECT_TRUE(DriveTable::Deserialize(""));
}

TEST(DriveTable, IniRootsThatWouldBreakTheSerialisedLineAreLeftOut) {
  TempDrives t;
  // A separator would smuggle a drive into the child's table; a NUL would
  // cut the environment variable, and every drive after it, short.
  TempDrives::WriteFile(t.Host('c', "host.ini"),
                        "[drives]\nq=" + t.Host('e') + "\x1fz=/etc\nr=" + t.Host('e') +
                            std::string("\0x", 2) + "\ns=" + t.Host('e') + "\n");
  DriveTable table;
  table.LoadIni(t.Host('c', "host.ini"), nullptr);
  EXPECT_EQ(table.Root('q'), std::nullopt);
  EXPECT_EQ(table.Root('z'), std::nullopt);
  EXPECT_EQ(table.Root('r'), std::nullopt);
  EXPECT_EQ(table.Root('s'), t.Host('e'));
  auto copy = DriveTable::Deserialize(table.Serialize());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Serialize(), table.Serialize());
  EXPECT_EQ(copy->Root('q'), std::nullopt);
}

TEST(DriveTable, IniProgramsWithoutANameAreLeftOut) {
  TempDrives t;
  // Each of these names is a directory part only: as a program it would run
  // for the empty program word of a line such as "\"\" x".
  TempDrives::WriteFile(t.Host('c', "host.ini"),
                        "[programs]\nc:=/bin/sh\ntools\\=/bin/sh\nbin/=/bin/sh\nwrar=/opt/wrar\n");
  ProgramTable programs;
  t.table.LoadIni(t.Host('c', "host.ini"), &programs);
  EXPECT_EQ(programs.Resolve(""), std::nullopt);
  EXPECT_EQ(programs.Resolve("c:\\"), std::nullopt);
  EXPECT_EQ(programs.Resolve("wrar.exe"), "/opt/wrar");
}

TEST(DriveTable, DefaultDriveCIsCreatedOnFirstUse) {
  TempDrives t;
  std::string home = t.Host('e', "home");
  std::filesystem::create_directories(home);
  std::string old = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);
  DriveTable table = DriveTable::Defaults();
  setenv("HOME", old.c_str(), 1);
  EXPECT_EQ(table.ToDos(home + "/rel"), "h:\\rel");
  EXPECT_FALSE(std::filesystem::exists(home + "/.local/share/kelvo32/drive_c"));
  EXPECT_EQ(table.ToHost("c:\\skip.txt"), home + "/.local/share/kelvo32/drive_c/skip.txt");
  EXPECT_TRUE(std::filesystem::is_directory(home + "/.local/share/kelvo32/drive_c"));
  EXPECT_EQ(table.ToHost("z:\\tmp"), "/tmp");
}

}  // namespace kelvo::host

namespace kelvo::host {

TEST(HostConfig, ToolsBesideTheProgramIniAndTheParentsTable) {
  testing::TempDrives t;
  std::string app = t.Host('c', "app");
  testing::TempDrives::WriteFile(app + "/host.ini",
                                 "[drives]\nd=/media/cdrom\n[programs]\nsize=/opt/size\n");
  // Only a host.ini no one else can write is read, whatever the umask.
  std::filesystem::permissions(app, std::filesystem::perms(0755));
  std::filesystem::permissions(app + "/host.ini", std::filesystem::perms(0644));
  unsetenv(DriveTable::kEnvVar);
  HostConfig config = LoadHostConfig(app);
  EXPECT_EQ(config.programs.Resolve("WRAR.EXE"), app + "/wrar");
  EXPECT_EQ(config.programs.Resolve("size.exe"), "/opt/size");
  EXPECT_EQ(config.drives.Root('d'), "/media/cdrom");

  setenv(DriveTable::kEnvVar, t.table.Serialize().c_str(), 1);
  HostConfig child = LoadHostConfig(app);
  unsetenv(DriveTable::kEnvVar);
  EXPECT_EQ(child.drives.Serialize(), t.table.Serialize());
  EXPECT_FALSE(ExecutableDir().empty());
}

}  // namespace kelvo::host
