#include "run/zip_component.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <thread>

#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "zip/comment.h"
#include "zip/parallel_deflate.h"
#include "zip/write.h"

namespace kelvo {

using testing::CompressedBytes;
using testing::DirNames;
using testing::EntryNames;
using testing::EntryRecords;
using testing::LibzipDeflateZip;
using testing::Quote;
using testing::RandomBytes;
using testing::ReadZip;
using testing::RunHost;
using testing::TempDrives;
using testing::TextBytes;
using Names = std::vector<std::string>;

class ZipComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(t.Host('d', "zips"));
    zip.Adding = [this](const std::string& name) { log.push_back("A:" + name); };
    zip.Status = [this](std::int16_t percent) {
      statuses.push_back(percent);
      log.push_back("S:" + std::to_string(percent));
    };
    zip.ProcessEvents = [this] {
      ++eventsProcessed;
      if (onEvents) onEvents();
    };
  }

  std::string Write(char drive, const std::string& rel, const std::string& bytes) {
    TempDrives::WriteFile(t.Host(drive, rel), bytes);
    return bytes;
  }

  std::int16_t AddTo(const std::string& zipFile, const std::string& files) {
    zip.ZipFile = zipFile;
    zip.FilesToAdd = files;
    return zip.Add(0);
  }

  std::vector<std::string> Added() const {
    std::vector<std::string> names;
    for (const auto& entry : log)
      if (entry.starts_with("A:")) names.push_back(entry.substr(2));
    return names;
  }

  TempDrives t;
  host::FileSystem fs{t.table};
  ZipComponent zip{fs};
  std::vector<std::string> log;
  std::vector<std::int16_t> statuses;
  int eventsProcessed = 0;
  std::function<void()> onEvents;
  const std::string demo = t.Host('d', "zips/demo01.zip");
};

TEST_F(ZipComponentTest, RoundTripsThroughUnzipAnd7zz) {
  std::string volume = Write('d', "work/demo.7z.001", RandomBytes(300'000, 1));
  std::string diz = Write('c', "app/file_id.diz", "\xC9\xCD\xCD\xBB DEMO 01/12\r\n\x1A");
  std::string nfo = Write('c', "app/demo.nfo", TextBytes(40'000));
  Write('c', "app/empty.txt", "");

  ASSERT_EQ(AddTo("d:\\zips\\demo01",
                  "d:\\work\\demo.7z.001\rc:\\app\\file_id.diz\r"
                  "C:\\APP\\DEMO.NFO\rc:\\app\\empty.txt\r"),
            0)
      << zip.LastError();

  auto entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 4u);
  // Flat, under the names the files have on disk.
  EXPECT_EQ(EntryNames(demo), (Names{"demo.7z.001", "file_id.diz", "demo.nfo", "empty.txt"}));
  EXPECT_EQ(entries[0].second.data, volume);
  EXPECT_EQ(entries[0].second.method, ZIP_CM_STORE);  // 7z output does not shrink
  EXPECT_EQ(entries[1].second.data, diz);
  EXPECT_EQ(entries[2].second.data, nfo);
  EXPECT_EQ(entries[2].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[3].second.data, "");

  auto unzip = RunHost("unzip -t " + Quote(demo));
  EXPECT_EQ(unzip.status, 0) << unzip.output;
  auto sevenZip = RunHost("7zz t " + Quote(demo));
  EXPECT_EQ(sevenZip.status, 0) << sevenZip.output;
  EXPECT_EQ(RunHost("unzip -p " + Quote(demo) + " demo.nfo").output, nfo);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
}

TEST_F(ZipComponentTest, HighestLevelDeflatesTextAndStoresNoise) {
  std::string text = Write('d', "src/readme.txt", TextBytes(200'000));
  std::string noise = Write('d', "src/demo.7z", RandomBytes(2'000'000, 2));
  zip.CompressionLevel = 9;
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\readme.txt\rd:\\src\\demo.7z\r"), 0);
  auto entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[1].second.method, ZIP_CM_STORE);
  EXPECT_LT(std::filesystem::file_size(demo), noise.size() + text.size() / 4);
  EXPECT_EQ(RunHost("7zz t " + Quote(demo)).status, 0);

  zip.CompressionLevel = 0;  // stores everything
  ASSERT_EQ(AddTo("d:\\zips\\demo02", "d:\\src\\readme.txt\r"), 0);
  EXPECT_EQ(ReadZip(t.Host('d', "zips/demo02.zip"))[0].second.method, ZIP_CM_STORE);
}

TEST_F(ZipComponentTest, ExtendsAnExistingZipAndReplacesTheSameName) {
  Write('d', "one/a.txt", "first a");
  Write('d', "one/b.txt", "first b");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\one\\a.txt\rd:\\one\\b.txt\r"), 0);
  // A new zip gets a new file's permissions, a rewritten one keeps its own.
  mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(demo).permissions()), 0666 & ~mask);
  ::chmod(demo.c_str(), 0640);

  std::string newA = Write('d', "two/a.txt", "second a, longer than before");
  std::string c = Write('d', "two/c.txt", "c");
  std::string upperB = Write('d', "three/B.TXT", "third B");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\two\\a.txt\rd:\\two\\c.txt\r"), 0);
  // DOS names are one file whatever their case: the entry is replaced, in place.
  ASSERT_EQ(AddTo("D:\\ZIPS\\DEMO01", "d:\\three\\b.txt\r"), 0);

  auto entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].first, "a.txt");
  EXPECT_EQ(entries[0].second.data, newA);
  EXPECT_EQ(entries[1].first, "B.TXT");
  EXPECT_EQ(entries[1].second.data, upperB);
  EXPECT_EQ(entries[2].first, "c.txt");
  EXPECT_EQ(entries[2].second.data, c);
  EXPECT_EQ(RunHost("unzip -t " + Quote(demo)).status, 0);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
  EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(demo).permissions()), 0640);
}

