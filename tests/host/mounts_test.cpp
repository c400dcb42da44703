#include "host/mounts.h"

#include <gtest/gtest.h>

namespace kelvo::host {

namespace {

std::string Line(int id, const std::string& mountPoint, const std::string& fsType = "vfat",
                 const std::string& source = "/dev/sdb1") {
  return std::to_string(id) + " 1 8:17 / " + mountPoint +
         " rw,nosuid,nodev shared:" + std::to_string(id) + " - " + fsType + " " + source + " rw\n";
}

std::vector<std::string> Points(const std::vector<MountedVolume>& volumes) {
  std::vector<std::string> points;
  for (const auto& v : volumes) points.push_back(v.mountPoint + "|" + v.label);
  return points;
}

}  // namespace

TEST(MountInfo, KeepsVolumesBelowTheMediaDirectoriesOnce) {
  std::string info = Line(21, "/") + Line(22, "/proc", "proc", "proc") + Line(23, "/media") +
                     Line(24, "/mnt") + Line(25, "/run/media") + Line(26, "/home") +
                     Line(27, "/media/alice/USB\\040STICK") + Line(28, "/run/media/bob/CDROM") +
                     Line(29, "/mnt/backup") + Line(30, "/mntx/no") + Line(31, "/srv/media/no") +
                     Line(32, "/run/user/1000") + Line(33, "/media/alice/USB\\040STICK") +
                     Line(34, "/mnt/tab\\011and\\134back\\012line");
  EXPECT_EQ(Points(RemovableVolumes(info)),
            (std::vector<std::string>{"/media/alice/USB STICK|USB STICK",
                                      "/run/media/bob/CDROM|CDROM", "/mnt/backup|backup",
                                      "/mnt/tab\tand\\back\nline|tab\tand\\back\nline"}));
}

TEST(MountInfo, OddLinesAreNoVolumes) {
  // No trailing newline, a truncated line, blank lines, an escape cut short
  // and bytes beyond ASCII.
  std::string info =
      "\n36 1 8:1 / /media/cut\n"
      "37 1\n"
      "\n"
      "38 1 8:1 / /media/half\\04 rw - ext4 /dev/x rw\n"
      "39 1 8:1 / /media/\xC3\xA9t\xC3\xA9 rw - ext4 /dev/y rw";
  EXPECT_EQ(Points(RemovableVolumes(info)),
            (std::vector<std::string>{"/media/cut|cut", "/media/half\\04|half\\04",
                                      "/media/\xC3\xA9t\xC3\xA9|\xC3\xA9t\xC3\xA9"}));
  EXPECT_TRUE(RemovableVolumes("").empty());
}

TEST(MountInfo, ThisMachinesTableParses) {
  std::string info = ReadMountInfo();
  ASSERT_FALSE(info.empty());
  for (const auto& volume : RemovableVolumes(info)) {
    EXPECT_FALSE(volume.label.empty()) << volume.mountPoint;
    EXPECT_TRUE(volume.mountPoint.ends_with("/" + volume.label));
  }
}

TEST(MountedVolumes, TakeTheFreeLettersFromD) {
  DriveTable table;
  table.Map('c', "/tmp/c");
  table.Map('e', "/media/alice/OLD");
  table.Map('f', "/srv/f");
  table.Map('z', "/");
  AddMountedVolumes(table, {{"/media/alice/USB", "USB"},
                            {"/media/alice/OLD", "OLD"},  // already a drive
                            {"/mnt/cd", "cd"},
                            {"/run/media/bob/BIG", "BIG"}});
  std::vector<std::string> drives;
  for (const auto& d : table.Drives())
    drives.push_back(std::string(1, d.letter) + "=" + d.root + "|" + d.label);
  EXPECT_EQ(drives, (std::vector<std::string>{"c=/tmp/c|", "d=/media/alice/USB|USB",
                                              "e=/media/alice/OLD|", "f=/srv/f|", "g=/mnt/cd|cd",
                                              "h=/run/media/bob/BIG|BIG", "z=/|"}));
  EXPECT_EQ(table.Label('D'), "USB");
  EXPECT_EQ(table.Label('q'), "");
  EXPECT_EQ(table.ToDos("/mnt/cd/disk1/setup.exe"), "g:\\disk1\\setup.exe");
  // The serialised form leaves labels out; the mapping stays the same.
  auto copy = DriveTable::Deserialize(table.Serialize());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Root('h'), "/run/media/bob/BIG");
  EXPECT_EQ(copy->Label('h'), "");
}

TEST(MountedVolumes, StopAtZAndSkipUnsafeRoots) {
  DriveTable table;
  for (char letter = 'c'; letter <= 'x'; ++letter) {
    if (letter != 'k') table.Map(letter, "/srv/" + std::string(1, letter));
  }
  AddMountedVolumes(table, {{"/mnt/a\x1f"
                             "b",
                             "a\x1f"
                             "b"},
                            {"/mnt/one", "one"},
                            {"/mnt/two", "two"},
                            {"/mnt/two", "two"},
                            {"/mnt/three", "three"},
                            {"/mnt/four", "four"}});
  EXPECT_EQ(table.Label('k'), "one");
  EXPECT_EQ(table.Label('y'), "two");
  EXPECT_EQ(table.Label('z'), "three");
  EXPECT_EQ(table.Drives().size(), 24u);
  EXPECT_FALSE(table.ToDos("/mnt/four"));
  EXPECT_TRUE(DriveTable::Deserialize(table.Serialize()));
}

}  // namespace kelvo::host
