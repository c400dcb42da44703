// The zip read back through the component (DOS names, the Checking event),
// and the Zip panel's figure.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/zip_component.h"
#include "run/zip_fit.h"
#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "texts/diz_nfo.h"

namespace kelvo {

using testing::TempDrives;
using testing::TestApp;

namespace {

struct CheckFixture : TestApp {
  CheckFixture() : zip(fs) {
    TempDrives::WriteFile(drives.Host('d', "work/SET.7z.001"), testing::RandomBytes(700'000, 3));
    TempDrives::WriteFile(drives.Host('d', "work/SET.7z.002"), testing::TextBytes(900'000));
    TempDrives::WriteFile(drives.Host('d', "rel/file_id.diz"), testing::TextBytes(900));
    std::filesystem::create_directories(drives.Host('e', "zips"));
  }

  std::int16_t Write(const std::string& zipFile, const std::string& volume) {
    zip.ZipFile = zipFile;
    zip.FilesToAdd = volume + "\rd:\\rel\\file_id.diz\r";
    return zip.Add(0);
  }
  std::string ZipHost(int n) const {
    return drives.Host('e', "zips/SET0" + std::to_string(n) + ".zip");
  }

  ZipComponent zip;
  ZipCheck check;
};

}  // namespace

TEST(ZipCheck, TheComponentNamesTheDosZipAndRaisesCheckingFirst) {
  CheckFixture app;
  ASSERT_EQ(app.Write("e:\\zips\\SET01", "d:\\work\\SET.7z.001"), 0) << app.zip.LastError();
  ASSERT_EQ(app.zip.Check("e:\\zips\\SET01", "d:\\work\\SET.7z.001", app.check), 0)
      << app.zip.LastError();
  EXPECT_EQ(app.check.fileName, "SET01.zip");
  EXPECT_EQ(app.check.bytes, std::filesystem::file_size(app.ZipHost(1)));

  std::string seen;
  app.zip.Checking = [&](const std::string& zipHost) {
    seen = zipHost;
    TempDrives::WriteFile(app.drives.Host('d', "work/SET.7z.001"), "changed");
  };
  EXPECT_EQ(app.zip.Check("e:\\zips\\SET01", "d:\\work\\SET.7z.001", app.check),
            zip_result::kCheckFailed);
  EXPECT_EQ(seen, app.ZipHost(1));
  EXPECT_EQ(app.zip.LastError(),
            "can't check 'e:\\zips\\SET01.zip': SET.7z.001 differs from the file on disk "
            "(700000 bytes in the zip, 7 on disk)");
  app.zip.Checking = nullptr;
  EXPECT_EQ(app.zip.Check("e:\\zips\\SET01", "d:\\work\\SET.7z.002", app.check),
            zip_result::kCheckFailed);
  EXPECT_EQ(app.zip.LastError(),
            "can't check 'e:\\zips\\SET01.zip': SET.7z.002 is missing from the zip");
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