TEST_F(ZipComponentTest, DirectoryPatternAddsItsFilesButNotSubdirectories) {
  Write('e', "extra/view.exe", "MZ viewer");
  Write('e', "extra/pic.gif", "GIF89a");
  Write('e', "extra/sub/deep.txt", "not wanted");
  std::filesystem::create_directories(t.Host('e', "extra/emptysub"));
  Write('e', "extra2/x.txt", "x");
  Write('e', "extra2/y.dat", "y");

  ASSERT_EQ(AddTo("d:\\zips\\demo01", "e:\\extra\\*.*\re:\\extra2\\*.txt\r"), 0);
  EXPECT_EQ(EntryNames(demo), (Names{"pic.gif", "view.exe", "x.txt"}));

  // A drive root as the directory: "e:\*.*".
  Write('e', "root.txt", "at the root");
  ASSERT_EQ(AddTo("d:\\zips\\demo02", "e:\\*.*\r"), 0);
  EXPECT_EQ(EntryNames(t.Host('d', "zips/demo02.zip")), Names{"root.txt"});
}

TEST_F(ZipComponentTest, BareNamesResolveInTheCurrentDirectory) {
  std::string volume = Write('d', "Kelvo001/DEMO.7z.001", RandomBytes(5'000, 3));
  fs.ChangeDrive('d');
  fs.ChangeDir("d:\\kelvo001");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "demo.7z.001\r"), 0) << zip.LastError();
  auto entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].first, "DEMO.7z.001");
  EXPECT_EQ(entries[0].second.data, volume);
}

