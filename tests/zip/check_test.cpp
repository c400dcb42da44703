// The engine on its own, by host paths: a zip written, read back, tampered
// with; the largest-zip figure against real zips.
#include "zip/check.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <filesystem>
#include <functional>

#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "zip/comment.h"
#include "zip/parallel_deflate.h"
#include "zip/size.h"
#include "zip/write.h"

namespace kelvo::zip {

using testing::TempDrives;

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

// Where an entry's local header begins: its name's first place in the file.
std::size_t LocalAt(const std::string& zipHost, const std::string& name) {
  return TempDrives::ReadFile(zipHost).find(name) - 30;
}

// Takes every file of `dir` at `level`, in name order.
std::vector<Input> TakeAll(const std::string& dir, int level) {
  std::vector<Input> inputs;
  for (const std::string& name : testing::DirNames(dir)) {
    auto input = TakeFile(dir + "/" + name, name, name, level);
    EXPECT_TRUE(input) << input.error->message;
    if (input) inputs.push_back(std::move(input.value));
  }
  return inputs;
}

// A zip as a run makes it: a volume of 7z-like data (stored), a large text
// (deflated on all cores), a DIZ (deflated by libzip) and a small picture
// (stored).
struct Fixture {
  Fixture() {
    TempDrives::WriteFile(Volume(), testing::RandomBytes(700'000, 3));
    TempDrives::WriteFile(Notes(), testing::TextBytes(600'000));
    TempDrives::WriteFile(dir.root() + "/rel/file_id.diz", testing::TextBytes(900));
    TempDrives::WriteFile(dir.root() + "/rel/pic.gif", testing::RandomBytes(3000, 4));
  }
  Result<ChunkMap> Write() {
    std::vector<Input> inputs;
    for (const auto& [path, name] : std::vector<std::pair<std::string, std::string>>{
             {Volume(), "SET.7z.001"},
             {Notes(), "notes.txt"},
             {dir.root() + "/rel/file_id.diz", "file_id.diz"},
             {dir.root() + "/rel/pic.gif", "pic.gif"}}) {
      auto input = TakeFile(path, name, name, 6);
      if (!input) return *input.error;
      inputs.push_back(std::move(input.value));
    }
    return writer.Write(Zip(), inputs, {});
  }
  Result<CheckSum> Check(const std::string& entry, const std::string& file,
                         const ChunkMap* chunks = nullptr) {
    return checker.Check(Zip(), {entry, file}, chunks);
  }
  Target Zip() const { return {dir.root() + "/SET01.zip", "SET01.zip"}; }
  std::string ZipHost() const { return Zip().hostPath; }
  std::string Volume() const { return dir.root() + "/work/SET.7z.001"; }
  std::string Notes() const { return dir.root() + "/rel/notes.txt"; }

  TempDrives dir;
  Writer writer;
  Checker checker;
};

}  // namespace

TEST(ZipCheck, AGoodZipPassesWithTheCrcOfTheWholeFile) {
  Fixture app;
  auto written = app.Write();
  ASSERT_TRUE(written) << written.error->message;
  auto entries = testing::ReadZip(app.ZipHost());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].second.method, ZIP_CM_STORE);
  EXPECT_EQ(entries[1].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[2].second.method, ZIP_CM_DEFLATE);
  EXPECT_EQ(entries[3].second.method, ZIP_CM_STORE);
  // Only the large text was deflated on all cores.
  ASSERT_EQ(written.value.size(), 1u);
  EXPECT_EQ(written.value.begin()->first, "notes.txt");

  auto check = app.Check("SET.7z.001", app.Volume());
  ASSERT_TRUE(check) << check.error->message;
  const std::string bytes = TempDrives::ReadFile(app.ZipHost());
  EXPECT_EQ(check.value.crc, Crc(bytes));
  EXPECT_EQ(check.value.bytes, bytes.size());
  // The file the entry must match may be any of them, with or without chunks.
  EXPECT_TRUE(app.Check("notes.txt", app.Notes(), &written.value));
  EXPECT_TRUE(app.Check("notes.txt", app.Notes()));
  EXPECT_TRUE(app.Check("", ""));
}

TEST(ZipCheck, EveryChangeBetweenWritingAndCheckingIsCaught) {
  struct Case {
    const char* what;
    std::function<void(Fixture&)> change;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"a byte of the volume on disk", [](Fixture& a) { Patch(a.Volume(), 350'000, 0x01); },
       "SET.7z.001 differs from the file on disk"},
      {"the volume on disk grew",
       [](Fixture& a) {
         TempDrives::WriteFile(a.Volume(), TempDrives::ReadFile(a.Volume()) + "x");
       },
       "SET.7z.001 differs from the file on disk (700000 bytes in the zip, 700001 on disk)"},
      {"the volume's copy in the zip",
       [](Fixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "SET.7z.001") + 699'999, 0x80); },
       "SET.7z.001 differs from the file on disk"},
      {"a stored entry's data",
       [](Fixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "pic.gif") + 10, 0x04); },
       "pic.gif: its CRC does not match its data"},
      {"a deflated entry's data",
       [](Fixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "notes.txt") + 5000, 0x10); },
       "notes.txt"},
      {"a small deflated entry's data",
       [](Fixture& a) {
         std::size_t at = DataAt(a.ZipHost(), "file_id.diz") +
                          testing::CompressedBytes(a.ZipHost(), "file_id.diz").size() / 2;
         Patch(a.ZipHost(), at, 0x20);
       },
       "file_id.diz"},
      {"the zip cut short",
       [](Fixture& a) {
         std::filesystem::resize_file(a.ZipHost(), std::filesystem::file_size(a.ZipHost()) - 30);
       },
       "': not a zip file"},
      {"a name in the central directory",
       [](Fixture& a) {
         std::string bytes = TempDrives::ReadFile(a.ZipHost());
         Patch(a.ZipHost(), bytes.rfind("pic.gif"), 0x01);
       },
       "qic.gif: its local header does not match the central directory"},
      {"a CRC in a local header",
       [](Fixture& a) { Patch(a.ZipHost(), LocalAt(a.ZipHost(), "pic.gif") + 14, 0x01); },
       "pic.gif: its local header does not match the central directory"},
      {"a time in a local header",
       [](Fixture& a) { Patch(a.ZipHost(), LocalAt(a.ZipHost(), "file_id.diz") + 10, 0x01); },
       "file_id.diz: its local header does not match the central directory"},
      {"a size in a local header",
       [](Fixture& a) { Patch(a.ZipHost(), LocalAt(a.ZipHost(), "notes.txt") + 22, 0x01); },
       "notes.txt: its local header does not match the central directory"},
      {"the volume missing from the zip",
       [](Fixture& a) {
         std::string bytes = TempDrives::ReadFile(a.ZipHost());
         std::size_t at = bytes.rfind("SET.7z.001");
         bytes[at] = 'X';
         at = bytes.find("SET.7z.001");
         bytes[at] = 'X';
         TempDrives::WriteFile(a.ZipHost(), bytes);
       },
       "SET.7z.001 is missing from the zip"},
  };
  for (const Case& c : cases) {
    Fixture app;
    ASSERT_TRUE(app.Write());
    c.change(app);
    auto check = app.Check("SET.7z.001", app.Volume());
    ASSERT_FALSE(check) << c.what;
    EXPECT_EQ(check.error->fault, Fault::kCheck);
    const std::string& error = check.error->message;
    EXPECT_TRUE(error.starts_with("can't check 'SET01.zip': ")) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }

  // The large text as the file to match: its chunks are inflated on all
  // cores, each primed with the file's bytes before it.
  const std::vector<Case> chunked = {
      {"a byte of a late chunk on disk", [](Fixture& a) { Patch(a.Notes(), 500'000, 0x01); },
       "notes.txt differs from the file on disk"},
      {"a byte of the dictionary before a chunk",
       [](Fixture& a) { Patch(a.Notes(), 131'000, 0x01); },
       "notes.txt differs from the file on disk"},
      {"a byte of the deflated data",
       [](Fixture& a) { Patch(a.ZipHost(), DataAt(a.ZipHost(), "notes.txt") + 3000, 0x08); },
       "notes.txt"}};
  for (const Case& c : chunked) {
    Fixture app;
    auto written = app.Write();
    ASSERT_TRUE(written);
    ASSERT_TRUE(app.Check("notes.txt", app.Notes(), &written.value));
    c.change(app);
    auto check = app.Check("notes.txt", app.Notes(), &written.value);
    ASSERT_FALSE(check) << c.what;
    EXPECT_NE(check.error->message.find(c.reason), std::string::npos)
        << c.what << ": " << check.error->message;
  }
}

// Chunk sizes that add up but cut the stream in the wrong places are
// refused: the chunks really are inflated one by one.
TEST(ZipCheck, ChunksThatDoNotMatchTheStreamAreRefused) {
  Fixture app;
  ASSERT_TRUE(app.Write());
  const std::uint64_t deflated = testing::CompressedBytes(app.ZipHost(), "notes.txt").size();
  const std::size_t count =
      (600'000 + ParallelDeflate::kChunkBytes - 1) / ParallelDeflate::kChunkBytes;
  ChunkMap wrong{{"notes.txt", std::vector<std::uint64_t>(count, 1)}};
  wrong["notes.txt"][0] = deflated - (count - 1);
  auto check = app.Check("notes.txt", app.Notes(), &wrong);
  ASSERT_FALSE(check);
  EXPECT_EQ(check.error->message,
            "can't check 'SET01.zip': notes.txt: its deflated data is damaged");
  // Sizes that do not add up are no chunk map: the stream is read whole.
  wrong["notes.txt"][0] += 1;
  EXPECT_TRUE(app.Check("notes.txt", app.Notes(), &wrong));
}

// A stop leaves the zip from before byte for byte, at the first event or
// in the middle of the parallel deflate; so does an input that shrank.
TEST(ZipWrite, AStoppedOrFailedWriteLeavesTheOldZip) {
  Fixture app;
  ASSERT_TRUE(app.Write());
  const std::string before = TempDrives::ReadFile(app.ZipHost());
  TempDrives::WriteFile(app.dir.root() + "/big.txt", testing::TextBytes(3'000'000));
  for (std::uint64_t stopAt : {std::uint64_t{0}, std::uint64_t{1'500'000}}) {
    auto inputs = TakeAll(app.dir.root() + "/rel", 6);
    auto big = TakeFile(app.dir.root() + "/big.txt", "big.txt", "big.txt", 9);
    ASSERT_TRUE(big);
    inputs.push_back(std::move(big.value));
    std::uint64_t seen = 0;
    Events events;
    events.progress = [&](std::uint64_t done, std::uint64_t) { seen = done; };
    events.stop = [&] { return seen > stopAt || stopAt == 0; };
    auto written = app.writer.Write(app.Zip(), inputs, events);
    ASSERT_FALSE(written) << stopAt;
    EXPECT_EQ(written.error->fault, Fault::kAborted);
    EXPECT_EQ(written.error->message, "can't add to 'SET01.zip': aborted");
    EXPECT_EQ(TempDrives::ReadFile(app.ZipHost()), before) << stopAt;
  }
  // Large files are read when written: one that shrank since is refused.
  const std::string large = app.dir.root() + "/large/SET.7z.002";
  TempDrives::WriteFile(large, testing::RandomBytes(2'000'000, 5));
  auto inputs = TakeAll(app.dir.root() + "/large", 0);
  std::filesystem::resize_file(large, 100);
  auto written = app.writer.Write(app.Zip(), inputs, {});
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error->fault, Fault::kInput);
  EXPECT_EQ(written.error->message, "can't read 'SET.7z.002': the file got shorter");
  EXPECT_EQ(TempDrives::ReadFile(app.ZipHost()), before);
}

// Inputs from memory and from files alike; bad levels and non-files are
// refused when taken.
TEST(ZipWrite, InputsAreTakenOrRefusedWhenNamed) {
  TempDrives dir;
  auto bytes = TakeBytes("\xC9\xCD.txt", std::string(5000, 'x'), 6, 0);
  ASSERT_TRUE(bytes);
  EXPECT_FALSE(bytes.value.store);
  EXPECT_EQ(TakeBytes("a", "b", 10, 0).error->fault, Fault::kBadRequest);
  auto missing = TakeFile(dir.root() + "/none", "none", "c:\\none", 6);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error->fault, Fault::kInput);
  EXPECT_EQ(missing.error->message, "can't open 'c:\\none': No such file or directory");
  EXPECT_EQ(TakeFile(dir.root(), "d", "d", 6).error->message, "can't add 'd': not a file");

  Writer writer;
  std::vector<Input> inputs;
  inputs.push_back(std::move(bytes.value));
  auto written = writer.Write({dir.root() + "/m.zip", "m.zip"}, inputs, {});
  ASSERT_TRUE(written) << written.error->message;
  EXPECT_EQ(testing::EntryMap(dir.root() + "/m.zip").at("\xC9\xCD.txt"), std::string(5000, 'x'));
  // A zip that is no zip is not overwritten.
  TempDrives::WriteFile(dir.root() + "/bad.zip", "not a zip at all");
  std::vector<Input> more;
  more.push_back(std::move(TakeBytes("a", "b", 6, 0).value));
  EXPECT_EQ(writer.Write({dir.root() + "/bad.zip", "bad.zip"}, more, {}).error->fault,
            Fault::kNotAZip);
  EXPECT_EQ(TempDrives::ReadFile(dir.root() + "/bad.zip"), "not a zip at all");
}

// The comment goes in byte for byte, CP437, 0x1A and CR LF included, and
// the check still passes.
TEST(ZipComment, BytesStayBytes) {
  Fixture app;
  ASSERT_TRUE(app.Write());
  const std::string comment = "\xC9\xCD\xBB DEMO \x1A\r\n.\r\n\xB0\xB1\xB2\xDB\r\n";
  ASSERT_FALSE(WriteComment(app.ZipHost(), comment, "SET01.zip"));
  EXPECT_EQ(ReadComment(app.ZipHost(), "SET01.zip").value, comment);
  EXPECT_TRUE(app.Check("SET.7z.001", app.Volume()));
  auto refused = WriteComment(app.ZipHost(), std::string(kMaxComment + 1, 'x'), "SET01.zip");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->fault, Fault::kBadRequest);
  EXPECT_EQ(ReadComment(app.ZipHost(), "SET01.zip").value, comment);
  EXPECT_EQ(ReadComment(app.Volume(), "v").error->message, "can't read 'v': not a zip file");
}

// The figure must hold for every zip the writer can make: never below the
// real zip, and close above it where the volume is stored.
TEST(ZipSize, TheLargestZipIsNeverSmallerThanTheRealOne) {
  constexpr std::size_t kVolume = 1'440'000;
  struct Case {
    const char* what;
    std::string volume;
    int level;
    std::uint64_t slack;  // how far above the real zip the figure may be
    bool withText;        // an NFO that deflates well: the bound is far above it
  };
  const std::vector<Case> cases = {
      {"7z output, stored", testing::RandomBytes(kVolume, 7), 6, 1'500, false},
      {"7z output, level 9", testing::RandomBytes(kVolume, 8), 9, 1'500, false},
      {"7z output and an NFO", testing::RandomBytes(kVolume, 8), 6, 20'000, true},
      // Stored source files shrink: deflated, far below the bound.
      {"text, deflated", testing::TextBytes(kVolume), 6, kVolume, false},
      // Compressible samples at the start, middle and end around random data:
      // deflated, the random part growing a little.
      {"random data with text samples",
       [] {
         std::string v = testing::RandomBytes(kVolume, 9);
         std::string text = testing::TextBytes(5000);
         for (std::size_t at : {std::size_t{0}, kVolume / 2 - 2500, kVolume - 5000})
           v.replace(at, text.size(), text);
         return v;
       }(),
       6, 20'000, false},
  };
  for (const Case& c : cases) {
    TempDrives dir;
    const std::string comment = "\xC9\xCD\xBB banner\r\n";
    const std::string w = dir.root() + "/w";
    TempDrives::WriteFile(w + "/LONGNAME.part01.rar", c.volume);
    TempDrives::WriteFile(w + "/file_id.diz", testing::RandomBytes(2048, 1));
    if (c.withText) TempDrives::WriteFile(w + "/release.nfo", testing::TextBytes(9000));
    TempDrives::WriteFile(w + "/extra.gif", testing::RandomBytes(3'000, 2));
    auto inputs = TakeAll(w, c.level);
    Writer writer;
    const std::string zipHost = dir.root() + "/out.zip";
    ASSERT_TRUE(writer.Write({zipHost, "out.zip"}, inputs, {}));
    ASSERT_FALSE(WriteComment(zipHost, comment, "out.zip"));

    std::vector<SizedEntry> entries;
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
TEST(ZipSize, HeadersAreCountedByteForByte) {
  TempDrives dir;
  std::vector<SizedEntry> entries;
  for (const char* name : {"a", "file_id.diz", "RELEASE.part001.rar", "x.nfo"}) {
    TempDrives::WriteFile(dir.root() + "/w/" + name, "");
    entries.push_back({name, 0});
  }
  auto inputs = TakeAll(dir.root() + "/w", 6);
  Writer writer;
  const std::string zipHost = dir.root() + "/out.zip";
  ASSERT_TRUE(writer.Write({zipHost, "out.zip"}, inputs, {}));
  ASSERT_FALSE(WriteComment(zipHost, "comment", "out.zip"));
  std::uint64_t real = std::filesystem::file_size(zipHost);
  std::uint64_t figure = LargestZipBytes(entries, 7, 6);
  EXPECT_GE(figure, real);
  // Only the deflate bound of no data is left over.
  EXPECT_LE(figure, real + entries.size() * LargestEntryData(0, 6));
}

}  // namespace kelvo::zip
