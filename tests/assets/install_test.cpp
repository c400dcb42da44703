// `cmake --install` into a folder of its own gives a working program: the
// application directory at the prefix, the desktop files under share/, and
// a job packaged by the installed copy.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <filesystem>

#include "core/exit_status.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"

namespace kelvo::assets {

namespace fs = std::filesystem;
using testing::TempDrives;

namespace {

struct Ran {
  int status = -1;
  std::string output;
};

Ran RunProgram(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(env);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  Ran ran;
  if (!process.waitForStarted(10000)) {
    ran.output = process.errorString().toStdString();
    return ran;
  }
  if (!process.waitForFinished(300000)) {
    process.kill();
    process.waitForFinished();
  }
  ran.output = process.readAll().toStdString();
  if (process.exitStatus() == QProcess::NormalExit) ran.status = process.exitCode();
  return ran;
}

std::string ReadText(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

// One install for the whole suite: it copies the program and its tools.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives = new TempDrives;
    root = fs::canonical(drives->root()).string();
    // A space in the prefix: Exec must still name the program.
    prefix = root + "/my apps/kelvo32";
    install = RunProgram(KELVO_CMAKE_COMMAND, {"--install", KELVO_BUILD_DIR, "--prefix",
                                               QString::fromStdString(prefix)});
  }
  static void TearDownTestSuite() {
    delete drives;
    drives = nullptr;
  }
  void SetUp() override { ASSERT_EQ(install.status, 0) << install.output; }

  static TempDrives* drives;
  static std::string root, prefix;
  static Ran install;
};

TempDrives* Installed::drives = nullptr;
std::string Installed::root, Installed::prefix;
Ran Installed::install;

}  // namespace

TEST_F(Installed, TheApplicationDirectoryIsThePrefix) {
  for (const char* file : {"kelvo32", "wrar", "wace", "pkzip", "size", "type.wav", "whoosh.wav",
                           "thunder.wav", "kvo.wav"})
    EXPECT_TRUE(fs::is_regular_file(prefix + "/" + file)) << file;
  EXPECT_TRUE(fs::is_regular_file(prefix + "/share/icons/hicolor/48x48/apps/kelvo32.png"));
  EXPECT_TRUE(fs::is_regular_file(prefix + "/share/metainfo/org.kelvo32.kelvo32.metainfo.xml"));
  EXPECT_TRUE(fs::is_regular_file(prefix + "/share/mime/packages/kelvo32-job.xml"));
  EXPECT_TRUE(fs::is_regular_file(prefix + "/share/man/man1/kelvo32.1"));
}

TEST_F(Installed, TheDesktopEntryStartsTheInstalledProgram) {
  const std::string desktop = prefix + "/share/applications/kelvo32.desktop";
  const std::string text = ReadText(desktop);
  ASSERT_FALSE(text.empty()) << desktop;
  EXPECT_NE(text.find("\nExec=\"" + prefix + "/kelvo32\" %f\n"), std::string::npos) << text;
  auto valid = RunProgram("desktop-file-validate", {QString::fromStdString(desktop)});
  EXPECT_EQ(valid.status, 0) << valid.output;
  EXPECT_EQ(valid.output, "");
}

TEST_F(Installed, TheInstalledProgramPackagesAJob) {
  fs::create_directories(root + "/home");
  const JobSettings job = testing::DemoRelease(root);
  TempDrives::WriteFile(root + "/jobs/demo.kvo", ScriptText(job, testing::FixedClock().Now()));

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(root + "/home"));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.remove("KELVO32_DRIVES");
  auto ran =
      RunProgram(QString::fromStdString(prefix + "/kelvo32"),
                 {QString::fromStdString("!" + testing::OnDriveZ(root + "/jobs/demo.kvo"))}, env);
  EXPECT_EQ(ran.status, kExitComplete) << ran.output;
  EXPECT_TRUE(fs::is_regular_file(root + "/zips/DEMO.zip"));

  // As the desktop entry starts it for a file: with the script's host path.
  fs::remove(root + "/zips/DEMO.zip");
  ran = RunProgram(QString::fromStdString(prefix + "/kelvo32"),
                   {QString::fromStdString("!" + root + "/jobs/demo.kvo")}, env);
  EXPECT_EQ(ran.status, kExitComplete) << ran.output;
  EXPECT_TRUE(fs::is_regular_file(root + "/zips/DEMO.zip"));
}

TEST(MimeType, KvoFilesAreKelvo32Jobs) {
  TempDrives drives;
  const std::string mime = drives.root() + "/mime";
  fs::create_directories(mime + "/packages");
  fs::copy_file(std::string(KELVO_DESKTOP_SOURCE_DIR) + "/kelvo32-job.xml",
                mime + "/packages/kelvo32-job.xml");
  auto ran = RunProgram("update-mime-database", {QString::fromStdString(mime)});
  ASSERT_EQ(ran.status, 0) << ran.output;
  const std::string globs = ReadText(mime + "/globs2");
  EXPECT_NE(globs.find("application/x-kelvo32-job:*.kvo"), std::string::npos) << globs;
  // The first line every saved script starts with.
  JobSettings job;
  const std::string script = ScriptText(job, testing::FixedClock().Now());
  const std::string magic = ReadText(mime + "/magic");
  const std::string value = "Kelvo32 script";
  EXPECT_EQ(script.compare(0, value.size(), value), 0);
  EXPECT_NE(magic.find(value), std::string::npos);
}

}  // namespace kelvo::assets