TEST_F(ZipComponentTest, BadInputWritesNothing) {
  using namespace zip_result;
  Write('d', "src/a.txt", "a");
  Write('d', "src/b.txt", "b");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), 0);
  std::string before = TempDrives::ReadFile(demo);
  std::filesystem::create_directories(t.Host('d', "src/emptydir"));
  ASSERT_EQ(::mkfifo(t.Host('d', "src/pipe").c_str(), 0644), 0);
  // A link to itself cannot be opened, not even by root.
  std::filesystem::create_symlink("loop.txt", t.Host('d', "src/loop.txt"));
  log.clear();

  struct Case {
    std::string files;
    std::int16_t result;
  };
  for (const auto& c : std::vector<Case>{
           {"d:\\src\\b.txt\rd:\\src\\missing.txt\r", kFileNotFound},
           {"d:\\src\\b.txt\rd:\\src\r", kFileNotFound},  // a directory
           {"d:\\src\\pipe\r", kFileNotFound},            // not an ordinary file
           {"d:\\src\\loop.txt\r", kFileNotFound},
           {"d:\\src\\emptydir\\*.*\r", kFileNotFound},  // nothing matches
           {"d:\\nodir\\*.*\r", kFileNotFound},
           {"q:\\unmapped.txt\r", kFileNotFound},
           {"", kBadRequest},
           {"\r\r", kBadRequest},
       }) {
    EXPECT_EQ(AddTo("d:\\zips\\demo01", c.files), c.result) << c.files;
    EXPECT_NE(zip.LastError(), "") << c.files;
    EXPECT_EQ(AddTo("d:\\zips\\new", c.files), c.result) << c.files;
  }
  zip.CompressionLevel = 10;
  EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), kBadRequest);
  zip.CompressionLevel = 6;
  zip.FilesToAdd = "d:\\src\\b.txt\r";
  EXPECT_EQ(zip.Add(1), kBadRequest);

  EXPECT_EQ(TempDrives::ReadFile(demo), before);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
  EXPECT_TRUE(Added().empty());
}

TEST_F(ZipComponentTest, UnusableZipsAreLeftAlone) {
  using namespace zip_result;
  Write('d', "src/a.txt", "a");
  std::string text = Write('d', "zips/notes.zip", "this is no zip\r\n");
  EXPECT_EQ(AddTo("d:\\zips\\notes", "d:\\src\\a.txt\r"), kNotAZip);
  EXPECT_EQ(TempDrives::ReadFile(t.Host('d', "zips/notes.zip")), text);
  Write('d', "zips/empty.zip", "");
  EXPECT_EQ(AddTo("d:\\zips\\empty", "d:\\src\\a.txt\r"), kNotAZip);

  EXPECT_EQ(AddTo("d:\\nowhere\\demo01", "d:\\src\\a.txt\r"), kWriteFailed);
  EXPECT_EQ(zip.LastError().find("can't create 'd:\\nowhere\\demo01.zip'"), 0u) << zip.LastError();
  EXPECT_FALSE(std::filesystem::exists(t.Host('d', "nowhere")));
  EXPECT_EQ(AddTo("q:\\demo01", "d:\\src\\a.txt\r"), kWriteFailed);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), (Names{"empty.zip", "notes.zip"}));
}

// Permission checks as an ordinary user: root reads everything, so as root
// the check runs in a child that has given up its rights.
static void CheckAsOrdinaryUser(const TempDrives& t, const std::function<bool()>& check) {
  if (::geteuid() != 0) {
    EXPECT_TRUE(check());
    return;
  }
  for (const auto& dir : {t.root(), t.Host('d'), t.Host('d', "src"), t.Host('d', "zips")})
    ::chmod(dir.c_str(), 0777);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    try {
      ::_exit(check() ? 0 : 1);
    } catch (...) {
      ::_exit(3);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ZipComponentTest, UnreadableFileIsFoundBeforeWriting) {
  Write('d', "src/a.txt", "a");
  Write('d', "src/secret.txt", "s");
  ::chmod(t.Host('d', "src/secret.txt").c_str(), 0);
  CheckAsOrdinaryUser(t, [&] {
    // The zip can be written; the unreadable file alone stops the add.
    if (AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r") != 0) return false;
    std::string before = TempDrives::ReadFile(demo);
    return AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\rd:\\src\\secret.txt\r") ==
               zip_result::kFileNotFound &&
           TempDrives::ReadFile(demo) == before &&
           DirNames(t.Host('d', "zips")) == Names{"demo01.zip"};
  });
}

TEST_F(ZipComponentTest, AnUnreadableDirectoryPatternFailsTheAdd) {
  Write('d', "src/a.txt", "a");
  Write('d', "locked/b.txt", "b");
  ::chmod(t.Host('d', "locked").c_str(), 0);
  CheckAsOrdinaryUser(t, [&] {
    // Reported as the add's own failure, not thrown past it.
    return AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\rd:\\locked\\*.*\r") ==
               zip_result::kFileNotFound &&
           zip.LastError().starts_with("can't list 'd:\\locked': ") &&
           DirNames(t.Host('d', "zips")).empty();
  });
  ::chmod(t.Host('d', "locked").c_str(), 0755);
}

TEST_F(ZipComponentTest, AFullDiskLeavesTheOldZip) {
  Write('d', "src/a.txt", "a");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), 0);
  std::string before = TempDrives::ReadFile(demo);
  Write('d', "src/big.7z", RandomBytes(3'000'000, 4));

  // A file size limit makes the writes fail the way a full disk does.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1'000'000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::int16_t result = AddTo("d:\\zips\\demo01", "d:\\src\\big.7z\r");
  std::int16_t fresh = AddTo("d:\\zips\\demo02", "d:\\src\\big.7z\r");
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, zip_result::kWriteFailed) << zip.LastError();
  EXPECT_EQ(fresh, zip_result::kWriteFailed);
  EXPECT_EQ(TempDrives::ReadFile(demo), before);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
}

