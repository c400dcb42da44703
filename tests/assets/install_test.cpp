// `cmake --install` into a folder of its own gives a working program: the
// application directory under lib/kelvo32, a link to it in bin/, the desktop
// files, man page and copyright under share/, and a job packaged by the
// installed copy started through its link.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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

// The whole file through gzip, or "" when it is no gzip file.
std::string Gunzip(const std::string& path) {
  auto ran = RunProgram("gzip", {"-dc", QString::fromStdString(path)});
  return ran.status == 0 ? ran.output : std::string();
}

Ran Install(const std::string& prefix,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  return RunProgram(KELVO_CMAKE_COMMAND,
                    {"--install", KELVO_BUILD_DIR, "--prefix", QString::fromStdString(prefix)},
                    env);
}

// The Exec line of a desktop entry, "" when there is none.
std::string ExecLine(const std::string& desktop) {
  const std::string text = ReadText(desktop);
  auto at = text.find("\nExec=");
  if (at == std::string::npos) return {};
  at += 1;
  return text.substr(at, text.find('\n', at) - at);
}

// One install for the whole suite: it copies the program and its tools.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives = new TempDrives;
    root = fs::canonical(drives->root()).string();
    // A space in the prefix: Exec must still name the program.
    prefix = root + "/my apps/kelvo32";
    install = Install(prefix);
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

TEST_F(Installed, TheApplicationDirectoryIsLibKelvo32) {
  const std::string app = prefix + "/lib/kelvo32";
  for (const char* file :
       {"kelvo32", "wrar", "wace", "pkzip", "size", "notepad", "winhelp", "webdial", "type.wav",
        "whoosh.wav", "thunder.wav", "kvo.wav", "kelvo32.hlp"})
    EXPECT_TRUE(fs::is_regular_file(app + "/" + file)) << file;
  // Nothing lies at the prefix's root but the system folders.
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(prefix))
    top.push_back(entry.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"bin", "lib", "share"}));
}

TEST_F(Installed, BinKelvo32IsARelativeLinkToTheProgram) {
  const std::string link = prefix + "/bin/kelvo32";
  ASSERT_TRUE(fs::is_symlink(link));
  // Relative, so that the prefix can be moved or packaged as a whole.
  EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
  EXPECT_TRUE(fs::equivalent(link, prefix + "/lib/kelvo32/kelvo32"));
  // Installing again over the link keeps it.
  auto again = Install(prefix);
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_TRUE(fs::equivalent(link, prefix + "/lib/kelvo32/kelvo32"));
}

TEST_F(Installed, TheDesktopFilesManPageAndCopyrightAreInTheirSystemPlaces) {
  const std::string share = prefix + "/share";
  EXPECT_TRUE(fs::is_regular_file(share + "/icons/hicolor/48x48/apps/kelvo32.png"));
  EXPECT_TRUE(fs::is_regular_file(share + "/metainfo/org.kelvo32.kelvo32.metainfo.xml"));
  EXPECT_TRUE(fs::is_regular_file(share + "/mime/packages/kelvo32-job.xml"));
  EXPECT_TRUE(fs::is_regular_file(share + "/doc/kelvo32/copyright"));
  // man reads the page compressed, and it is the page as written.
  const std::string page = Gunzip(share + "/man/man1/kelvo32.1.gz");
  EXPECT_FALSE(page.empty());
  EXPECT_EQ(page, ReadText(KELVO_MAN_SOURCE));
  // The changelog's one entry is this version's.
  const std::string changelog = Gunzip(share + "/doc/kelvo32/changelog.gz");
  EXPECT_TRUE(changelog.starts_with(std::string("kelvo32 (") + KELVO_VERSION + ") ")) << changelog;
}

TEST_F(Installed, TheDesktopEntryStartsTheInstalledProgram) {
  const std::string desktop = prefix + "/share/applications/kelvo32.desktop";
  EXPECT_EQ(ExecLine(desktop), "Exec=\"" + prefix + "/bin/kelvo32\" %f");
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
      RunProgram(QString::fromStdString(prefix + "/bin/kelvo32"),
                 {QString::fromStdString("!" + testing::OnDriveZ(root + "/jobs/demo.kvo"))}, env);
  EXPECT_EQ(ran.status, kExitComplete) << ran.output;
  EXPECT_TRUE(fs::is_regular_file(root + "/zips/DEMO.zip"));

  // As the desktop entry starts it for a file: with the script's host path.
  fs::remove(root + "/zips/DEMO.zip");
  ran = RunProgram(QString::fromStdString(prefix + "/bin/kelvo32"),
                   {QString::fromStdString("!" + root + "/jobs/demo.kvo")}, env);
  EXPECT_EQ(ran.status, kExitComplete) << ran.output;
  EXPECT_TRUE(fs::is_regular_file(root + "/zips/DEMO.zip"));
}

// Installed in /usr, as the package is, the desktop entry names the program
// alone: /usr/bin is on every PATH.
TEST(InstalledInUsr, TheDesktopEntryNamesTheProgramAlone) {
  TempDrives drives;
  const std::string stage = drives.root() + "/stage";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DESTDIR", QString::fromStdString(stage));
  auto install = Install("/usr", env);
  ASSERT_EQ(install.status, 0) << install.output;
  const std::string desktop = stage + "/usr/share/applications/kelvo32.desktop";
  EXPECT_EQ(ExecLine(desktop), "Exec=kelvo32 %f");
  EXPECT_TRUE(fs::equivalent(stage + "/usr/bin/kelvo32", stage + "/usr/lib/kelvo32/kelvo32"));
}

// A prefix whose name holds what the Exec format gives a meaning to: the
// desktop's own launcher must still find the program there.
TEST(InstalledInAnOddPrefix, TheDesktopLauncherFindsTheProgram) {
  TempDrives drives;
  const std::string prefix = drives.root() + "/it's \"odd\" $HOME `id`";
  auto install = Install(prefix);
  ASSERT_EQ(install.status, 0) << install.output;
  const std::string desktop = prefix + "/share/applications/kelvo32.desktop";
  auto valid = RunProgram("desktop-file-validate", {QString::fromStdString(desktop)});
  EXPECT_EQ(valid.status, 0) << valid.output;
  EXPECT_EQ(valid.output, "");
  // GLib refuses to load an entry whose program does not exist; without a
  // display the program started says so and ends at once.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  auto launched = RunProgram("gio", {"launch", QString::fromStdString(desktop)}, env);
  EXPECT_EQ(launched.status, 0) << launched.output;
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
