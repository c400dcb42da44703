// The zip read back before its volume goes, and the largest-zip figure.
#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "run/parallel_deflate.h"
#include "run/zip_comment.h"
#include "run/zip_component.h"
#include "run/zip_fit.h"
#include "run/zip_test_util.h"
#include "run/zip_verify.h"
#include "support/temp_drives.h"
#include "texts/diz_nfo.h"

namespace kelvo {

using testing::TempDrives;
using testing::TestApp;

namespace {

std::uint32_t Crc(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void Patch(const std::string& hostPath, std::size_t at, char byte) {
  std::string bytes = TempDrives::ReadFile(hostPath);
  ASSERT_LT(at, bytes.size());
  bytes[at] = static_cast<char>(bytes[at] ^ byte);
  TempDrives::WriteFile(hostPath, bytes);
}

// Where an entry's bytes, as they stand in the zip, begin in the file.
std::size_t DataAt(const std::string& zipHost, const std::string& name) {
  std::string stored = testing::CompressedBytes(zipHost, name);
  std::size_t at = TempDrives::ReadFile(zipHost).find(stored);
  EXPECT_NE(at, std::string::npos) << name;
  return at;
}

// A zip as a run makes it: a volume of 7z-like data (stored), a large text
// (deflated on all cores), a DIZ (deflated by libzip) and a small picture
// (stored).
struct CheckFixture : TestApp {
  CheckFixture() : zip(fs) {
    TempDrives::WriteFile(drives.Host('d', "work/SET.7z.001"), testing::RandomBytes(700'000, 3));
    TempDrives::WriteFile(drives.Host('d', "rel/notes.txt"), testing::TextBytes(600'000));
    TempDrives::WriteFile(drives.Host('d', "rel/file_id.diz"), testing::TextBytes(900));
    TempDrives::WriteFile(drives.Host('d', "rel/pic.gif"), testing::RandomBytes(3000, 4));
    std::filesystem::create_directories(drives.Host('e', "zips"));
  }

  std::int16_t Write() {
    zip.ZipFile = "e:\\zips\\SET01";
    zip.FilesToAdd =
        "d:\\work\\SET.7z.001\rd:\\rel\\notes.txt\rd:\\rel\\file_id.diz\rd:\\rel\\pic.gif\r";
    return zip.Add(0);
  }

  std::string ZipHost() const { return drives.Host('e', "zips/SET01.zip"); }
  std::string VolumeHost() const { return drives.Host('d', "work/SET.7z.001"); }

  std::int16_t Check(const std::string& file = "d:\\work\\SET.7z.001") {
    return zip.Check("e:\\zips\\SET01", file, check);
  }

  ZipComponent zip;
  ZipCheck check;
};

}  // namespace

TEST(ZipCheck, AGoodZipPassesWithTheCrcOfTheWholeFile) {
  CheckFixture app;
  ASSERT_EQ(app.Write(), 0) << app.zip.LastError();
  auto entries = testing::ReadZip(app.ZipHost());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].second.method, ZIP_CM_STORE);
  EXPECT_EQ(entries[1].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[2].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[3].second.method, ZIP_CM_STORE);

  ASSERT_EQ(app.Check(), 0) << app.zip.LastError();
  const std::string bytes = TempDrives::ReadFile(app.ZipHost());
  EXPECT_EQ(app.check.crc, Crc(bytes));
  EXPECT_EQ(app.check.bytes, bytes.size());
  EXPECT_EQ(app.check.fileName, "SET01.zip");
  // The file the entry must match may be any of them.
  EXPECT_EQ(app.Check("d:\\rel\\notes.txt"), 0) << app.zip.LastError();
}

TEST(ZipCheck, EveryChangeBetweenZippingAndCheckingIsCaught) {
  struct Case {
    const char* what;
    std::function<void(CheckFixture&)> change;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"a byte of the volume on disk",
       [](CheckFixture& a) { Patch(a.VolumeHost(), 350'000, 0x01); },
       "SET.7z.001 differs from the file on disk"},
      {"the volume on disk grew",
       [](CheckFixture& a) {
         TempDrives::WriteFile(a.VolumeHost(), TempDrives::ReadFile(a.VolumeHost()) + "x");
       },
       "SET.7z.001 differs from the file on disk (700000 bytes in the zip, 700001 on disk)"},
      {"the volume's copy in the zip",
       [](CheckFixture& a) {
         Patch(a.ZipHost(), DataAt(a.ZipHost(), "SET.7z.001") + 699'999, 0x80);
       },
       "SET.7z.001 differs from the file on disk"},
      {"a stored entry's data",
       [](CheckFixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "pic.gif") + 10, 0x04); },
       "pic.gif: its CRC does not match its data"},
      {"a deflated entry's data",
       [](CheckFixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "notes.txt") + 5000, 0x10); },
       "notes.txt"},
      {"a small deflated entry's data",
       [](CheckFixture& a) {
         std::size_t at = DataAt(a.ZipHost(), "file_id.diz") +
                          testing::CompressedBytes(a.ZipHost(), "file_id.diz").size() / 2;
         Patch(a.ZipHost(), at, 0x20);
       },
       "file_id.diz"},
      {"the zip cut short",
       [](CheckFixture& a) {
         std::filesystem::resize_file(a.ZipHost(), std::filesystem::file_size(a.ZipHost()) - 30);
       },
       "': not a zip file"},
      {"a name in the central directory",
       [](CheckFixture& a) {
         std::string bytes = TempDrives::ReadFile(a.ZipHost());
         Patch(a.ZipHost(), bytes.rfind("pic.gif"), 0x01);
       },
       "qic.gif: its local header does not match the central directory"},
  };
  for (const Case& c : cases) {
    CheckFixture app;
    ASSERT_EQ(app.Write(), 0) << app.zip.LastError();
    std::string seen;
    app.zip.Checking = [&](const std::string& zipHost) {
      seen = zipHost;
      c.change(app);
    };
    EXPECT_EQ(app.Check(), zip_result::kCheckFailed) << c.what;
    EXPECT_EQ(seen, app.ZipHost());
    const std::string& error = app.zip.LastError();
    EXPECT_TRUE(error.starts_with("can't check 'e:\\zips\\SET01.zip': ")) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }

  // The large text as the file to match: its chunks are inflated on all
  // cores, each primed with the file's bytes before it.
  for (const auto& [what, change, reason] :
       std::vector<std::tuple<const char*, std::function<void(CheckFixture&)>, const char*>>{
           {"a byte of a late chunk on disk",
            [](CheckFixture& a) { Patch(a.drives.Host('d', "rel/notes.txt"), 500'000, 0x01); },
            "notes.txt differs from the file on disk"},
           {"a byte of the dictionary before a chunk",
            [](CheckFixture& a) { Patch(a.drives.Host('d', "rel/notes.txt"), 131'000, 0x01); },
            "notes.txt differs from the file on disk"},
           {"a byte of the deflated data",
            [](CheckFixture& a) {
              Patch(a.ZipHost(), DataAt(a.ZipHost(), "notes.txt") + 3000, 0x08);
            },
            "notes.txt"}}) {
    CheckFixture app;
    ASSERT_EQ(app.Write(), 0) << app.zip.LastError();
    ASSERT_EQ(app.Check("d:\\rel\\notes.txt"), 0) << app.zip.LastError();
    app.zip.Checking = [&, change = change](const std::string&) { change(app); };
    EXPECT_EQ(app.Check("d:\\rel\\notes.txt"), zip_result::kCheckFailed) << what;
    EXPECT_NE(app.zip.LastError().find(reason), std::string::npos)
        << what << ": " << app.zip.LastError();
  }

  // A file that is not in the zip at all.
  CheckFixture app;
  ASSERT_EQ(app.Write(), 0);
  TempDrives::WriteFile(app.drives.Host('d', "work/SET.7z.002"), "second");
  EXPECT_EQ(app.Check("d:\\work\\SET.7z.002"), zip_result::kCheckFailed);
  EXPECT_EQ(app.zip.LastError(),
            "can't check 'e:\\zips\\SET01.zip': SET.7z.002 is missing from the zip");
}

// Chunk sizes that add up but cut the stream in the wrong places are
// refused: the chunks really are inflated one by one.
TEST(ZipCheck, ChunksThatDoNotMatchTheStreamAreRefused) {
  CheckFixture app;
  ASSERT_EQ(app.Write(), 0) << app.zip.LastError();
  const std::uint64_t deflated = testing::CompressedBytes(app.ZipHost(), "notes.txt").size();
  const std::size_t count =
      (600'000 + ParallelDeflate::kChunkBytes - 1) / ParallelDeflate::kChunkBytes;
  std::vector<std::uint64_t> wrong(count, 1);
  wrong[0] = deflated - (count - 1);
  std::vector<std::vector<char>> buffers;
  const std::string notes = app.drives.Host('d', "rel/notes.txt");
  ZipCheck check = CheckZip(app.ZipHost(), "notes.txt", notes, buffers, &wrong);
  EXPECT_FALSE(check.ok);
  EXPECT_EQ(check.reason, "notes.txt: its deflated data is damaged");
  // Sizes that do not add up are no chunk map: the stream is read whole.
  wrong[0] += 1;
  EXPECT_TRUE(CheckZip(app.ZipHost(), "notes.txt", notes, buffers, &wrong).ok);
}

// The figure must hold for every zip the component can write: never below
// the real zip, and close above it where the volume is stored.
TEST(ZipFit, TheLargestZipIsNeverSmallerThanTheRealOne) {
  struct Case {
    const char* what;
    std::string volume;
    std::int16_t level;
    std::uint64_t slack;  // how far above the real zip the figure may be
    bool withText;        // an NFO that deflates well: the bound is far above it
  };
  const std::vector<Case> cases = {
      {"7z output, stored", testing::RandomBytes(kFloppyVolumeBytes, 7), 6, 1'500, false},
      {"7z output, Zip Extra", testing::RandomBytes(kFloppyVolumeBytes, 8), 9, 1'500, false},
      {"7z output and an NFO", testing::RandomBytes(kFloppyVolumeBytes, 8), 6, 20'000, true},
      // Stored source files shrink: deflated, far below the bound.
      {"text, deflated", testing::TextBytes(kFloppyVolumeBytes), 6, kFloppyVolumeBytes, false},
      // Compressible samples at the start, middle and end around random data:
      // deflated, the random part growing a little.
      {"random data with text samples",
       [] {
         std::string v = testing::RandomBytes(kFloppyVolumeBytes, 9);
         std::string text = testing::TextBytes(5000);
         for (std::size_t at :
              {std::size_t{0}, kFloppyVolumeBytes / 2 - 2500, kFloppyVolumeBytes - 5000})
           v.replace(at, text.size(), text);
         return v;
       }(),
       6, 20'000, false},
  };
  for (const Case& c : cases) {
    TestApp app;
    const std::string comment = "\xC9\xCD\xBB banner\r\n";
    TempDrives::WriteFile(app.drives.Host('d', "w/LONGNAME.part01.rar"), c.volume);
    TempDrives::WriteFile(app.drives.Host('d', "w/file_id.diz"), testing::RandomBytes(2048, 1));
    if (c.withText)
      TempDrives::WriteFile(app.drives.Host('d', "w/release.nfo"), testing::TextBytes(9000));
    TempDrives::WriteFile(app.drives.Host('d', "w/extra.gif"), testing::RandomBytes(3'000, 2));
    ZipComponent zip(app.fs);
    zip.CompressionLevel = c.level;
    zip.ZipFile = "d:\\out";
    zip.FilesToAdd = "d:\\w\\*.*\r";
    ASSERT_EQ(zip.Add(0), 0) << zip.LastError();
    std::string zipHost = app.drives.Host('d', "out.zip");
    WriteZipComment(zipHost, comment, "out.zip");

    std::vector<ZipFitEntry> entries;
    for (const auto& [name, entry] : testing::ReadZip(zipHost))
      entries.push_back({name, entry.data.size()});
    ASSERT_EQ(entries.size(), c.withText ? 4u : 3u);
    std::uint64_t figure = LargestZipBytes(entries, comment.size(), c.level);
    std::uint64_t real = std::filesystem::file_size(zipHost);
    EXPECT_GE(figure, real) << c.what;
    EXPECT_LE(figure, real + c.slack) << c.what;
  }
}

// Headers are counted exactly: a zip of empty files is all headers.
TEST(ZipFit, HeadersAreCountedByteForByte) {
  TestApp app;
  std::vector<ZipFitEntry> entries;
  for (const char* name : {"a", "file_id.diz", "RELEASE.part001.rar", "x.nfo"}) {
    TempDrives::WriteFile(app.drives.Host('d', std::string("w/") + name), "");
    entries.push_back({name, 0});
  }
  ZipComponent zip(app.fs);
  zip.ZipFile = "d:\\out";
  zip.FilesToAdd = "d:\\w\\*.*\r";
  ASSERT_EQ(zip.Add(0), 0) << zip.LastError();
  std::string zipHost = app.drives.Host('d', "out.zip");
  WriteZipComment(zipHost, "comment", "out.zip");
  std::uint64_t real = std::filesystem::file_size(zipHost);
  std::uint64_t figure = LargestZipBytes(entries, 7, 6);
  EXPECT_GE(figure, real);
  // Only the deflate bound of no data is left over.
  EXPECT_LE(figure, real + entries.size() * ZipComponent::LargestEntryData(0, 6));
}

// The job's figure follows its fields and reads the files as they are.
TEST(ZipFit, TheZipPanelFigureFollowsTheJob) {
  TestApp app;
  JobSettings& job = app.ctx.job;
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "line one\nline two");
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  TempDrives::WriteFile(app.drives.Host('c', "rel/x/a.txt"), std::string(1000, 'a'));
  TempDrives::WriteFile(app.drives.Host('c', "rel/x/b.txt"), std::string(6000, 'b'));
  TempDrives::WriteFile(app.drives.Host('c', "comment.txt"), std::string(300, 'c'));
  job.ArchiveSize = kFloppyArchiveSize;
  job.ZipBaseName = "DEMO";
  job.DizPath = "c:\\rel\\file_id.diz";
  job.NfoPath = "c:\\rel\\demo.nfo";

  std::string why;
  auto entries = LargestZipEntries(app.ctx, why);
  ASSERT_TRUE(entries) << why;
  ASSERT_EQ(entries->size(), 4u - 1);
  // A real rar's names are the longest the set can have.
  EXPECT_EQ((*entries)[0].name, "DEMO.part01.rar");
  EXPECT_EQ((*entries)[0].bytes, kFloppyVolumeBytes);
  EXPECT_EQ((*entries)[1].name, "file_id.diz");
  EXPECT_EQ((*entries)[1].bytes, 20u);  // each line gets CR LF
  EXPECT_EQ((*entries)[2].name, "demo.nfo");
  EXPECT_EQ((*entries)[2].bytes, 7u + 2 + texts::NfoTagLine().size() + 2);

  RefreshZipFit(app.ctx);
  const std::string small = app.ctx.view.ZipFitText;
  EXPECT_TRUE(small.starts_with("Largest zip: 1,44")) << small;
  EXPECT_EQ(app.ctx.view.ZipFitWarning, "");

  // Every field the figure depends on moves it.
  std::vector<std::function<void()>> changes = {
      [&] { job.DizNumbering = true; },
      [&] {
        job.ExtraKind = ExtraKindChoice::Directory;
        job.ExtraPath = "c:\\rel\\x";
      },
      [&] {
        job.ExtraKind = ExtraKindChoice::File;
        job.ExtraPath = "c:\\rel\\x\\b.txt";
      },
      [&] {
        job.ZipCommentEnabled = true;
        job.ZipCommentPath = "c:\\comment.txt";
      },
      [&] { job.ZipBaseName = "DEMOS"; },
  };
  std::string before = app.ctx.view.ZipFitText;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    changes[i]();
    RefreshZipFit(app.ctx);
    EXPECT_NE(app.ctx.view.ZipFitText, before) << "change " << i;
    before = app.ctx.view.ZipFitText;
  }

  // A large NFO does not fit the floppy any more.
  TempDrives::WriteFile(app.drives.Host('c', "rel/big.nfo"), std::string(20'000, 'n'));
  job.NfoPath = "c:\\rel\\big.nfo";
  RefreshZipFit(app.ctx);
  EXPECT_EQ(app.ctx.view.ZipFitWarning, "Too big for a 1.44 MB floppy (1,457,664 bytes)");

  // A file gone: the figure says why instead of guessing.
  job.NfoPath = "c:\\rel\\gone.nfo";
  RefreshZipFit(app.ctx);
  EXPECT_TRUE(app.ctx.view.ZipFitText.starts_with("Largest zip: can't "))
      << app.ctx.view.ZipFitText;
  EXPECT_EQ(app.ctx.view.ZipFitWarning, "");

  // Other archive sizes and volumes without zips show nothing.
  job.NfoPath = "c:\\rel\\big.nfo";
  job.ArchiveSize = 4;
  RefreshZipFit(app.ctx);
  EXPECT_EQ(app.ctx.view.ZipFitText, "");
  EXPECT_EQ(app.ctx.view.ZipFitWarning, "");
  job.ArchiveSize = kFloppyArchiveSize;
  job.SaveAsZips = false;
  RefreshZipFit(app.ctx);
  EXPECT_EQ(app.ctx.view.ZipFitText, "");
}

}  // namespace kelvo