TEST_F(ZipComponentTest, AbortInTheMiddleLeavesTheZipAsItWas) {
  Write('d', "src/a.txt", "kept");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), 0);
  std::string before = TempDrives::ReadFile(demo);
  Write('d', "src/big.7z", RandomBytes(8'000'000, 5));  // stored
  Write('d', "src/big.txt", TextBytes(8'000'000));      // deflated

  for (const char* big : {"d:\\src\\big.7z\r", "d:\\src\\big.txt\r"}) {
    for (const char* target : {"d:\\zips\\demo01", "d:\\zips\\demo02"}) {
      statuses.clear();
      int calls = 0;
      onEvents = [&] {
        if (++calls == 3) zip.AbortRequest = true;  // pressed after a few MB
      };
      EXPECT_EQ(AddTo(target, big), zip_result::kAborted) << big << target;
      EXPECT_FALSE(zip.AbortRequest);  // used up by the add it stopped
      ASSERT_FALSE(statuses.empty());
      EXPECT_GT(statuses.back(), 0);
      EXPECT_LT(statuses.back(), 100);
      EXPECT_EQ(TempDrives::ReadFile(demo), before);
      // No temporary file left, and no new zip made.
      EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
    }
  }
  onEvents = nullptr;

  // Pressed between two adds: the next add does not start.
  zip.AbortRequest = true;
  EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), zip_result::kAborted);
  EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\big.txt\r"), 0);
  EXPECT_EQ(EntryNames(demo), (Names{"a.txt", "big.txt"}));
}

TEST_F(ZipComponentTest, AddingPerFileInOrderAndStatusByBytes) {
  Write('d', "src/big.7z", RandomBytes(3'000'000, 6));
  Write('d', "src/x.txt", "x");
  Write('d', "src/y.txt", "y");
  Write('d', "src/z.txt", "z");
  ASSERT_EQ(AddTo("d:\\zips\\demo01",
                  "d:\\src\\big.7z\rd:\\src\\x.txt\rd:\\src\\y.txt\rd:\\src\\z.txt\r"),
            0);
  EXPECT_EQ(Added(), (Names{"big.7z", "x.txt", "y.txt", "z.txt"}));
  EXPECT_EQ(Added(), EntryNames(demo));

  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), 0);
  EXPECT_EQ(statuses.back(), 100);
  EXPECT_TRUE(std::is_sorted(statuses.begin(), statuses.end()));
  EXPECT_GT(statuses.size(), 20u);  // it moves while the big file is written
  // By bytes: when the second of four files starts, nearly all is done.
  auto x = std::find(log.begin(), log.end(), "A:x.txt");
  ASSERT_NE(x, log.begin());
  EXPECT_EQ(*std::prev(x), "S:99");
  EXPECT_GE(eventsProcessed, 4 + 2);  // each file, and every MiB

  // A second add from inside the events is turned away; the first goes on.
  std::vector<std::int16_t> inner;
  onEvents = [&] {
    zip.FilesToAdd = "d:\\src\\x.txt\r";
    inner.push_back(zip.Add(0));
  };
  ASSERT_EQ(AddTo("d:\\zips\\demo02", "d:\\src\\big.7z\r"), 0);
  EXPECT_FALSE(inner.empty());
  EXPECT_TRUE(std::all_of(inner.begin(), inner.end(),
                          [](std::int16_t r) { return r == zip_result::kBadRequest; }));
  EXPECT_EQ(EntryNames(t.Host('d', "zips/demo02.zip")), Names{"big.7z"});
}

class ZipBatchTest : public ZipComponentTest {};

TEST_F(ZipBatchTest, StepsAreCheckedAndTheZipIsWrittenOnce) {
  std::string volume = Write('d', "work/demo.7z.001", RandomBytes(1'440'000, 7));
  std::string diz = Write('c', "app/file_id.diz", "DEMO 01/02\r\n");
  std::string nfo = Write('c', "app/demo.nfo", TextBytes(10'000));
  std::string extra = Write('e', "extra/view.exe", "MZ");

  {
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\work\\demo.7z.001\r"), 0);
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "c:\\app\\file_id.diz\r"), 0);
    EXPECT_EQ(AddTo("D:\\ZIPS\\DEMO01", "c:\\app\\demo.nfo\r"), 0);  // the same zip
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "e:\\extra\\*.*\r"), 0);
    EXPECT_FALSE(std::filesystem::exists(demo));
    EXPECT_TRUE(log.empty());

    // What a step took is what goes in: the volume may go, the DIZ be rewritten.
    std::filesystem::remove(t.Host('d', "work/demo.7z.001"));
    Write('c', "app/file_id.diz", "DEMO 02/02\r\n");
    EXPECT_EQ(batch.Commit(), 0) << zip.LastError();
    EXPECT_EQ(batch.Commit(), 0);
  }
  EXPECT_EQ(Added(), (Names{"demo.7z.001", "file_id.diz", "demo.nfo", "view.exe"}));
  EXPECT_EQ(statuses.back(), 100);
  auto entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].second.data, volume);
  EXPECT_EQ(entries[1].second.data, diz);
  EXPECT_EQ(entries[2].second.data, nfo);
  EXPECT_EQ(entries[3].second.data, extra);
  EXPECT_EQ(RunHost("7zz t " + Quote(demo)).status, 0);

  // The next volume's batch extends the same zip like single adds would,
  // and replaces what has the same name.
  Write('d', "work/demo.7z.002", "second");
  {
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\work\\demo.7z.002\r"), 0);
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "c:\\app\\file_id.diz\r"), 0);
    EXPECT_EQ(batch.Commit(), 0);
  }
  entries = ReadZip(demo);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].second.data, "DEMO 02/02\r\n");
  EXPECT_EQ(entries[4].first, "demo.7z.002");
}

TEST_F(ZipBatchTest, AFailedStepSpoilsTheBatch) {
  Write('d', "src/a.txt", "a");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), 0);
  std::string before = TempDrives::ReadFile(demo);
  Write('d', "src/b.txt", "b");
  log.clear();

  {
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), 0);
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\missing.txt\r"), zip_result::kFileNotFound);
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), zip_result::kFileNotFound);
    EXPECT_EQ(batch.Commit(), zip_result::kFileNotFound);
  }
  {
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), 0);
    EXPECT_EQ(AddTo("d:\\zips\\demo02", "d:\\src\\b.txt\r"), zip_result::kOtherZip);
    EXPECT_NE(batch.Commit(), 0);
  }
  {
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), 0);
    zip.AbortRequest = true;
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), zip_result::kAborted);
    EXPECT_EQ(batch.Commit(), zip_result::kAborted);
  }
  {
    // Left without a commit (an error in between): nothing is written.
    ZipBatch batch = zip.BeginBatch();
    EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), 0);
  }
  EXPECT_EQ(TempDrives::ReadFile(demo), before);
  EXPECT_TRUE(log.empty());

  // After the batch, adds write at once again.
  EXPECT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\b.txt\r"), 0);
  EXPECT_EQ(EntryNames(demo), (Names{"a.txt", "b.txt"}));
}

TEST_F(ZipBatchTest, AbortWhileCommittingLeavesNoZip) {
  Write('d', "work/demo.7z.001", RandomBytes(6'000'000, 8));
  Write('c', "app/file_id.diz", "DEMO");
  ZipBatch batch = zip.BeginBatch();
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\work\\demo.7z.001\r"), 0);
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "c:\\app\\file_id.diz\r"), 0);
  onEvents = [&] {
    if (eventsProcessed == 3) zip.AbortRequest = true;
  };
  EXPECT_EQ(batch.Commit(), zip_result::kAborted);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{});
  // A newer batch replaces one that was never committed.
  ZipBatch first = zip.BeginBatch();
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "c:\\app\\file_id.diz\r"), 0);
  ZipBatch second = zip.BeginBatch();
  EXPECT_EQ(first.Commit(), zip_result::kBadRequest);
  EXPECT_EQ(second.Commit(), 0);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{});
}

// Large files that deflate are deflated on all cores.
class ZipParallelTest : public ZipComponentTest {
 protected:
  // Like a volume of a 7z set made with "Store": text and noise in turns.
  static std::string HalfText(std::size_t size, std::uint64_t seed) {
    std::string data;
    const std::string text = TextBytes(size);
    const std::string noise = RandomBytes(size, seed);
    for (std::size_t at = 0; at < size; at += 2048)
      data += (at / 2048 % 2 ? noise : text).substr(at, 2048);
    data.resize(size);
    return data;
  }

  // What the parallel deflate makes of `data`.
  static std::string Deflated(const std::string& data, int level) {
    zip::ParallelDeflate d(2);
    d.Begin(level, {-1, data.data(), data.size()});
    std::string out;
    char buffer[8192];
    for (;;) {
      while (std::size_t n = d.Read(buffer, sizeof buffer)) out.append(buffer, n);
      if (d.InputDone()) return out;
      if (d.DeflateWindow([](std::uint64_t) { return true; }) !=
          zip::ParallelDeflate::Outcome::kDone)
        return "failed";
    }
  }

  // The zip libzip's own deflate makes of the file at `rel` on d:.
  std::string Reference(const std::string& rel, const std::string& bytes, int level) {
    struct stat st;
    EXPECT_EQ(::stat(t.Host('d', rel).c_str(), &st), 0);
    std::string path = t.Host('e', "reference.zip");
    LibzipDeflateZip(path, rel.substr(rel.find_last_of('/') + 1), bytes, level, st.st_mode & 0777,
                     st.st_mtime);
    return path;
  }
};

TEST_F(ZipParallelTest, LargeFilesGoInAsLibzipWouldWriteThemButForTheDeflatedBytes) {
  // A volume on disk, and a file small enough to be read at its step.
  std::string volume = Write('d', "work/demo.7z.001", HalfText(1'440'000, 11));
  std::string memory = Write('d', "work/notes.txt", HalfText(600'000, 12));
  for (int level : {1, 6, 9}) {
    zip.CompressionLevel = static_cast<std::int16_t>(level);
    std::string zipFile = "d:\\zips\\level" + std::to_string(level);
    std::string path = t.Host('d', "zips/level" + std::to_string(level) + ".zip");
    ASSERT_EQ(AddTo(zipFile, "d:\\work\\demo.7z.001\rd:\\work\\notes.txt\r"), 0) << zip.LastError();

    auto entries = ReadZip(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].second.data, volume);
    EXPECT_EQ(entries[0].second.method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries[1].second.data, memory);
    EXPECT_EQ(entries[1].second.method, ZIP_CM_DEFLATE);
    // libzip took the deflated bytes as they were made.
    std::string deflated = CompressedBytes(path, "demo.7z.001");
    EXPECT_EQ(deflated, Deflated(volume, level)) << level;
    EXPECT_LT(deflated.size(), volume.size() * 3 / 4);
    EXPECT_EQ(CompressedBytes(path, "notes.txt"), Deflated(memory, level));
    auto unzip = RunHost("unzip -t " + Quote(path));
    EXPECT_EQ(unzip.status, 0) << unzip.output;
    auto sevenZip = RunHost("7zz t " + Quote(path));
    EXPECT_EQ(sevenZip.status, 0) << sevenZip.output;

    // Headers and directory as libzip's own deflate writes them, the
    // level marked in the flags included.
    auto records = EntryRecords(path, false);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], EntryRecords(Reference("work/demo.7z.001", volume, level), false)[0]);
    EXPECT_EQ(records[1], EntryRecords(Reference("work/notes.txt", memory, level), false)[0]);
  }
}

TEST_F(ZipParallelTest, FilesBelowTheThresholdAreLeftToLibzip) {
  const auto threshold = static_cast<std::size_t>(zip::Writer::kParallelBytes);
  std::string below = Write('d', "src/below.txt", HalfText(threshold - 1, 13));
  std::string at = Write('d', "src/at.txt", HalfText(threshold, 14));

  ASSERT_EQ(AddTo("d:\\zips\\below", "d:\\src\\below.txt\r"), 0);
  // The very zip libzip makes.
  EXPECT_EQ(TempDrives::ReadFile(t.Host('d', "zips/below.zip")),
            TempDrives::ReadFile(Reference("src/below.txt", below, 6)));

  ASSERT_EQ(AddTo("d:\\zips\\at", "d:\\src\\at.txt\r"), 0);
  std::string path = t.Host('d', "zips/at.zip");
  EXPECT_EQ(CompressedBytes(path, "at.txt"), Deflated(at, 6));
  EXPECT_EQ(EntryRecords(path, false), EntryRecords(Reference("src/at.txt", at, 6), false));
  auto entries = ReadZip(path);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].second.data, at);
}

TEST_F(ZipParallelTest, EventsComeAsBeforeAndOnlyOnTheCallingThread) {
  const auto caller = std::this_thread::get_id();
  int elsewhere = 0;
  auto adding = zip.Adding;
  auto status = zip.Status;
  auto events = zip.ProcessEvents;
  zip.Adding = [&](const std::string& name) {
    elsewhere += std::this_thread::get_id() != caller;
    adding(name);
  };
  zip.Status = [&](std::int16_t percent) {
    elsewhere += std::this_thread::get_id() != caller;
    status(percent);
  };
  zip.ProcessEvents = [&] {
    elsewhere += std::this_thread::get_id() != caller;
    events();
  };
  const std::uint64_t big = 5'000'000, mid = 600'000;  // big: more than one window
  Write('d', "src/big.txt", HalfText(big, 15));
  Write('d', "src/x.txt", "x");
  Write('d', "src/mid.txt", HalfText(mid, 16));
  Write('d', "src/y.txt", "y");
  ASSERT_EQ(AddTo("d:\\zips\\demo01",
                  "d:\\src\\big.txt\rd:\\src\\x.txt\rd:\\src\\mid.txt\rd:\\src\\y.txt\r"),
            0);
  EXPECT_EQ(elsewhere, 0);
  EXPECT_EQ(Added(), (Names{"big.txt", "x.txt", "mid.txt", "y.txt"}));
  EXPECT_EQ(Added(), EntryNames(demo));

  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), 0);
  EXPECT_EQ(statuses.back(), 100);
  EXPECT_TRUE(std::is_sorted(statuses.begin(), statuses.end()));
  // It moves while the big file is deflated (every few milliseconds).
  EXPECT_GT(std::count_if(log.begin(), std::find(log.begin(), log.end(), "A:x.txt"),
                          [](const std::string& e) { return e.starts_with("S:"); }),
            2);
  // By bytes: each file's share is done when the next one starts.
  const std::uint64_t total = big + 1 + mid + 1;
  auto before = [&](const std::string& name) {
    auto at = std::find(log.rbegin(), log.rend(), "A:" + name);
    auto status =
        std::find_if(at, log.rend(), [](const std::string& e) { return e.starts_with("S:"); });
    return status == log.rend() ? std::string() : *status;
  };
  EXPECT_EQ(before("x.txt"), "S:" + std::to_string(big * 100 / total));
  EXPECT_EQ(before("y.txt"), "S:" + std::to_string((big + 1 + mid) * 100 / total));
  EXPECT_GE(eventsProcessed, 4 + 1);  // each file, and while the big one is deflated
}

TEST_F(ZipParallelTest, AbortWhileDeflatingLeavesTheZipAsItWas) {
  Write('d', "src/a.txt", "kept");
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\a.txt\r"), 0);
  const std::string before = TempDrives::ReadFile(demo);
  log.clear();
  // More than one window of the deflate: the abort cannot come after all.
  Write('d', "work/demo.7z.001", HalfText(6'000'000, 17));
  Write('c', "app/file_id.diz", "DEMO");

  for (const char* target : {"d:\\zips\\demo01", "d:\\zips\\demo02"}) {
    statuses.clear();
    onEvents = [&] {
      if (eventsProcessed == 2) zip.AbortRequest = true;  // the first is the file's start
    };
    {
      ZipBatch batch = zip.BeginBatch();
      ASSERT_EQ(AddTo(target, "d:\\work\\demo.7z.001\r"), 0);
      ASSERT_EQ(AddTo(target, "c:\\app\\file_id.diz\r"), 0);
      EXPECT_EQ(batch.Commit(), zip_result::kAborted) << target;
    }
    eventsProcessed = 0;
    EXPECT_FALSE(zip.AbortRequest);
    ASSERT_FALSE(statuses.empty());
    EXPECT_LT(statuses.back(), 100);
    EXPECT_EQ(TempDrives::ReadFile(demo), before);
    EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});
  }
  EXPECT_EQ(Added(), (Names{"demo.7z.001", "demo.7z.001"}));  // never the DIZ

  // An event handler that throws stops the deflate the same way, and the
  // exception comes out of the add.
  onEvents = [&] {
    if (eventsProcessed == 2) throw std::runtime_error("window closed");
  };
  EXPECT_THROW(AddTo("d:\\zips\\demo01", "d:\\work\\demo.7z.001\r"), std::runtime_error);
  EXPECT_EQ(TempDrives::ReadFile(demo), before);
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{"demo01.zip"});

  // Nothing of the stopped add hangs on: the next one, to another zip, works.
  onEvents = nullptr;
  ASSERT_EQ(AddTo("d:\\zips\\demo02", "c:\\app\\file_id.diz\r"), 0) << zip.LastError();
  EXPECT_EQ(EntryNames(t.Host('d', "zips/demo02.zip")), Names{"file_id.diz"});
}

TEST_F(ZipParallelTest, AVolumeThatGotShorterFailsTheCommit) {
  Write('d', "work/demo.7z.001", HalfText(3'000'000, 18));
  ZipBatch batch = zip.BeginBatch();
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\work\\demo.7z.001\r"), 0);
  ASSERT_EQ(::truncate(t.Host('d', "work/demo.7z.001").c_str(), 1'000'000), 0);
  EXPECT_EQ(batch.Commit(), zip_result::kFileNotFound);
  EXPECT_EQ(zip.LastError(), "can't read 'd:\\work\\demo.7z.001': the file got shorter");
  EXPECT_EQ(DirNames(t.Host('d', "zips")), Names{});
}

// Slow: writes a 5 GB zip. A sparse file costs no space to read, and stored
// data is written as fast as the disk takes it.
class ZipComponentLongTest : public ZipComponentTest {};

TEST_F(ZipComponentLongTest, FileOverFourGigabytesMakesAZip64) {
  const std::uint64_t size = 5ull << 30;
  // The zip is written for real: leave the test out where the disk is short.
  auto space = std::filesystem::space(t.root());
  if (space.available < 3 * size) GTEST_SKIP() << "needs 15 GiB free";
  std::string big = t.Host('d', "src/image.iso");
  Write('d', "src/image.iso", "");
  ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(size)), 0);
  {
    int fd = ::open(big.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "tail", 4, static_cast<off_t>(size - 4)), 4);
    ::close(fd);
  }
  Write('d', "src/small.txt", "after the big one");
  zip.CompressionLevel = 0;
  ASSERT_EQ(AddTo("d:\\zips\\demo01", "d:\\src\\image.iso\rd:\\src\\small.txt\r"), 0)
      << zip.LastError();

  EXPECT_GT(std::filesystem::file_size(demo), size);
  EXPECT_TRUE(zip::FindEndRecord(demo, "demo01.zip").value.zip64);
  auto test = RunHost("7zz t " + Quote(demo));
  EXPECT_EQ(test.status, 0) << test.output;
  int err = 0;
  zip_t* z = zip_open(demo.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  ASSERT_TRUE(z);
  zip_stat_t st;
  ASSERT_EQ(zip_stat(z, "image.iso", 0, &st), 0);
  EXPECT_EQ(st.size, size);
  zip_discard(z);
  std::filesystem::remove(demo);
}

}  // namespace kelvo
